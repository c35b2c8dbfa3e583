#include "namemap.h"

#include <string.h>

#include "log.h"
#include "stringpool.h"
#include "zone.h"

namespace {

int fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Byte-wise, so that the order does not depend on the C library's locale.
int compare_names(const NameMap *m, const char *a, const char *b) {
  const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
  if (m->casesens) return strcmp(a, b);  // which compares unsigned bytes too
  while (*x && fold(*x) == fold(*y)) x++, y++;
  return fold(*x) - fold(*y);
}

// A place in the map: part and position in it; the position may be the part's count.
struct Place {
  int part;
  int at;
  bool found;
};

// The entry with this name, or where it would go: in the last part whose first name is
// not above it (part 0 for a name below every part).
Place search(const NameMap *m, const char *name) {
  Place p = {0, 0, false};
  int lo = 0, hi = m->partnum;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (compare_names(m, name, m->parts[mid].entries[0].name) >= 0) lo = mid + 1;
    else hi = mid;
  }
  if (lo > 0) p.part = lo - 1;
  if (!m->partnum) return p;
  const NamePart *part = &m->parts[p.part];
  lo = 0;
  hi = part->count;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = compare_names(m, name, part->entries[mid].name);
    if (c == 0) {
      p.at = mid;
      p.found = true;
      return p;
    }
    if (c < 0) hi = mid;
    else lo = mid + 1;
  }
  p.at = lo;
  return p;
}

// A part entry inserted into the parts array at p; false without memory.
bool add_part(NameMap *m, int p, NameEntry *entries, int count) {
  NamePart *parts = (NamePart *)zone_insert(m->parts, p, 1, sizeof(NamePart));
  if (zone_size(parts) != (size_t)(m->partnum + 1) * sizeof(NamePart)) return false;
  m->parts = parts;
  m->parts[p].count = count;
  m->parts[p].entries = entries;
  m->partnum++;
  return true;
}

// The last count / 2 entries move to a new part right after this one.
void split(NameMap *m, int p) {
  int moved = m->parts[p].count / 2, kept = m->parts[p].count - moved;
  NameEntry *entries =
      (NameEntry *)zone_dup_bytes(moved * sizeof(NameEntry), m->parts[p].entries + kept);
  if (!entries) return;  // an oversized part is still correct, only slower
  if (!add_part(m, p + 1, entries, moved)) {
    zone_free(entries);
    return;
  }
  m->parts[p].count = kept;
  m->parts[p].entries = (NameEntry *)zone_resize(m->parts[p].entries, kept * sizeof(NameEntry));
}

bool insert(NameMap *m, Place p, const NameEntry &entry) {
  if (!m->partnum) {
    NameEntry *entries = (NameEntry *)zone_dup_bytes(sizeof entry, &entry);
    if (entries && add_part(m, 0, entries, 1)) return true;
    zone_free(entries);
    return false;
  }
  NamePart *part = &m->parts[p.part];
  // The part's block keeps room for more entries, so that most adds make no call to the
  // zone (each of which records its caller's history).
  NameEntry *entries = part->entries;
  if ((size_t)part->count * sizeof entry >= zone_size(entries))
    entries = (NameEntry *)zone_resize(entries, ((size_t)part->count * 3 / 2 + 4) * sizeof entry);
  if (!entries) return false;
  memmove(entries + p.at + 1, entries + p.at, (part->count - p.at) * sizeof entry);
  entries[p.at] = entry;
  part->entries = entries;
  part->count++;
  if (part->count > NAMEMAP_PART_MAX) split(m, p.part);
  return true;
}

void drop(NameMap *m, int p, int at) {
  NamePart *part = &m->parts[p];
  m->namebytes -= (int)strlen(part->entries[at].name) + 1;
  if (!m->borrowed) pool_drop(part->entries[at].name);
  part->entries = (NameEntry *)zone_delete(part->entries, at, 1, sizeof(NameEntry));
  part->count--;
  m->count--;
  m->seen_part = m->seen_start = m->found_part = 0;
  if (part->count) return;
  part->entries = (NameEntry *)zone_free(part->entries);
  m->parts = (NamePart *)zone_delete(m->parts, p, 1, sizeof(NamePart));
  if (!--m->partnum) m->parts = (NamePart *)zone_free(m->parts);
}

// The place namemap_find left for name when it still holds: found there, or between
// two neighbours of the same part.
bool remembered(const NameMap *m, const char *name, Place *p) {
  if (!m->found_part) return false;
  const NamePart *part = &m->parts[m->found_part - 1];
  int at = m->found_at;
  if (m->found) {
    if (compare_names(m, name, part->entries[at].name) != 0) return false;
  } else if (at == 0 || at == part->count ||
             compare_names(m, name, part->entries[at - 1].name) <= 0 ||
             compare_names(m, name, part->entries[at].name) >= 0) {
    return false;
  }
  *p = Place{m->found_part - 1, at, m->found};
  return true;
}

}  // namespace

void namemap_init(NameMap *m, uint8_t casesens, uint8_t borrowed) {
  memset(m, 0, sizeof *m);
  m->casesens = casesens;
  m->borrowed = borrowed;
}

