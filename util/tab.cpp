#include "tab.h"

#include <string.h>

#include "log.h"
#include "visor.h"
#include "zone.h"

namespace {

int next_free(const SlotTable *t, int id) {
  int32_t next;
  memcpy(&next, tab_slot(t, id), 4);
  return next;
}

void set_next_free(SlotTable *t, int id, int next) {
  int32_t v = next;
  memcpy(tab_slot(t, id), &v, 4);
}

// The new slots go onto the front of the free list from the lowest id up, so the
// highest new id is handed out first and the lowest one is the last free slot.
bool grow(SlotTable *t) {
  int len = t->len + (t->len * 30 + 50) / 100 + 20;
  void *base = zone_resize(t->base, (size_t)len * (size_t)t->width);
  if (!base) return false;
  t->base = base;
  uint8_t *map = (uint8_t *)zone_resize(t->map, (size_t)len);
  if (!map) return false;  // the larger slot array is harmless; len is unchanged
  t->map = map;
  for (int id = t->len; id < len; id++) {
    map[id] = 0;
    set_next_free(t, id, t->first);
    t->first = id;
    if (t->last < 0) t->last = id;
  }
  t->emptynum += len - t->len;
  t->len = len;
  return true;
}

}  // namespace

void tab_init(SlotTable *t, int width) {
  KQ_ASSERT_AT(width >= 4, "tab", 14, "width >= 4");
  t->base = nullptr;
  t->map = nullptr;
  t->len = t->emptynum = 0;
  t->first = t->last = -1;
  t->width = width;
}

void tab_free(SlotTable *t) {
  t->base = zone_free(t->base);
  t->map = (uint8_t *)zone_free(t->map);
}

void tab_clear(SlotTable *t) {
  tab_free(t);
  tab_init(t, t->width);
}

void tab_reserve(SlotTable *t, int n) {
  KQ_ASSERT_AT(!t->len && !t->emptynum, "tab", 28, "!dd->len && !dd->emptynum");
  if (n <= 0) return;
  void *base = zone_alloc_zeroed((size_t)n * (size_t)t->width);
  uint8_t *map = (uint8_t *)zone_alloc((size_t)n);
  if (!base || !map) {
    zone_free(base);
    zone_free(map);
    return;
  }
  memset(map, 1, (size_t)n);
  t->base = base;
  t->map = map;
  t->len = n;
}

int tab_alloc(SlotTable *t) {
  if (t->first < 0 && !grow(t)) return -1;
  int id = t->first;
  t->first = next_free(t, id);
  if (t->first < 0) t->last = -1;
  t->map[id] = 1;
  t->emptynum--;
  memset(tab_slot(t, id), 0, (size_t)t->width);
  return id;
}

bool tab_release(SlotTable *t, int id) {
  // A second release would link the slot into the free list twice.
  if (!tab_in_use(t, id)) return false;
  set_next_free(t, id, -1);
  if (t->last >= 0) set_next_free(t, t->last, id);
  else t->first = id;
  t->last = id;
  t->map[id] = 0;
  t->emptynum++;
  return true;
}

bool tab_prev_used(const SlotTable *t, int *id) {
  int i = *id;
  if (i < 0 || i > t->len) i = t->len;
  while (--i >= 0)
    if (t->map[i]) {
      *id = i;
      return true;
    }
  *id = -1;
  return false;
}

void tab_dump(const SlotTable *t) {
  log_printf("TABLE #%X\n", (unsigned)(uintptr_t)t);
  log_printf("\twidth=%i\n", t->width);
  log_printf("\tbase=%X map=%X\n", (unsigned)(uintptr_t)t->base, (unsigned)(uintptr_t)t->map);
  log_printf("\tlen=%i emptynum=%i\n", t->len, t->emptynum);
  log_printf("\tfirst=%i last=%i\n", t->first, t->last);
  log_printf("\n");
}
