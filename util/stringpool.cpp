#include "stringpool.h"

#include <string.h>

#include "zone.h"

namespace {

StringPool g_pool;

PoolEntry *entry(uint32_t id) { return (PoolEntry *)tab_slot(&g_pool.table, (int)id); }

// The context cannot carry a pointer on every host; there is only one pool anyway.
int compare_text(const void *key, uint32_t, uint32_t id) {
  return strcmp((const char *)key, entry(id)->text);
}

// Texts may be pooled by a library user that never ran the program's start-up.
void ensure_ready() {
  if (!g_pool.ready) pool_init();
}

}  // namespace

void pool_init() {
  if (g_pool.ready) return;
  tab_init(&g_pool.table, sizeof(PoolEntry));
  sindex_init(&g_pool.index);
  sindex_set_compare(&g_pool.index, compare_text, 0);
  g_pool.ready = true;
}

void pool_free() {
  if (!g_pool.ready) return;
  int id = -1;
  while (tab_prev_used(&g_pool.table, &id)) entry(id)->text = (char *)zone_free(entry(id)->text);
  sindex_destroy(&g_pool.index);
  tab_free(&g_pool.table);
  g_pool.ready = false;
}

const char *pool_intern(const char *text) {
  if (!text) return nullptr;
  ensure_ready();
  uint32_t id = sindex_find(&g_pool.index, text);
  if (id != SINDEX_NONE) {
    entry(id)->refs++;
    return entry(id)->text;
  }
  char *copy = zone_strdup(text);
  if (!copy) return nullptr;
  int slot = tab_alloc(&g_pool.table);
  if (slot < 0) {
    zone_free(copy);
    return nullptr;
  }
  entry(slot)->text = copy;
  entry(slot)->refs = 1;
  if (sindex_insert(&g_pool.index, copy, (uint32_t)slot)) {
    // No memory for the index: without it the text could never be found again.
    tab_release(&g_pool.table, slot);
    zone_free(copy);
    return nullptr;
  }
  return copy;
}

bool pool_release(const char *text) {
  if (!text || !g_pool.ready) return false;
  uint32_t id = sindex_find(&g_pool.index, text);
  if (id == SINDEX_NONE) return false;
  PoolEntry *e = entry(id);
  if (--e->refs > 0) return true;
  sindex_remove(&g_pool.index, e->text, id);
  e->text = (char *)zone_free(e->text);
  tab_release(&g_pool.table, (int)id);
  return true;
}

int pool_count() { return g_pool.ready ? tab_used(&g_pool.table) : 0; }

int pool_references(const char *text) {
  if (!text || !g_pool.ready) return 0;
  uint32_t id = sindex_find(&g_pool.index, text);
  return id == SINDEX_NONE ? 0 : entry(id)->refs;
}
