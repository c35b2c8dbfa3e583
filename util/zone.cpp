#include "zone.h"

#include <stdlib.h>
#include <string.h>

#include "frames.h"
#include "log.h"
#include "path.h"
#include "visor.h"

namespace {

// The header in front of every block's data; on the 32-bit target it is 100 bytes.
struct BlockHeader {
  uint8_t front[ZONE_BUMPER];
  uint32_t capacity;
  uint32_t size;
  uintptr_t history[ZONE_HISTORY];
  uint32_t tick;
  BlockHeader *prev;
  BlockHeader *next;
#if UINTPTR_MAX > 0xFFFFFFFFu
  uint8_t align[4];  // keeps the inner bumper right before 8-byte aligned data
#endif
  uint8_t inner[ZONE_BUMPER];
};
static_assert(sizeof(void *) != 4 || sizeof(BlockHeader) == 100, "block header layout");

const uint8_t kBumper = '!';
const uint8_t kFresh = '1';
const uint8_t kFreed = '0';

struct ZoneState {
  BlockHeader *first, *last;
  int blocks;
  size_t size;    // total size in use
  size_t extent;  // total capacity
};
ZoneState g_zone;

BlockHeader *header_of(const void *data) {
  return (BlockHeader *)((uint8_t *)data - sizeof(BlockHeader));
}
uint8_t *data_of(BlockHeader *h) { return (uint8_t *)h + sizeof(BlockHeader); }

// Skips zone_* and this helper, so the history starts at the caller of the zone.
__attribute__((noinline)) void stamp(BlockHeader *h) {
  frames_collect(h->history, ZONE_HISTORY_DEPTH, 2);
  for (int i = ZONE_HISTORY_DEPTH; i < ZONE_HISTORY; i++) h->history[i] = 0;
  h->tick = log_line_counter();
}

void relink(BlockHeader *h) {
  if (h->prev) h->prev->next = h; else g_zone.first = h;
  if (h->next) h->next->prev = h; else g_zone.last = h;
}

void history_text(const BlockHeader *h, char *out, size_t outlen) {
  out[0] = 0;
  size_t used = 0;
  bool any = false;
  for (int i = ZONE_HISTORY - 1; i >= 0; i--) {
    if (!h->history[i]) continue;
    char name[KQ_PATH];
    symbolic_address(h->history[i], name, sizeof name);
    size_t n = strlen(name);
    if (used + n + 2 >= outlen) break;
    if (any) out[used++] = '\\';
    memcpy(out + used, name, n);
    used += n;
    out[used] = 0;
    any = true;
  }
}

void check_bumpers(BlockHeader *h) {
  const uint8_t *parts[3] = {h->front, h->inner, data_of(h) + h->size};
  for (const uint8_t *bumper : parts) {
    for (int i = 0; i < ZONE_BUMPER; i++) {
      if (bumper[i] == kBumper) continue;
      char hist[1024];
      history_text(h, hist, sizeof hist);
      log_printf("%s 0x%X by %s\n", "check_bumper", (unsigned)(uintptr_t)data_of(h), hist);
      log_hexdump(bumper, ZONE_BUMPER);
      fatal_error("Heap check failed at [%u]==0x%X in block 0x%X", (unsigned)i,
                  (unsigned)bumper[i], (unsigned)(uintptr_t)data_of(h));
    }
  }
}

// Takes the block out of the totals, stores the new size and history, and moves the
// block when its capacity must grow; gives the (possibly moved) header or null.
__attribute__((always_inline)) inline BlockHeader *change_size(BlockHeader *h, size_t size,
                                                              size_t capacity_if_grown) {
  if (size > 0xFFFFFFFFu - 256) return nullptr;
  size_t old_capacity = h->capacity;
  if (old_capacity < size) {
    void *moved = realloc(h, sizeof(BlockHeader) + capacity_if_grown + ZONE_BUMPER);
    if (!moved) return nullptr;  // the old block stays valid and chained
    h = (BlockHeader *)moved;
    relink(h);
    h->capacity = (uint32_t)capacity_if_grown;
  }
  g_zone.size -= h->size;
  g_zone.extent -= old_capacity;
  h->size = (uint32_t)size;
  stamp(h);
  memset(data_of(h) + size, kBumper, ZONE_BUMPER);
  g_zone.size += h->size;
  g_zone.extent += h->capacity;
  return h;
}

}  // namespace

namespace {

// Inlined into both callers, so that the block's history starts at their caller.
__attribute__((always_inline)) inline void *new_block(size_t size, uint8_t fill) {
  if (size == 0 || size > 0xFFFFFFFFu - 256) return nullptr;
  BlockHeader *h = (BlockHeader *)malloc(sizeof(BlockHeader) + size + ZONE_BUMPER);
  if (!h) {
    log_warning("Out of memory allocating %u bytes", (unsigned)size);
    return nullptr;
  }
  h->capacity = h->size = (uint32_t)size;
  stamp(h);
  h->prev = g_zone.last;
  h->next = nullptr;
  relink(h);
  memset(h->front, kBumper, ZONE_BUMPER);
  memset(h->inner, kBumper, ZONE_BUMPER);
  memset(data_of(h), fill, size);
  memset(data_of(h) + size, kBumper, ZONE_BUMPER);
  g_zone.blocks++;
  g_zone.size += size;
  g_zone.extent += size;
  return data_of(h);
}

}  // namespace