void namemap_destroy(NameMap *m) {
  for (int p = 0; p < m->partnum; p++) {
    for (int i = 0; i < m->parts[p].count && !m->borrowed; i++)
      pool_drop(m->parts[p].entries[i].name);
    zone_free(m->parts[p].entries);
  }
  zone_free(m->parts);
  namemap_init(m, m->casesens, m->borrowed);
}

namespace {

bool add(NameMap *m, const char *name, uint32_t value, uint32_t aux, bool pooled_already) {
  if (!name || !*name) return false;
  Place p;
  if (!remembered(m, name, &p)) p = search(m, name);
  if (p.found) {
    NameEntry &e = m->parts[p.part].entries[p.at];
    if (m->borrowed) e.name = name;  // the text of the new value's owner
    e.value = value;
    e.aux = aux;
    return true;
  }
  const char *held = name;  // the owner's text, or a pooled one
  if (!m->borrowed && pooled_already) pool_retain(name);
  else if (!m->borrowed) held = pool_intern(name);
  if (!held) return false;
  if (!insert(m, p, NameEntry{held, aux, value})) {
    if (!m->borrowed) pool_drop(held);
    return false;
  }
  m->count++;
  m->namebytes += (int)strlen(name) + 1;
  m->seen_part = m->seen_start = m->found_part = 0;
  return false;
}

}  // namespace

bool namemap_add(NameMap *m, const char *name, uint32_t value, uint32_t aux) {
  return add(m, name, value, aux, false);
}

bool namemap_add_pooled(NameMap *m, const char *pooled, uint32_t value, uint32_t aux) {
  return add(m, pooled, value, aux, true);
}

bool namemap_find(const NameMap *m, const char *name, uint32_t *value, uint32_t *aux) {
  if (!name || !*name) return false;
  Place p = search(m, name);
  m->found_part = m->partnum ? p.part + 1 : 0;
  m->found_at = p.at;
  m->found = p.found;
  if (!p.found) return false;
  if (value) *value = m->parts[p.part].entries[p.at].value;
  if (aux) *aux = m->parts[p.part].entries[p.at].aux;
  return true;
}

bool namemap_remove(NameMap *m, const char *name) {
  if (!name || !*name) return false;
  Place p;
  if (remembered(m, name, &p) && p.found) {
    drop(m, p.part, p.at);
    return true;
  }
  p = search(m, name);
  if (!p.found) return false;
  drop(m, p.part, p.at);
  return true;
}

int namemap_remove_value(NameMap *m, uint32_t value) {
  for (int p = m->partnum - 1; p >= 0; p--)
    for (int i = m->parts[p].count - 1; i >= 0; i--)
      if (m->parts[p].entries[i].value == value) drop(m, p, i);
  return m->count;
}

int namemap_remove_marked(NameMap *m, const uint8_t *marked, uint32_t limit) {
  int removed = 0;
  for (int p = 0; p < m->partnum;) {
    NamePart *part = &m->parts[p];
    int kept = 0;
    for (int i = 0; i < part->count; i++) {
      const NameEntry &e = part->entries[i];
      if (e.value < limit && marked[e.value]) {
        m->namebytes -= (int)strlen(e.name) + 1;
        if (!m->borrowed) pool_drop(e.name);
      } else {
        part->entries[kept++] = e;
      }
    }
    removed += part->count - kept;
    if (kept < part->count) {
      part->count = kept;
      part->entries = (NameEntry *)zone_resize(part->entries, kept * sizeof(NameEntry));  // 0 frees
    }
    if (kept) {
      p++;
      continue;
    }
    m->parts = (NamePart *)zone_delete(m->parts, p, 1, sizeof(NamePart));
    if (!--m->partnum) m->parts = (NamePart *)zone_free(m->parts);
  }
  m->count -= removed;
  if (removed) m->seen_part = m->seen_start = m->found_part = 0;
  return removed;
}

bool namemap_entry(const NameMap *m, int i, const char **name, uint32_t *value, uint32_t *aux) {
  if (i < 0 || i >= m->count) return false;
  if (i < m->seen_start) m->seen_part = m->seen_start = 0;
  while (i >= m->seen_start + m->parts[m->seen_part].count)
    m->seen_start += m->parts[m->seen_part++].count;
  const NameEntry &e = m->parts[m->seen_part].entries[i - m->seen_start];
  if (name) *name = e.name;
  if (value) *value = e.value;
  if (aux) *aux = e.aux;
  return true;
}

void namemap_dump(const NameMap *m) {
  log_printf("\tHASH 0x%X\n", (unsigned)(uintptr_t)m);
  log_printf("\t{\n");
  for (int p = 0, i = 0; p < m->partnum; p++)
    for (const NameEntry *e = m->parts[p].entries; e < m->parts[p].entries + m->parts[p].count;
         e++, i++)
      log_printf("\t\t{%s} [%i]=%u (%i)\n", e->name, i, (unsigned)e->value, (int)e->aux);
  log_printf("\t}\n");
}
