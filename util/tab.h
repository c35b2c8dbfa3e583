// Slot tables: fixed-size records under small reusable ids. Every other container and
// store of the program keeps its records here and refers to them by id.
#pragma once
#include <stddef.h>
#include <stdint.h>

// A free slot holds, in its first 4 bytes, the id of the next free slot (-1 at the end).
// Freed ids join the end of the free list, so an id is reused as late as possible.
struct SlotTable {
  void *base;      // len slots of width bytes; may move when the table grows
  int len;         // slots in all
  int emptynum;    // free slots
  int first;       // first free slot, -1 for none
  int last;        // last free slot, -1 for none
  uint8_t *map;    // 1 for a slot in use, 0 for a free one
  int width;       // slot size in bytes, at least 4
};

void tab_init(SlotTable *t, int width);
// Releases both arrays; the table must be initialised again before use.
void tab_free(SlotTable *t);
// Releases both arrays and leaves an empty table of the same width.
void tab_clear(SlotTable *t);
// Creates n slots, all in use (ids 0 .. n-1), on a table that never had slots.
void tab_reserve(SlotTable *t, int n);
// Takes a free slot (growing the table when none is left) and gives its id. The slot is
// zeroed; t->base may have moved.
int tab_alloc(SlotTable *t);
// Frees the slot; -1, an id out of range or a slot already free is ignored (false).
bool tab_release(SlotTable *t, int id);
inline int tab_count(const SlotTable *t) { return t->len; }
inline int tab_used(const SlotTable *t) { return t->len - t->emptynum; }
inline void *tab_slot(const SlotTable *t, int id) {
  return (char *)t->base + (size_t)id * (size_t)t->width;
}
inline bool tab_in_use(const SlotTable *t, int id) {
  return id >= 0 && id < t->len && t->map[id];
}
// Moves *id to the nearest slot in use below it; an id outside 0..len starts from len,
// so walking from -1 visits the used slots from the last to the first. Gives false and
// -1 when there is none.
bool tab_prev_used(const SlotTable *t, int *id);
void tab_dump(const SlotTable *t);