void *zone_alloc(size_t size) { return new_block(size, kFresh); }

void *zone_alloc_zeroed(size_t size) { return new_block(size, 0); }

void *zone_free(void *data) {
  if (!data) return nullptr;
  BlockHeader *h = header_of(data);
  g_zone.size -= h->size;
  g_zone.extent -= h->capacity;
  g_zone.blocks--;
  if (h->prev) h->prev->next = h->next; else g_zone.first = h->next;
  if (h->next) h->next->prev = h->prev; else g_zone.last = h->prev;
  memset(h->front, kFreed, ZONE_BUMPER);
  memset(h->inner, kFreed, ZONE_BUMPER);
  memset(data, kFreed, h->size + ZONE_BUMPER);
  free(h);
  return nullptr;
}

void *zone_resize(void *data, size_t size) {
  if (!data) return zone_alloc(size);
  if (size == 0) return zone_free(data);
  KQ_ASSERT_AT(g_zone.size < MAXHEAPSIZE, "zone", 70, "z_size < MAXHEAPSIZE");
  BlockHeader *h = change_size(header_of(data), size, size);
  if (!h) {
    log_warning("Out of memory resizing a block to %u bytes", (unsigned)size);
    return nullptr;
  }
  return data_of(h);
}

void *zone_grow(void *data, size_t added) {
  if (!data) return zone_alloc(added);
  KQ_ASSERT_AT(g_zone.size < MAXHEAPSIZE, "zone", 118, "z_size < MAXHEAPSIZE");
  BlockHeader *h = header_of(data);
  size_t size = h->size + added;
  BlockHeader *moved = change_size(h, size, size + size * 40 / 100);
  if (!moved) {
    log_warning("Out of memory growing a block to %u bytes", (unsigned)size);
    return nullptr;
  }
  return data_of(moved);
}

void *zone_append(void *data, const void *bytes, size_t count) {
  size_t old = zone_size(data);
  uint8_t *grown = (uint8_t *)zone_grow(data, count);
  if (grown && count) memcpy(grown + old, bytes, count);
  return grown;
}

void *zone_dup_bytes(size_t count, const void *src) {
  void *copy = zone_alloc(count);
  if (copy) memcpy(copy, src, count);
  return copy;
}

void *zone_dup(const void *data) { return data ? zone_dup_bytes(zone_size(data), data) : nullptr; }

char *zone_strdup(const char *text) { return (char *)zone_dup_bytes(strlen(text) + 1, text); }

void zone_clear(void *data) {
  if (data) memset(data, 0, zone_size(data));
}

size_t zone_size(const void *data) { return data ? header_of(data)->size : 0; }
size_t zone_capacity(const void *data) { return data ? header_of(data)->capacity : 0; }

size_t zone_use_capacity(void *data) {
  if (!data) return 0;
  BlockHeader *h = header_of(data);
  change_size(h, h->capacity, h->capacity);
  return h->size;
}

void *zone_insert(void *array, int index, int count, int width) {
  size_t old = zone_size(array);
  size_t at = (size_t)index * width, gap = (size_t)count * width;
  if (at > old || gap == 0) return array;
  uint8_t *grown = (uint8_t *)zone_resize(array, old + gap);
  if (grown) memmove(grown + at + gap, grown + at, old - at);
  return grown ? grown : array;
}

void *zone_delete(void *array, int index, int count, int width) {
  size_t old = zone_size(array);
  size_t at = (size_t)index * width, gap = (size_t)count * width;
  if (at > old || gap == 0) return array;
  if (gap > old - at) gap = old - at;
  uint8_t *bytes = (uint8_t *)array;
  memmove(bytes + at, bytes + at + gap, old - at - gap);
  return zone_resize(array, old - gap);
}

size_t zone_total_size() { return g_zone.size; }
size_t zone_total_extent() { return g_zone.extent; }
int zone_block_count() { return g_zone.blocks; }

void zone_status_report() {
  log_printf("\t\t~~~ Memory Status ~~~\n");
  log_printf("\tblocks: %d\n", g_zone.blocks);
  log_printf("\tsize: %d\n", (int)g_zone.size);
  log_printf("\textent: %d\n", (int)g_zone.extent);
}

void zone_report_block(const void *data) {
  if (!data) return;
  BlockHeader *h = header_of(data);
  char hist[1024];
  history_text(h, hist, sizeof hist);
  log_printf("[0x%6X] size %u, tick %d, hist='%s'\n", (unsigned)(uintptr_t)data,
             (unsigned)h->size, (int)h->tick, hist);
}

void zone_block_report() {
  for (BlockHeader *h = g_zone.first; h; h = h->next) {
    check_bumpers(h);
    zone_report_block(data_of(h));
  }
}

void zone_heap_check(const char *label) {
  int count = 0;
  for (BlockHeader *h = g_zone.first; h; h = h->next) {
    check_bumpers(h);
    count++;
  }
  if (count != g_zone.blocks)
    fatal_error("%s: heap has %d blocks, when %d expected", label, count, g_zone.blocks);
}
