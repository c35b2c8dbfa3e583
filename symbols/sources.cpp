#include "symbols/sources.h"

#include <ctype.h>
#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include "settings/settings.h"
#include "symbols/entries.h"
#include "util/path.h"
#include "util/zone.h"

SourceStore g_sources;

namespace {

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

char g_program[KQ_PATH];

SourceRecord *record(uint32_t id) {
  return id == SINDEX_NONE ? nullptr : *(SourceRecord **)tab_slot(&g_sources.table, (int)id);
}

int compare_low(const void *key, uint32_t, uint32_t id) {
  uint32_t a = *(const uint32_t *)key, b = record(id)->low;
  return (a > b) - (a < b);
}

int compare_path(const void *key, uint32_t, uint32_t id) {
  return strcasecmp((const char *)key, record(id)->path);
}

int compare_line_address(const void *a, const void *b) {
  uint32_t x = ((const SourceLine *)a)->address, y = ((const SourceLine *)b)->address;
  return (x > y) - (x < y);
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_absolute(const char *name) {
  return is_separator(name[0]) || (isalpha((unsigned char)name[0]) && name[1] == ':' &&
                                   is_separator(name[2]));
}

bool is_file(const char *path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// Length of the program's folder part (up to, not including, its last separator).
size_t folder_length(const char *path) {
  const char *last = nullptr;
  for (const char *p = path; *p; p++)
    if (is_separator(*p)) last = p;
  return last ? (size_t)(last - path) : 0;
}

// The program's file name without its last extension (a leading dot starts none).
void program_base_name(char *out, size_t outlen) {
  const char *name = g_program + folder_length(g_program);
  if (is_separator(*name)) name++;
  text_copy(out, outlen, name);
  char *dot = *out ? strrchr(out + 1, '.') : nullptr;
  if (dot) *dot = 0;
}

// folder + separator + name, with every "*" of name replaced by the program's base name.
void join(char *out, size_t outlen, const char *folder, size_t folder_len, const char *name) {
  char base[KQ_PATH];
  program_base_name(base, sizeof base);
  size_t n = 0;
  auto put = [&](const char *text, size_t len) {
    for (size_t i = 0; i < len && n + 1 < outlen; i++) out[n++] = text[i];
  };
  put(folder, folder_len);
  if (folder_len) put(&kSeparator, 1);
  for (const char *p = name; *p; p++) {
    if (*p == '*') put(base, strlen(base));
    else put(p, 1);
  }
  out[n] = 0;
}

bool try_sub_folders(const char *name, char *out, size_t outlen) {
  size_t len = folder_length(g_program);
  char folder[KQ_PATH];
  text_copy(folder, len + 1 < sizeof folder ? len + 1 : sizeof folder, g_program);
  DIR *dir = opendir(len ? folder : ".");
  if (!dir) return false;
  bool found = false;
  for (struct dirent *d; !found && (d = readdir(dir));) {
    if (!strcmp(d->d_name, ".") || !strcmp(d->d_name, "..")) continue;
    char sub[KQ_PATH];
    join(sub, sizeof sub, folder, strlen(folder), d->d_name);
    join(out, outlen, sub, strlen(sub), name);
    found = is_file(out);
  }
  closedir(dir);
  return found;
}

bool is_list_separator(char c) { return c && strchr(",;&-=? \r\n\t", c); }

bool try_search_paths(const char *name, char *out, size_t outlen) {
  const char *p = g_settings.SourceSearchPaths;
  for (;;) {
    while (is_list_separator(*p)) p++;
    const char *start = p;
    if (*p == '"' || *p == '\'') {
      start = ++p;
      while (*p && *p != '"' && *p != '\'') p++;
    } else {
      while (*p && !is_list_separator(*p)) p++;
    }
    size_t len = (size_t)(p - start);
    if (*p == '"' || *p == '\'') p++;
    if (!len) return false;
    char entry[KQ_PATH], folder[KQ_PATH];
    text_copy(entry, len + 1 < sizeof entry ? len + 1 : sizeof entry, start);
    source_full_path(entry, folder, sizeof folder);
    join(out, outlen, folder, strlen(folder), name);
    if (is_file(out)) return true;
  }
}

void set_path(SourceRecord *s, const char *path) {
  if (s->path) sindex_remove(&g_sources.by_path, s->path, s->id);
  s->path = (char *)zone_free(s->path);
  if (!path) return;
  s->path = zone_strdup(path);
  if (s->path) sindex_insert(&g_sources.by_path, s->path, s->id);
}

}  // namespace

void sources_set_program(const char *path) { text_copy(g_program, sizeof g_program, path); }

void source_full_path(const char *name, char *out, size_t outlen) {
  if (is_absolute(name)) join(out, outlen, "", 0, name);
  else join(out, outlen, g_program, folder_length(g_program), name);
}

bool source_resolve_path(const char *name, char *out, size_t outlen) {
  source_full_path(name, out, outlen);
  if (is_file(out)) return true;
  if (g_settings.SearchSourceInSubfolders && try_sub_folders(name, out, outlen)) return true;
  if (try_search_paths(name, out, outlen)) return true;
  // Compilers record where the file was on the build machine; when that place is gone, the
  // file of that name is looked for beside the program and along the search paths.
  const size_t folder = folder_length(name);
  if (is_separator(name[folder]) && name[folder + 1])
    return source_resolve_path(name + folder + 1, out, outlen);
  out[0] = 0;
  return false;
}

void sources_resolve_again() {
  for (int id = -1; tab_prev_used(&g_sources.table, &id);) {
    SourceRecord *s = record((uint32_t)id);
    set_path(s, nullptr);
    s->looked_for = false;
  }
}

const char *source_path(const SourceRecord *source) {
  if (!source) return nullptr;
  // What the look found is kept in the record: the store's own cache.
  SourceRecord *s = record(source->id);
  if (!s->looked_for) {
    s->looked_for = true;
    char path[KQ_PATH];
    set_path(s, source_resolve_path(s->given_name, path, sizeof path) ? path : nullptr);
  }
  return s->path;
}

void sources_init() {
  tab_init(&g_sources.table, sizeof(SourceRecord *));
  arena_init(&g_sources.records);
  sindex_init(&g_sources.by_low);
  sindex_set_compare(&g_sources.by_low, compare_low, 0);
  sindex_init(&g_sources.by_path);
  sindex_set_compare(&g_sources.by_path, compare_path, 0);
}

void sources_clear() {
  for (int id = -1; tab_prev_used(&g_sources.table, &id);) source_delete(record((uint32_t)id));
}

void sources_free() {
  sources_clear();
  sindex_destroy(&g_sources.by_low);
  sindex_destroy(&g_sources.by_path);
  arena_release(&g_sources.records);
  tab_free(&g_sources.table);
}

int sources_remove_range(uint32_t low, uint32_t high) {
  int removed = 0;
  for (SourceRecord *s; (s = record(sindex_ceiling(&g_sources.by_low, &low))) && s->low < high;
       removed++)
    source_delete(s);
  return removed;
}

void sources_empty_entry_maps(uint32_t low, uint32_t high) {
  for (uint32_t id = sindex_ceiling(&g_sources.by_low, &low); id != SINDEX_NONE;) {
    SourceRecord *s = record(id);
    if (s->low >= high) break;
    namemap_destroy(&s->entry_map);
    id = sindex_after(&g_sources.by_low, &s->low);
  }
}

int sources_count() { return tab_used(&g_sources.table); }

SourceRecord *source_define(const char *name, int num, const uint16_t *lines,
                            const uint32_t *addresses) {
  if (num < 0 || (num && (!lines || !addresses))) return nullptr;
  if (!name) name = "";
  const size_t length = strlen(name);
  SourceRecord *s =
      (SourceRecord *)arena_alloc(&g_sources.records, sizeof(SourceRecord) + length + 1);
  int id = s ? tab_alloc(&g_sources.table) : -1;
  if (id < 0) return (SourceRecord *)arena_free(s);
  memset(s, 0, sizeof *s);
  s->id = (uint32_t)id;
  s->given_name = (char *)memcpy(s + 1, name, length + 1);
  namemap_init(&s->entry_map, 1, 1);  // the names are the entries' own
  s->lines = num ? (SourceLine *)arena_alloc(&g_sources.records, (size_t)num * sizeof(SourceLine))
                 : nullptr;
  if (s->lines) {
    s->line_count = num;
    bool sorted = true;
    for (int i = 0; i < num; i++) {
      s->lines[i] = SourceLine{lines[i], addresses[i]};
      sorted = sorted && (i == 0 || addresses[i - 1] <= addresses[i]);
    }
    // Compilers mostly write the pairs in address order already.
    if (!sorted) qsort(s->lines, (size_t)num, sizeof(SourceLine), compare_line_address);
    s->low = s->lines[0].address;
    s->high = s->lines[num - 1].address + 1;
  }
  *(SourceRecord **)tab_slot(&g_sources.table, id) = s;
  sindex_insert(&g_sources.by_low, &s->low, s->id);
  return s;
}

void source_delete(SourceRecord *s) {
  if (!s) return;
  // Entries that name this source lose it rather than point at freed memory.
  if (s->entry_refs) entries_forget_source(s);
  set_path(s, nullptr);
  sindex_remove(&g_sources.by_low, &s->low, s->id);
  namemap_destroy(&s->entry_map);
  s->lines = (SourceLine *)arena_free(s->lines);
  tab_release(&g_sources.table, (int)s->id);
  arena_free(s);
}

SourceRecord *source_of_address(uint32_t address) {
  SourceRecord *s = record(sindex_floor(&g_sources.by_low, &address));
  return s && address < s->high ? s : nullptr;
}

SourceRecord *source_by_name(const char *name) {
  if (!name) return nullptr;
  const char *file = name + folder_length(name);
  if (is_separator(*file)) file++;
  for (int id = 0; id < tab_count(&g_sources.table); id++) {
    if (!tab_in_use(&g_sources.table, id)) continue;
    SourceRecord *s = record((uint32_t)id);
    const char *given = s->given_name + folder_length(s->given_name);
    if (is_separator(*given)) given++;
    if ((source_path(s) && !strcasecmp(s->path, name)) || !strcasecmp(s->given_name, name) ||
        !strcasecmp(given, file))
      return s;
  }
  return nullptr;
}

SourceRecord *source_by_path(const char *path) {
  if (!path) return nullptr;
  // The index holds the paths found so far: every source is looked for first.
  for (int id = -1; tab_prev_used(&g_sources.table, &id);) source_path(record((uint32_t)id));
  return record(sindex_find(&g_sources.by_path, path));
}

namespace {
// Index of the pair with the greatest address not above address; -1 when none.
int floor_pair(const SourceRecord *s, uint32_t address) {
  int lo = 0, hi = s->line_count;  // first pair above address
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (s->lines[mid].address <= address) lo = mid + 1;
    else hi = mid;
  }
  return lo - 1;
}
}  // namespace

uint32_t source_line_of(const SourceRecord *s, uint32_t address) {
  if (!s || address < s->low || address >= s->high) return 0;
  int i = floor_pair(s, address);
  return i >= 0 ? s->lines[i].line : 0;
}

bool source_is_line_start(uint32_t address) {
  const SourceRecord *s = source_of_address(address);
  int i = s ? floor_pair(s, address) : -1;
  return i >= 0 && s->lines[i].address == address;
}

uint32_t source_next_line(uint32_t address) {
  const SourceRecord *s = source_of_address(address);
  const int i = s ? floor_pair(s, address) + 1 : 0;
  if (s && i < s->line_count) return s->lines[i].address;
  const SourceRecord *next = record(sindex_after(&g_sources.by_low, &address));
  return next && next->line_count ? next->lines[0].address : 0;
}

EntryRecord *source_entry(const SourceRecord *s, int i) {
  uint32_t id = 0;
  if (!s || !namemap_entry(&s->entry_map, i, nullptr, &id, nullptr)) return nullptr;
  return tab_in_use(&g_entries.table, (int)id) ? *(EntryRecord **)tab_slot(&g_entries.table, (int)id)
                                               : nullptr;
}
