// The two type maps of a debug-information load: the CodeView primitive types (a fixed
// table of base types and near pointers to them) and the types the load defines, slot
// by slot from index 0x1000 up. Shared by the CodeView and the Borland readers.
#pragma once
#include <stdint.h>

#include "plugins/common/debug_api.h"

enum {
  TYPE_PRIMITIVE_SLOTS = 0x480,
  TYPE_FIRST_DEFINED = 0x1000,
  TYPE_GROW_STEP = 256,
};

struct TypeMap {
  DebugType primitive[TYPE_PRIMITIVE_SLOTS];
  DebugType *defined;  // zone block of slot_count slots, index - TYPE_FIRST_DEFINED
  uint32_t slot_count;
};

// Clears the map and fills the primitive slots through the api's get_type and
// define_pointer.
void type_map_init(TypeMap *map, const DebugApi *api);
// Stores type under a defined index, growing the slots in steps of TYPE_GROW_STEP;
// false for an index below TYPE_FIRST_DEFINED. Inline: every record of a walk stores its
// type, and the slots seldom grow.
bool type_map_grow_store(TypeMap *map, uint32_t index, DebugType type);
inline bool type_map_store(TypeMap *map, uint32_t index, DebugType type) {
  if (index < TYPE_FIRST_DEFINED || index - TYPE_FIRST_DEFINED >= map->slot_count)
    return type_map_grow_store(map, index, type);
  map->defined[index - TYPE_FIRST_DEFINED] = type;
  return true;
}
// The type of an index: a defined slot from TYPE_FIRST_DEFINED up (null when beyond the
// slots or not yet defined), a primitive slot below TYPE_PRIMITIVE_SLOTS, else null.
// Inline: the walks resolve every type index they read.
inline DebugType type_map_resolve(const TypeMap *map, uint32_t index) {
  if (index >= TYPE_FIRST_DEFINED) {
    uint32_t slot = index - TYPE_FIRST_DEFINED;
    return slot < map->slot_count ? map->defined[slot] : nullptr;
  }
  return index < TYPE_PRIMITIVE_SLOTS ? map->primitive[index] : nullptr;
}
void type_map_free(TypeMap *map);
