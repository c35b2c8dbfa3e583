#include "plugins/common/name_table.h"

#include <string.h>

#include "util/zone.h"

namespace {

uint64_t name_hash(const char *name) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (const unsigned char *p = (const unsigned char *)name; *p; p++)
    hash = (hash ^ *p) * 0x100000001B3ull;
  return hash ? hash : 1;
}

// The slot of hash: its own or the free one where it would go.
uint32_t slot_of(const NameTable *table, uint64_t hash) {
  uint32_t slot = (uint32_t)hash & table->mask;
  while (table->hashes[slot] && table->hashes[slot] != hash) slot = (slot + 1) & table->mask;
  return slot;
}

// Allocates the slots for size (a power of two) names, all free.
bool make_slots(NameTable *table, uint32_t size) {
  table->hashes = (uint64_t *)zone_alloc(size * sizeof(uint64_t));
  table->indexes = (uint32_t *)zone_alloc(size * sizeof(uint32_t));
  table->mask = size - 1;
  table->count = 0;
  if (!table->hashes || !table->indexes) {
    name_table_free(table);
    return false;
  }
  memset(table->hashes, 0, size * sizeof(uint64_t));
  return true;
}

void put(NameTable *table, uint64_t hash, uint32_t index) {
  uint32_t slot = slot_of(table, hash);
  if (table->hashes[slot]) return;
  table->hashes[slot] = hash;
  table->indexes[slot] = index;
  table->count++;
}

bool grow(NameTable *table) {
  NameTable grown;
  if (table->mask >= 0x3FFFFFFFu || !make_slots(&grown, (table->mask + 1) * 2)) return false;
  for (uint32_t slot = 0; slot <= table->mask; slot++)
    if (table->hashes[slot]) put(&grown, table->hashes[slot], table->indexes[slot]);
  name_table_free(table);
  *table = grown;
  return true;
}

}  // namespace

bool name_table_make(NameTable *table, uint32_t count) {
  uint32_t size = 16;
  while (size < count * 2u && size < 0x40000000u) size *= 2;
  return make_slots(table, size);
}

bool name_table_add(NameTable *table, const char *name, uint32_t index) {
  if (table->count * 2 >= table->mask && !grow(table)) return false;
  put(table, name_hash(name), index);
  return true;
}

uint32_t name_table_find(const NameTable *table, const char *name) {
  uint64_t hash = name_hash(name);
  uint32_t slot = slot_of(table, hash);
  return table->hashes[slot] ? table->indexes[slot] : 0;
}

void name_table_free(NameTable *table) {
  table->hashes = (uint64_t *)zone_free(table->hashes);
  table->indexes = (uint32_t *)zone_free(table->indexes);
  table->mask = 0;
  table->count = 0;
}
