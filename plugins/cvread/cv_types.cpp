// The type section: every record is registered first, then the records are visited in
// index order, so a reference to a later index resolves to null (void) at that moment.
#include <string.h>

#include "plugins/common/leaf_read.h"
#include "plugins/cvread/cv_state.h"
#include "util/zone.h"

namespace {

enum : uint16_t {
  LF_POINTER = 0x1002,
  LF_ARRAY = 0x1003,
  LF_CLASS = 0x1004,
  LF_STRUCTURE = 0x1005,
  LF_UNION = 0x1006,
  LF_ENUM = 0x1007,
  LF_PROCEDURE = 0x1008,
  LF_ENUMERATE = 0x0403,
  LF_MEMBER = 0x1405,
  LF_ONEMETHOD = 0x140B,
};
const uint8_t kPaddingFirst = 0xF0;

// The members of a field list: the fixed bytes from the member's start, how many numeric
// leaves follow, and whether a name follows them.
struct MemberLayout {
  uint16_t leaf;
  uint8_t fixed;
  uint8_t numerics;
  bool named;
};
const MemberLayout kMembers[] = {
    {0x1400, 8, 1, false},   // LF_BCLASS: attribute, type, offset
    {0x1401, 12, 2, false},  // LF_VBCLASS: attribute, two types, two offsets
    {0x1402, 12, 2, false},  // LF_IVBCLASS
    {LF_MEMBER, 8, 1, true}, // attribute, type, offset, name
    {0x1406, 8, 0, true},    // LF_STMEMBER: attribute, type, name
    {0x1407, 8, 0, true},    // LF_METHOD: count, method list, name
    {0x1408, 8, 0, true},    // LF_NESTTYPE: pad, type, name
    {0x1409, 8, 0, false},   // LF_VFUNCTAB: pad, type
    {LF_ONEMETHOD, 8, 0, true},  // attribute, type, [virtual offset], name
    {LF_ENUMERATE, 4, 1, true},  // attribute, value, name
};

const MemberLayout *member_layout(uint16_t leaf) {
  for (const MemberLayout &row : kMembers)
    if (row.leaf == leaf) return &row;
  return nullptr;
}

// Introducing virtual methods (method property 4 or 6) carry their vtable offset.
bool introduces_virtual(uint16_t attribute) {
  uint16_t property = (attribute >> 2) & 7;
  return property == 4 || property == 6;
}

uint16_t word_at(const ByteCursor *record, size_t at) {
  ByteCursor c = *record;
  cursor_seek(&c, at);
  return cursor_u16(&c);
}

uint32_t dword_at(const ByteCursor *record, size_t at) {
  ByteCursor c = *record;
  cursor_seek(&c, at);
  return cursor_u32(&c);
}

// A numeric leaf at `at`, and the name right after it.
uint32_t numeric_and_name(const ByteCursor *record, size_t at, char name[LEAF_NAME_SIZE]) {
  ByteCursor c = *record;
  cursor_seek(&c, at);
  uint32_t value = leaf_numeric(&c);
  leaf_name(&c, name, true);
  return value;
}

// The records of the section being read, by index - 0x1000, and where their types go.
struct TypeSection {
  CvTypes *types;
  ByteCursor *records;  // zone block: each record's window, or not ok when it overruns
  uint32_t count;
};

const ByteCursor *record_of(const TypeSection *section, uint32_t index) {
  if (index < TYPE_FIRST_DEFINED || index - TYPE_FIRST_DEFINED >= section->count)
    return nullptr;
  return &section->records[index - TYPE_FIRST_DEFINED];
}

// Walks a field list from its byte 4 to its end. For a structure each LF_MEMBER becomes
// a member of strukt; an enumeration's list only holds LF_ENUMERATE. A leaf
// the walk does not know ends it, keeping what was read.
void walk_field_list(const CvState *state, const TypeMap *map, const ByteCursor *list,
                     bool is_enum, DebugType strukt) {
  ByteCursor c = *list;
  cursor_seek(&c, 4);
  while (c.ok && c.offset + 2 < c.size) {
    uint8_t first = c.data[c.offset];
    if (first >= kPaddingFirst) {
      uint8_t skip = first & 0x0F;
      cursor_seek(&c, c.offset + (skip ? skip : 1));
      continue;
    }
    size_t start = c.offset;
    uint16_t leaf = cursor_u16(&c);
    const MemberLayout *layout = member_layout(leaf);
    if (!layout || is_enum != (leaf == LF_ENUMERATE)) return;
    uint16_t attribute = cursor_u16(&c);
    uint32_t member_type = cursor_u32(&c);
    size_t fixed = layout->fixed;
    if (leaf == LF_ONEMETHOD && introduces_virtual(attribute)) fixed += 4;
    if (!cursor_seek(&c, start + fixed)) return;
    uint32_t offset = 0;
    for (int i = 0; i < layout->numerics; i++) {
      uint32_t value = leaf_numeric(&c);
      if (i == 0) offset = value;
    }
    char name[LEAF_NAME_SIZE] = "";
    if (layout->named) leaf_name(&c, name, true);
    if (!c.ok) return;
    if (leaf == LF_MEMBER)
      state->api->define_member(strukt, name, (int)offset,
                                type_map_resolve(map, member_type));
  }
}

DebugType define_structure(const CvState *state, const TypeSection *section, uint32_t index,
                           const char *name, uint32_t size, uint32_t field_list) {
  DebugType strukt = state->api->define_struct(name, (int)size);
  type_map_store(&section->types->map, index, strukt);
  const ByteCursor *list = record_of(section, field_list);
  if (field_list && list) walk_field_list(state, &section->types->map, list, false, strukt);
  return strukt;
}

// Defines the type of one record; null for leaves that define nothing.
DebugType define_record(const CvState *state, const TypeSection *section, uint32_t index,
                        const ByteCursor *record) {
  const DebugApi *api = state->api;
  const TypeMap *map = &section->types->map;
  char name[LEAF_NAME_SIZE];
  switch (word_at(record, 2)) {
    case LF_POINTER:
      return api->define_pointer(type_map_resolve(map, dword_at(record, 4)));
    case LF_ARRAY: {
      uint32_t size = numeric_and_name(record, 12, name);
      return api->define_array(type_map_resolve(map, dword_at(record, 4)), size);
    }
    case LF_CLASS:
    case LF_STRUCTURE: {
      uint32_t size = numeric_and_name(record, 20, name);
      return define_structure(state, section, index, name, size, dword_at(record, 8));
    }
    case LF_UNION: {
      uint32_t size = numeric_and_name(record, 12, name);
      return define_structure(state, section, index, name, size, dword_at(record, 8));
    }
    case LF_ENUM: {
      ByteCursor c = *record;
      cursor_seek(&c, 16);
      leaf_name(&c, name, true);
      DebugType enumeration =
          api->define_enum(name, type_map_resolve(map, dword_at(record, 8)));
      const ByteCursor *list = record_of(section, dword_at(record, 12));
      if (list) walk_field_list(state, map, list, true, nullptr);
      return enumeration;
    }
    case LF_PROCEDURE: {
      ByteCursor c = *record;
      cursor_seek(&c, 8);
      int call = cursor_u8(&c);
      return api->define_function(nullptr, type_map_resolve(map, dword_at(record, 4)),
                                  call);
    }
  }
  return nullptr;
}

}  // namespace

void cv_read_types(CvState *state, CvTypes *types, ByteCursor records) {
  if (types->read) return;
  types->read = true;
  TypeSection section = {types, nullptr, 0};
  ByteCursor c = records;
  while (c.ok && c.size - c.offset >= 4) {
    cursor_seek(&c, c.offset + 2 + cursor_u16(&c));
    section.count++;
  }
  if (!section.count) return;
  section.records = (ByteCursor *)zone_alloc(section.count * sizeof(ByteCursor));
  if (!section.records) return;
  c = records;
  for (uint32_t i = 0; i < section.count; i++) {
    size_t start = c.offset;
    size_t length = 2 + (size_t)cursor_u16(&c);
    section.records[i] = cursor_window(&records, start, length);
    cursor_seek(&c, start + length);
  }
  for (uint32_t i = 0; i < section.count; i++) {
    const ByteCursor *record = &section.records[i];
    if (!record->ok) continue;
    DebugType type = define_record(state, &section, TYPE_FIRST_DEFINED + i, record);
    if (!type) continue;
    type_map_store(&types->map, TYPE_FIRST_DEFINED + i, type);
    state->counts.types++;
  }
  section.records = (ByteCursor *)zone_free(section.records);
}
