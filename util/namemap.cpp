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
  if (m->casesens) {
    while (*x && *x == *y) x++, y++;
    return (int)*x - (int)*y;
  }
  while (*x && fold(*x) == fold(*y)) x++, y++;
  return fold(*x) - fold(*y);
}

// Index of the entry with this name, or (as ~insertion point) where it would go.
int search(const NameMap *m, const char *name) {
  int lo = 0, hi = m->count;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = compare_names(m, name, m->entries[mid].name);
    if (c == 0) return mid;
    if (c < 0) hi = mid;
    else lo = mid + 1;
  }
  return ~lo;
}

void drop(NameMap *m, int i) {
  m->namebytes -= (int)strlen(m->entries[i].name) + 1;
  pool_release(m->entries[i].name);
  m->entries = (NameEntry *)zone_delete(m->entries, i, 1, sizeof(NameEntry));
  m->count--;
}

}  // namespace

void namemap_init(NameMap *m, uint8_t casesens) {
  m->namebytes = 0;
  m->casesens = casesens;
  m->count = 0;
  m->entries = nullptr;
}

void namemap_destroy(NameMap *m) {
  for (int i = 0; i < m->count; i++) pool_release(m->entries[i].name);
  m->entries = (NameEntry *)zone_free(m->entries);
  m->count = 0;
  m->namebytes = 0;
}

bool namemap_add(NameMap *m, const char *name, uint32_t value, uint32_t aux) {
  if (!name || !*name) return false;
  int i = search(m, name);
  if (i >= 0) {
    m->entries[i].value = value;
    m->entries[i].aux = aux;
    return true;
  }
  i = ~i;
  const char *pooled = pool_intern(name);
  if (!pooled) return false;
  NameEntry *entries = (NameEntry *)zone_insert(m->entries, i, 1, sizeof(NameEntry));
  if (zone_size(entries) != (size_t)(m->count + 1) * sizeof(NameEntry)) {
    pool_release(pooled);
    return false;
  }
  m->entries = entries;
  m->entries[i].name = pooled;
  m->entries[i].aux = aux;
  m->entries[i].value = value;
  m->count++;
  m->namebytes += (int)strlen(name) + 1;
  return false;
}

bool namemap_find(const NameMap *m, const char *name, uint32_t *value, uint32_t *aux) {
  if (!name || !*name) return false;
  int i = search(m, name);
  if (i < 0) return false;
  if (value) *value = m->entries[i].value;
  if (aux) *aux = m->entries[i].aux;
  return true;
}

bool namemap_remove(NameMap *m, const char *name) {
  if (!name || !*name) return false;
  int i = search(m, name);
  if (i < 0) return false;
  drop(m, i);
  return true;
}

int namemap_remove_value(NameMap *m, uint32_t value) {
  for (int i = m->count - 1; i >= 0; i--)
    if (m->entries[i].value == value) drop(m, i);
  return m->count;
}

bool namemap_entry(const NameMap *m, int i, const char **name, uint32_t *value, uint32_t *aux) {
  if (i < 0 || i >= m->count) return false;
  if (name) *name = m->entries[i].name;
  if (value) *value = m->entries[i].value;
  if (aux) *aux = m->entries[i].aux;
  return true;
}

void namemap_dump(const NameMap *m) {
  log_printf("\tHASH 0x%X\n", (unsigned)(uintptr_t)m);
  log_printf("\t{\n");
  for (int i = 0; i < m->count; i++)
    log_printf("\t\t{%s} [%i]=%u (%i)\n", m->entries[i].name, i, (unsigned)m->entries[i].value,
               (int)m->entries[i].aux);
  log_printf("\t}\n");
}
