#include "mapfile.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "log.h"
#include "path.h"
#include "visor.h"
#include "zone.h"

namespace {

struct MapFunction {
  uintptr_t address;
  int name;  // offset into the name buffer
};

struct MapModule {
  int refcount;
  char path[KQ_PATH];
  uintptr_t code_start;
  uint32_t code_size;
  char names[MAXNAMEBUF];
  int names_len;
  int function_count;
  MapFunction functions[MAXFUNCNUM];
};

// The records are fixed storage, not zone blocks: they must outlive the block report
// at exit, which names its callers through them.
struct MapState {
  MapModule modules[MAXMODNUM];
  int count;
};
MapState g_maps;

const char kHeader[] =
    "  Address         Publics by Value              Rva+Base     Lib:Object\n";

MapModule *find_module(const char *path) {
  for (int i = 0; i < g_maps.count; i++)
    if (strcasecmp(g_maps.modules[i].path, path) == 0) return &g_maps.modules[i];
  return nullptr;
}

// Reads the next line the way a 260-character line buffer would: at most 259
// characters, a CR before the LF dropped. Gives false at the end of the text.
bool next_line(const char *text, size_t len, size_t *pos, char line[KQ_PATH]) {
  if (*pos >= len) return false;
  size_t n = 0;
  while (*pos < len && n < KQ_PATH - 1) {
    char c = text[(*pos)++];
    if (c == '\r' && *pos < len && text[*pos] == '\n') continue;
    line[n++] = c;
    if (c == '\n') break;
  }
  line[n] = 0;
  return true;
}

void add_function(MapModule *m, const MapImage *image, unsigned section, unsigned offset,
                  const char *name) {
  if (section < 1 || (int)section > image->section_count) return;
  const MapSectionInfo *s = &image->sections[section - 1];
  if (!s->code) return;
  if (name[0] == '_') name++;
  int len = (int)strlen(name) + 1;
  KQ_ASSERT_AT(m->function_count < MAXFUNCNUM, "visor", 568, "funcnum < MAXFUNCNUM");
  KQ_ASSERT_AT(m->names_len + len <= MAXNAMEBUF, "visor", 569,
               "namelen + len <= MAXNAMEBUF");
  memcpy(m->names + m->names_len, name, len);
  m->functions[m->function_count].address = image->image_base + s->virtual_address + offset;
  m->functions[m->function_count].name = m->names_len;
  m->function_count++;
  m->names_len += len;
}

}  // namespace

bool mapfile_load_text(const char *module_path, const char *text, size_t len,
                       const MapImage *image) {
  if (MapModule *known = find_module(module_path)) {
    known->refcount++;
    return true;
  }
  KQ_ASSERT_AT(g_maps.count < MAXMODNUM, "visor", 536, "modulen < MAXMODNUM");
  MapModule *m = &g_maps.modules[g_maps.count];
  m->refcount = 1;
  text_copy(m->path, sizeof m->path, module_path);
  m->code_start = image->code_start;
  m->code_size = image->code_size;
  m->names_len = 0;
  m->function_count = 0;

  size_t pos = 0;
  char line[KQ_PATH];
  bool found = false;
  while (!found && next_line(text, len, &pos, line)) found = strcmp(line, kHeader) == 0;
  if (found && next_line(text, len, &pos, line)) {
    while (next_line(text, len, &pos, line) && strlen(line) >= 2) {
      unsigned section, offset;
      char name[KQ_PATH];
      if (sscanf(line, " %x:%x %259s ", &section, &offset, name) == 3)
        add_function(m, image, section, offset, name);
    }
  }
  g_maps.count++;
  return true;
}

bool mapfile_load(const char *module_path, const MapImage *image) {
  if (MapModule *known = find_module(module_path)) {
    known->refcount++;
    return true;
  }
  char map_path[KQ_PATH];
  path_replace_extension(map_path, sizeof map_path, module_path, ".map");
  FILE *f = fopen(map_path, "rb");
  if (!f) return false;
  char *text = nullptr;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text = (char *)zone_append(text, chunk, n);
  fclose(f);
  bool ok = mapfile_load_text(module_path, text ? text : "", zone_size(text), image);
  text = (char *)zone_free(text);
  return ok;
}

void mapfile_unload(const char *module_path) {
  for (int i = 0; i < g_maps.count; i++) {
    MapModule *m = &g_maps.modules[i];
    if (strcasecmp(m->path, module_path) != 0) continue;
    if (--m->refcount > 0) return;
    uintptr_t code_start = m->code_start;
    memmove(&g_maps.modules[i], &g_maps.modules[i + 1],
            (g_maps.count - i - 1) * sizeof g_maps.modules[0]);
    g_maps.count--;
    log_trace("base=%X \n", (unsigned)code_start);
    return;
  }
}

int mapfile_module_count() { return g_maps.count; }

int mapfile_function_count(const char *module_path) {
  MapModule *m = find_module(module_path);
  return m ? m->function_count : 0;
}

void symbolic_address(uintptr_t address, char *out, size_t outlen) {
  const MapModule *m = nullptr;
  for (int i = g_maps.count - 1; i >= 0 && !m; i--) {
    const MapModule *c = &g_maps.modules[i];
    if (address >= c->code_start && address - c->code_start < c->code_size) m = c;
  }
  if (!m) {
    snprintf(out, outlen, "[%06X]", (unsigned)address);
    return;
  }
  // Return addresses never equal a function's first byte, hence "below".
  for (int i = m->function_count - 1; i >= 0; i--) {
    uintptr_t start = m->functions[i].address;
    if (start < address && address - start < 4096) {
      text_copy(out, outlen, m->names + m->functions[i].name);
      return;
    }
  }
  snprintf(out, outlen, "%s [%06X]", m->path, (unsigned)address);
}
