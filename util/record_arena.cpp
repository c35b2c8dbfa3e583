#include "record_arena.h"

#include <string.h>

#include "zone.h"

// A pack's header, at the start of its zone block. Each record follows a prefix that
// holds the prefix's offset in the pack, or 0 for a record with a zone block of its own.
struct RecordPack {
  uint32_t live;     // records not freed yet
  uint32_t used;     // bytes cut so far, the header's included
  uint32_t filling;  // 1 while its arena cuts records from it
};

namespace {

const size_t kAlign = sizeof(void *);
constexpr size_t round_up(size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }
const size_t kPrefix = round_up(sizeof(uint32_t));
const uint32_t kHeader = (uint32_t)round_up(sizeof(RecordPack));
const size_t kPackBytes = kHeader + ARENA_PACK_BYTES;
const size_t kLone = ARENA_PACK_BYTES / 8;

uint32_t offset_of(const void *record) {
  uint32_t at;
  memcpy(&at, (const uint8_t *)record - kPrefix, sizeof at);
  return at;
}

RecordPack *pack_of(void *record, uint32_t at) {
  return (RecordPack *)((uint8_t *)record - kPrefix - at);
}

uint8_t *lone_record(uint8_t *block) {
  if (!block) return nullptr;
  memset(block, 0, kPrefix);
  return block + kPrefix;
}

// The filling pack when need bytes fit in it (rewound when it holds no record), else
// a new one.
RecordPack *room_for(RecordArena *arena, size_t need) {
  RecordPack *pack = arena->filling;
  if (pack && !pack->live) pack->used = kHeader;
  if (pack && pack->used + need <= kPackBytes) return pack;
  RecordPack *fresh = (RecordPack *)zone_alloc(kPackBytes);
  if (!fresh) return nullptr;
  if (pack) pack->filling = 0;
  *fresh = RecordPack{0, kHeader, 1};
  arena->filling = fresh;
  return fresh;
}

}  // namespace

void arena_init(RecordArena *arena) { arena->filling = nullptr; }

void arena_release(RecordArena *arena) {
  RecordPack *pack = arena->filling;
  arena->filling = nullptr;
  if (!pack) return;
  if (pack->live) pack->filling = 0;
  else zone_free(pack);
}

void *arena_alloc(RecordArena *arena, size_t size) {
  if (size > kLone) return lone_record((uint8_t *)zone_alloc(kPrefix + size));
  const size_t need = kPrefix + round_up(size);
  RecordPack *pack = room_for(arena, need);
  if (!pack) return nullptr;
  uint8_t *at = (uint8_t *)pack + pack->used;
  memcpy(at, &pack->used, sizeof pack->used);
  pack->used += (uint32_t)need;
  pack->live++;
  return at + kPrefix;
}

void *arena_free(void *record) {
  if (!record) return nullptr;
  const uint32_t at = offset_of(record);
  if (!at) return zone_free((uint8_t *)record - kPrefix);
  RecordPack *pack = pack_of(record, at);
  if (--pack->live || pack->filling) return nullptr;  // an empty filling pack is rewound
  return zone_free(pack);
}

bool arena_resize_in_place(RecordArena *arena, void *record, size_t old_size, size_t size) {
  const uint32_t at = offset_of(record);
  RecordPack *pack = at ? pack_of(record, at) : nullptr;
  const size_t end = at + kPrefix + round_up(size);
  if (pack != arena->filling || !pack || size > kLone || end > kPackBytes ||
      at + kPrefix + round_up(old_size) != pack->used)
    return false;
  pack->used = (uint32_t)end;
  return true;
}

void *arena_resize(RecordArena *arena, void *record, size_t old_size, size_t size) {
  if (!record) return arena_alloc(arena, size);
  const uint32_t at = offset_of(record);
  if (!at && size > kLone)
    return lone_record((uint8_t *)zone_resize((uint8_t *)record - kPrefix, kPrefix + size));
  if (arena_resize_in_place(arena, record, old_size, size)) return record;
  void *moved = arena_alloc(arena, size);
  if (!moved) return nullptr;
  memcpy(moved, record, old_size < size ? old_size : size);
  arena_free(record);
  return moved;
}
