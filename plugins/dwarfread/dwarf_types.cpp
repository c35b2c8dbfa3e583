// The types of a unit, defined when an entry first refers to them: typedefs and
// qualifiers stand for the type they name, references are pointers, bit fields are
// members without a type (the store has no bit-level member), arrays nest one level per
// dimension.
#include <stdio.h>
#include <string.h>

#include "plugins/dwarfread/dwarf_kinds.h"
#include "plugins/dwarfread/dwarf_state.h"
#include "util/zone.h"

namespace {

// Types nest this deep at most before the rest reads as void: a chain through forged
// entries cannot exhaust the stack.
const int kMaxTypeDepth = 24;
const int kMaxDimensions = 8;

// kq's base types by encoding and size.
struct BaseRow {
  bool is_float, is_signed;
  uint32_t size;
  const char *name;
};
const BaseRow kBases[] = {
    {false, true, 1, "char"},    {false, true, 2, "short"},  {false, true, 4, "long"},
    {false, true, 8, "quad"},    {false, false, 1, "byte"},  {false, false, 2, "word"},
    {false, false, 4, "dword"},  {false, false, 8, "qword"}, {true, true, 4, "float"},
    {true, true, 8, "double"},
};

DebugType base_type(const DebugApi *api, uint64_t encoding, uint32_t size) {
  bool is_float = encoding == ATE_float;
  bool is_signed = is_float || encoding == ATE_signed || encoding == ATE_signed_char;
  for (const BaseRow &row : kBases)
    if (row.is_float == is_float && row.is_signed == is_signed && row.size == size)
      return api->get_type(row.name);
  return nullptr;  // long double and wider: no base type of that size
}

DwarfTypeSlot *slot_of(DwarfState *state, uint64_t offset, bool add) {
  if (add && (state->type_count + 1) * 2 > state->type_capacity) {
    uint32_t capacity = state->type_capacity ? state->type_capacity * 2 : 1024;
    DwarfTypeSlot *grown = (DwarfTypeSlot *)zone_alloc(capacity * sizeof(DwarfTypeSlot));
    if (!grown) return nullptr;
    memset(grown, 0, capacity * sizeof(DwarfTypeSlot));
    DwarfTypeSlot *old = state->types;
    uint32_t old_capacity = state->type_capacity;
    state->types = grown;
    state->type_capacity = capacity;
    state->type_count = 0;
    for (uint32_t i = 0; i < old_capacity; i++)
      if (old[i].offset) *slot_of(state, old[i].offset, true) = old[i];
    zone_free(old);
  }
  if (!state->type_capacity) return nullptr;
  uint32_t mask = state->type_capacity - 1;
  for (uint32_t i = (uint32_t)(offset * 0x9E3779B1u) & mask;; i = (i + 1) & mask) {
    DwarfTypeSlot *slot = &state->types[i];
    if (slot->offset == offset) return slot;
    if (!slot->offset) {
      if (!add) return nullptr;
      slot->offset = offset;
      state->type_count++;
      return slot;
    }
  }
}

void store(DwarfState *state, uint64_t offset, DebugType type, uint32_t size) {
  DwarfTypeSlot *slot = slot_of(state, offset, true);
  if (slot) *slot = DwarfTypeSlot{offset, type, size};
}

// A member's offset: a constant, or an expression of DW_OP_plus_uconst alone.
bool member_offset(const DwarfState *state, const DwarfDie *die, uint64_t *offset) {
  const DwarfValue *v = dwarf_attribute(die, AT_data_member_location);
  if (!v) return false;
  if (v->kind != VALUE_BLOCK) return dwarf_number(&state->sections, &state->unit, v, offset);
  ByteCursor c = v->block;
  if (cursor_u8(&c) != OP_plus_uconst) return false;
  *offset = dwarf_uleb(&c);
  return c.ok && c.offset == c.size;
}

void define_members(DwarfState *state, const DwarfDie *parent, DebugType strukt, bool is_union);

// Calls visit for each child entry of parent (not their children).
template <class Visit>
void for_each_child(DwarfState *state, const DwarfDie *parent, Visit visit) {
  if (!parent->abbrev->children) return;
  ByteCursor c = cursor_window(&state->sections.info, 0, (size_t)state->unit.end);
  cursor_seek(&c, (size_t)parent->offset);
  DwarfDie die;
  if (!dwarf_read_die(&c, &state->unit, &die)) return;
  int depth = 0;
  while (dwarf_read_die(&c, &state->unit, &die)) {
    if (!die.abbrev) {
      if (depth-- == 0) return;
      continue;
    }
    if (depth == 0) visit(&die);
    if (die.abbrev->children) depth++;
  }
}

DebugType struct_type(DwarfState *state, const DwarfDie *die, uint32_t *out_size) {
  char name[DWARF_NAME_SIZE];
  dwarf_qualified_name(state, die, name);
  uint64_t size = 0;
  dwarf_die_number(state, die, AT_byte_size, &size);
  if (dwarf_attribute(die, AT_declaration)) size = 0;
  DebugType strukt = state->api->define_struct(name, (int)size);
  *out_size = (uint32_t)size;
  // Stored before the members: a member may point back to its structure.
  store(state, die->offset, strukt, *out_size);
  state->counts.types++;
  if (size) define_members(state, die, strukt, die->abbrev->tag == TAG_union_type);
  return strukt;
}

void define_members(DwarfState *state, const DwarfDie *parent, DebugType strukt, bool is_union) {
  for_each_child(state, parent, [&](const DwarfDie *member) {
    if (member->abbrev->tag != TAG_member || dwarf_attribute(member, AT_declaration)) return;
    const char *text = dwarf_die_text(state, member, AT_name);
    uint64_t offset = 0, bits = 0, bit_offset = 0;
    bool placed = member_offset(state, member, &offset) || is_union;
    uint64_t type_offset = 0;
    bool typed = dwarf_reference(&state->unit, dwarf_attribute(member, AT_type), &type_offset);
    char name[DWARF_NAME_SIZE];
    snprintf(name, sizeof name, "%s", text ? text : "");
    if (dwarf_die_number(state, member, AT_bit_size, &bits)) {
      // DWARF 4 and later count the field's first bit from the structure's start; DWARF 2
      // and 3 count from the top of the storage unit at the member's offset.
      if (dwarf_die_number(state, member, AT_data_bit_offset, &bit_offset)) {
        placed = true;
      } else if (dwarf_die_number(state, member, AT_bit_offset, &bit_offset)) {
        uint64_t storage = 0;
        if (!dwarf_die_number(state, member, AT_byte_size, &storage)) {
          uint32_t type_size = 0;
          if (typed) dwarf_type(state, type_offset, &type_size);
          storage = type_size;
        }
        bit_offset = offset * 8 + storage * 8 - bit_offset - bits;
      } else {
        bit_offset = offset * 8;
      }
      snprintf(name, sizeof name, "%s:%u", text ? text : "", (unsigned)bits);
      if (placed)
        state->api->define_member(strukt, name, (int)(bit_offset / 8), nullptr);
      return;
    }
    if (!placed) return;
    DebugType type = typed ? dwarf_type(state, type_offset, nullptr) : nullptr;
    state->api->define_member(strukt, name, (int)offset, type);
  });
}

DebugType array_type(DwarfState *state, const DwarfDie *die, uint32_t *out_size) {
  uint32_t element_size = 0;
  DebugType type = dwarf_type_of(state, die, &element_size);
  uint64_t counts[kMaxDimensions];
  int dimensions = 0;
  for_each_child(state, die, [&](const DwarfDie *range) {
    if (range->abbrev->tag != TAG_subrange_type || dimensions == kMaxDimensions) return;
    uint64_t count = 0, upper = 0;
    if (!dwarf_die_number(state, range, AT_count, &count) &&
        dwarf_die_number(state, range, AT_upper_bound, &upper) && upper < 0xffffffffu)
      count = upper + 1;
    counts[dimensions++] = count;
  });
  if (!dimensions) counts[dimensions++] = 0;
  uint64_t size = element_size;
  for (int i = dimensions; i-- > 0;) {
    size = size * counts[i];
    if (size > 0xffffffffu) size = 0;
    type = state->api->define_array(type, (uint32_t)size);
  }
  *out_size = (uint32_t)size;
  return type;
}

DebugType resolve(DwarfState *state, const DwarfDie *die, uint32_t *out_size) {
  const DebugApi *api = state->api;
  uint64_t size = 0;
  dwarf_die_number(state, die, AT_byte_size, &size);
  *out_size = (uint32_t)size;
  switch (die->abbrev->tag) {
    case TAG_base_type: {
      uint64_t encoding = 0;
      dwarf_die_number(state, die, AT_encoding, &encoding);
      return base_type(api, encoding, (uint32_t)size);
    }
    case TAG_pointer_type:
    case TAG_reference_type:
    case TAG_rvalue_reference_type:
      if (!size) *out_size = 4;
      return api->define_pointer(dwarf_type_of(state, die, nullptr));
    case TAG_const_type:
    case TAG_volatile_type:
    case TAG_restrict_type:
    case TAG_atomic_type:
    case TAG_typedef:
      return dwarf_type_of(state, die, out_size);
    case TAG_structure_type:
    case TAG_class_type:
    case TAG_union_type:
      return struct_type(state, die, out_size);
    case TAG_enumeration_type: {
      char name[DWARF_NAME_SIZE];
      dwarf_qualified_name(state, die, name);
      DebugType base = dwarf_attribute(die, AT_type) ? dwarf_type_of(state, die, nullptr)
                                                      : base_type(api, ATE_signed, (uint32_t)size);
      state->counts.types++;
      return api->define_enum(name, base);
    }
    case TAG_array_type:
      return array_type(state, die, out_size);
    case TAG_subroutine_type:
      *out_size = 4;
      state->counts.types++;
      return api->define_function(nullptr, dwarf_type_of(state, die, nullptr), 0);
    default:
      return nullptr;
  }
}

}  // namespace

DebugType dwarf_type(DwarfState *state, uint64_t offset, uint32_t *size) {
  if (size) *size = 0;
  const DwarfTypeSlot *slot = slot_of(state, offset, false);
  if (slot) {
    if (size) *size = slot->size;
    return slot->type;
  }
  DwarfDie die;
  if (state->type_depth >= kMaxTypeDepth || !dwarf_die_at(state, offset, &die) || !die.abbrev)
    return nullptr;
  // Marked before its parts are read: a chain that leads back here reads it as void.
  store(state, offset, nullptr, 0);
  state->type_depth++;
  uint32_t found = 0;
  DebugType type = resolve(state, &die, &found);
  state->type_depth--;
  store(state, offset, type, found);
  if (size) *size = found;
  return type;
}

DebugType dwarf_type_of(DwarfState *state, const DwarfDie *die, uint32_t *size) {
  uint64_t offset = 0;
  if (size) *size = 0;
  if (!dwarf_reference(&state->unit, dwarf_attribute(die, AT_type), &offset)) return nullptr;
  return dwarf_type(state, offset, size);
}

void dwarf_free_types(DwarfState *state) {
  state->types = (DwarfTypeSlot *)zone_free(state->types);
  state->type_capacity = state->type_count = 0;
}
