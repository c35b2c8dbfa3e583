// The global type section: a DWORD of flags, the DWORD type count and one DWORD offset per
// type; index 0x1000 + i is the i-th record. Every record is registered first, then the
// records are visited in index order, so a reference to a later index resolves to null
// (void) at that moment.
#include "plugins/common/type_walk.h"
#include "plugins/tdsread/tds_state.h"

namespace {

// Where a type record's fields lie, from the record's start (0: not used).
struct TypeLayout {
  uint16_t leaf;
  TypeAction action;
  uint8_t target_at, size_at, count_at, list_at, name_at, call_at;
};
constexpr TypeLayout kTypes[] = {
    {0x0002, TYPE_POINTER, 6, 0, 0, 0, 0, 0},     // LF_POINTER: attribute first
    {0x0003, TYPE_ARRAY, 4, 16, 0, 0, 0, 0},      // LF_ARRAY: element, index type, name
    {0x0004, TYPE_STRUCTURE, 0, 0, 4, 6, 24, 0},  // LF_CLASS
    {0x0005, TYPE_STRUCTURE, 0, 0, 4, 6, 24, 0},  // LF_STRUCTURE
    {0x0006, TYPE_STRUCTURE, 0, 0, 4, 6, 16, 0},  // LF_UNION
    {0x0008, TYPE_PROCEDURE, 4, 0, 0, 0, 0, 8},   // LF_PROCEDURE
};

// Members name themselves by a name-table index, not by a name after their numerics.
constexpr MemberLayout kMembers[] = {
    {0x0400, MEMBER_SKIP, 8, 1, false, 0, 0},     // LF_BCLASS
    {0x0401, MEMBER_SKIP, 12, 2, false, 0, 0},    // LF_VBCLASS
    {0x0402, MEMBER_SKIP, 12, 2, false, 0, 0},    // LF_IVBCLASS
    {0x0405, MEMBER_INDEX, 6, 0, false, 2, 4},    // LF_INDEX: the list goes on elsewhere
    {0x0406, MEMBER_DATA, 16, 1, false, 2, 4},    // LF_MEMBER: type, attribute, name, offset
    {0x0407, MEMBER_SKIP, 12, 0, false, 0, 0},    // LF_STMEMBER
    {0x0408, MEMBER_SKIP, 12, 0, false, 0, 0},    // LF_METHOD
    {0x0409, MEMBER_SKIP, 12, 0, false, 0, 0},    // LF_NESTTYPE
    {0x040A, MEMBER_SKIP, 8, 0, false, 0, 0},     // LF_VFUNCTAB
    {0x040C, MEMBER_METHOD, 12, 0, false, 0, 0},  // LF_ONEMETHOD
};
constexpr LeafIndex kTypeIndex = leaf_index(kTypes, &TypeLayout::leaf);
constexpr LeafIndex kMemberIndex = leaf_index(kMembers, &MemberLayout::leaf);
const size_t kMemberNameAt = 8;

// The records of the section and the budget of its field-list walks.
struct TypeSection {
  TypeRecords records;
  WalkBudget budget;
};

// Reads exactly count members of the field list from its byte 4; zero words and padding
// are not members, an LF_INDEX continues in the record it names. A leaf the walk does not
// know ends it, keeping what was read.
void walk_field_list(TdsState *state, TypeSection *section, const ByteCursor *list, uint32_t count,
                     DebugType strukt) {
  ByteCursor c = *list;
  cursor_seek(&c, 4);
  // A member item is taken from the budget as one byte, the least it can be.
  for (uint32_t read = 0; read < count && c.ok && walk_budget_take(&section->budget, 1);) {
    if (field_list_padding(&c)) continue;
    size_t start = c.offset;
    uint16_t leaf = cursor_u16(&c);
    if (leaf == 0) continue;
    const MemberLayout *layout = find_row(kMembers, kMemberIndex, leaf);
    if (!layout || !c.ok) return;
    ByteCursor member = cursor_window(&c, start, c.size - start);
    if (layout->action == MEMBER_INDEX) {
      const ByteCursor *next =
          type_record(&section->records, record_field(&member, layout->type_at, layout->width));
      if (!next) return;
      c = *next;
      cursor_seek(&c, 4);
      continue;
    }
    uint32_t offset = 0;
    if (!member_fields(&c, start, layout, &offset) || !c.ok) return;
    read++;
    if (layout->action != MEMBER_DATA) continue;
    char name[LEAF_NAME_SIZE];
    tds_name(state, record_field(&member, kMemberNameAt, 4), name, false);
    DebugType type =
        type_map_resolve(&state->map, record_field(&member, layout->type_at, layout->width));
    state->api->define_member(strukt, name, (int)offset, type);
  }
}

// Defines the type of one record; null for leaves that define nothing.
DebugType define_record(TdsState *state, TypeSection *section, uint32_t index,
                        const ByteCursor *record) {
  const TypeLayout *layout = find_row(kTypes, kTypeIndex, (uint16_t)record_field(record, 2, 2));
  if (!layout) return nullptr;
  const DebugApi *api = state->api;
  DebugType target = layout->target_at
                         ? type_map_resolve(&state->map, record_field(record, layout->target_at, 4))
                         : nullptr;
  switch (layout->action) {
    case TYPE_POINTER:
      return api->define_pointer(target);
    case TYPE_ARRAY: {
      ByteCursor c = *record;
      cursor_seek(&c, layout->size_at);
      return api->define_array(target, leaf_numeric(&c));
    }
    case TYPE_STRUCTURE: {
      char name[LEAF_NAME_SIZE];
      tds_name(state, record_field(record, layout->name_at, 4), name, false);
      // The record's own size is not read: Borland structures all report 1.
      DebugType strukt = api->define_struct(name, 1);
      // Stored before its members are read: a member may point back to it.
      type_map_store(&state->map, index, strukt);
      uint32_t count = record_field(record, layout->count_at, 2);
      const ByteCursor *list =
          type_record(&section->records, record_field(record, layout->list_at, 4));
      if (list && count) walk_field_list(state, section, list, count, strukt);
      return strukt;
    }
    case TYPE_PROCEDURE:
      return api->define_function(nullptr, target, (int)record_field(record, layout->call_at, 1));
    case TYPE_ENUM:  // Borland enumerations have no row: they define nothing
    case TYPE_ALIAS:
      break;
  }
  return nullptr;
}

}  // namespace

void tds_read_types(TdsState *state, ByteCursor section) {
  if (state->types_read) return;  // one type section per load
  state->types_read = true;
  ByteCursor c = section;
  cursor_u32(&c);  // flags
  uint32_t count = cursor_u32(&c);
  if (!c.ok || !count) return;
  uint32_t fits = (uint32_t)((section.size - c.offset) / 4);
  if (count > fits) count = fits;
  TypeSection types = {{}, walk_budget(section.size)};
  if (!type_records_make(&types.records, count)) return;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t at = cursor_u32(&c);
    ByteCursor record = cursor_window(&section, at, 2);
    types.records.records[i] = cursor_window(&section, at, 2 + (size_t)cursor_u16(&record));
  }
  uint32_t index;
  while (const ByteCursor *record = type_records_next(&types.records, &index))
    type_records_store(&state->map, index, define_record(state, &types, index, record),
                       &state->counts.types);
  type_records_free(&types.records);
}
