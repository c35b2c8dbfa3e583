#include "plugins/common/type_map.h"

#include <string.h>

#include "util/zone.h"

namespace {

struct PrimitiveRow {
  uint16_t index;
  const char *name;
};

// Every base type also has a 32-bit near pointer at index | 0x400.
const PrimitiveRow kPrimitives[] = {
    {0x0003, "void"},   {0x0010, "char"}, {0x0011, "short"}, {0x0012, "long"},  {0x0013, "quad"},
    {0x0020, "byte"},   {0x0021, "word"}, {0x0022, "dword"}, {0x0023, "qword"}, {0x0040, "float"},
    {0x0041, "double"}, {0x0070, "char"}, {0x0071, "short"}, {0x0074, "long"},  {0x0075, "dword"},
};
const uint16_t kNearPointer = 0x0400;

}  // namespace

void type_map_init(TypeMap *map, const DebugApi *api) {
  memset(map, 0, sizeof *map);
  for (const PrimitiveRow &row : kPrimitives) {
    DebugType base = api->get_type(row.name);
    map->primitive[row.index] = base;
    map->primitive[row.index | kNearPointer] = api->define_pointer(base);
  }
}

bool type_map_grow_store(TypeMap *map, uint32_t index, DebugType type) {
  if (index < TYPE_FIRST_DEFINED) return false;
  uint32_t slot = index - TYPE_FIRST_DEFINED;
  if (slot >= map->slot_count) {
    uint32_t count = (slot / TYPE_GROW_STEP + 1) * TYPE_GROW_STEP;
    DebugType *grown = (DebugType *)zone_resize(map->defined, count * sizeof(DebugType));
    if (!grown) return false;
    memset(grown + map->slot_count, 0, (count - map->slot_count) * sizeof(DebugType));
    map->defined = grown;
    map->slot_count = count;
  }
  map->defined[slot] = type;
  return true;
}

void type_map_free(TypeMap *map) {
  map->defined = (DebugType *)zone_free(map->defined);
  map->slot_count = 0;
}
