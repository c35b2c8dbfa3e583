// The entries of one unit in tree order: procedures become frames and entries, globals
// and statics entries, frame-relative locals and parameters members of the frame of
// their procedure. A local whose place is a register or a location list is left out:
// the store would show it at a wrong place.
#include <string.h>

#include "plugins/dwarfread/dwarf_kinds.h"
#include "plugins/dwarfread/dwarf_lists.h"
#include "plugins/dwarfread/dwarf_state.h"

namespace {

// What the entries below a tree level belong to.
struct Level {
  DebugType frame;  // the procedure whose locals they are, or null
  bool has_ebp;     // the procedure keeps its frame in EBP
  bool has_base;    // and its frame base is known as an offset from EBP
  int32_t base;
  uint32_t scope;   // a scope this level opened, or UINT32_MAX
};

enum Place { PLACE_NONE, PLACE_ADDRESS, PLACE_FRAME, PLACE_EBP };

// Where a location expression puts a variable: only a single operation of the forms the
// frame and the entry store can hold.
Place read_place(const DwarfUnit *unit, const DwarfValue *location, uint64_t *value) {
  if (!location || location->kind != VALUE_BLOCK) return PLACE_NONE;
  ByteCursor c = location->block;
  uint8_t op = cursor_u8(&c);
  Place place = PLACE_NONE;
  if (op == OP_addr) {
    *value = dwarf_fixed(&c, unit->address_size);
    place = PLACE_ADDRESS;
  } else if (op == OP_fbreg || op == OP_breg5) {
    *value = (uint64_t)dwarf_sleb(&c);
    place = op == OP_fbreg ? PLACE_FRAME : PLACE_EBP;
  }
  return c.ok && c.offset == c.size ? place : PLACE_NONE;
}

// Where EBP holds the procedure's frame: from behind its push ebp / mov ebp, esp to its
// closing leave or pop ebp before a ret. False when it does not open that way (an
// optimised procedure that keeps no frame pointer): its locals are not placed then.
bool frame_body(const DwarfState *state, uint64_t low, uint64_t high, uint64_t *start,
                uint64_t *end) {
  ByteCursor code = dwarf_code(state, low, 3);
  const uint8_t *b = cursor_take(&code, 3);
  if (!b || b[0] != 0x55 || !((b[1] == 0x89 && b[2] == 0xE5) || (b[1] == 0x8B && b[2] == 0xEC)))
    return false;
  *start = low + 3;
  *end = high;
  // ret, or ret n with its two operand bytes, behind the instruction that restores EBP.
  static const uint64_t kRetSizes[] = {1, 3};
  for (uint64_t ret_size : kRetSizes) {
    if (high - low < 3 + ret_size + 1) continue;
    code = dwarf_code(state, high - ret_size - 1, 2);
    const uint8_t *tail = cursor_take(&code, 2);
    if (tail && (tail[0] == 0xC9 || tail[0] == 0x5D) && tail[1] == (ret_size == 1 ? 0xC3 : 0xC2))
      *end = high - ret_size;
  }
  return *start < *end;
}

// The frame base as an offset from EBP: EBP plus a constant, or the call frame address,
// which lies 8 bytes above EBP in the frame's body. A list (as strict DWARF 2 writes it)
// gives the base that holds over the longest part of the procedure, its body.
bool frame_base(DwarfState *state, const DwarfDie *die, uint64_t unit_base, int32_t *base) {
  const DwarfValue *v = dwarf_attribute(die, AT_frame_base);
  if (!v) return false;
  ByteCursor c = v->block;
  if (v->kind != VALUE_BLOCK) {
    uint64_t longest = 0;
    c.ok = false;
    dwarf_walk_list(state, v, true, unit_base, [&](uint64_t start, uint64_t end, ByteCursor e) {
      if (end - start > longest) longest = end - start, c = e;
    });
    if (!c.ok) return false;
  }
  uint8_t op = cursor_u8(&c);
  if (op == OP_reg5)
    *base = 0;
  else if (op == OP_breg5)
    *base = (int32_t)dwarf_sleb(&c);
  else if (op == OP_call_frame_cfa)
    *base = 8;
  else
    return false;
  return c.ok && c.offset == c.size;
}

// The address range of a procedure: low_pc with high_pc as an address or a length, or
// the first of its ranges.
bool code_range(DwarfState *state, const DwarfDie *die, uint64_t base, uint64_t *low,
                uint64_t *high) {
  if (dwarf_die_number(state, die, AT_low_pc, low)) {
    const DwarfValue *h = dwarf_attribute(die, AT_high_pc);
    if (!h || !dwarf_number(&state->sections, &state->unit, h, high)) return false;
    if (h->kind == VALUE_CONSTANT || h->kind == VALUE_SIGNED) *high += *low;
    return *low < *high;
  }
  // The first range is the procedure's entry part when the compiler split it.
  const DwarfValue *ranges = dwarf_attribute(die, AT_ranges);
  bool found = false;
  if (ranges)
    dwarf_walk_list(state, ranges, false, base, [&](uint64_t start, uint64_t end, ByteCursor) {
      if (!found) *low = start, *high = end;
      found = true;
    });
  return found;
}

DebugSource declared_in(const DwarfState *state, const DwarfDie *die) {
  uint64_t file = 0;
  if (!dwarf_die_number(state, die, AT_decl_file, &file)) {
    DwarfDie origin;
    if (!dwarf_named_origin(state, die, &origin) ||
        !dwarf_die_number(state, &origin, AT_decl_file, &file))
      return nullptr;
  }
  return file < state->source_count ? state->sources[file] : nullptr;
}

// The type of a definition, else of the declaration it completes.
DebugType declared_type(DwarfState *state, const DwarfDie *die) {
  if (dwarf_attribute(die, AT_type)) return dwarf_type_of(state, die, nullptr);
  DwarfDie origin;
  return dwarf_named_origin(state, die, &origin) ? dwarf_type_of(state, &origin, nullptr)
                                                 : nullptr;
}

Level define_procedure(DwarfState *state, const DwarfDie *die, uint64_t base) {
  Level level = {nullptr, false, false, 0, UINT32_MAX};
  uint64_t low = 0, high = 0;
  char name[DWARF_NAME_SIZE];
  if (dwarf_attribute(die, AT_declaration) || !code_range(state, die, base, &low, &high)) return level;
  dwarf_qualified_name(state, die, name);
  uint32_t entry = dwarf_address(state, low);
  uint64_t body_start = low, body_end = high;
  level.has_ebp = frame_body(state, low, high, &body_start, &body_end);
  level.has_base = level.has_ebp && frame_base(state, die, base, &level.base);
  uint32_t start = dwarf_address(state, body_start), last = dwarf_address(state, body_end - 1);
  if (!name[0] || !entry || !start || !last) return level;
  const DebugApi *api = state->api;
  DebugType function = api->define_function(nullptr, declared_type(state, die), 0);
  // Without a frame in EBP the frame covers nothing: no local is placed against EBP.
  level.frame = api->define_frame(name, function, start, level.has_ebp ? last + 1 : start);
  api->define_entry(name, entry, level.frame, declared_in(state, die));
  state->counts.procedures++;
  return level;
}

void define_variable(DwarfState *state, const DwarfDie *die, const Level *level) {
  if (dwarf_attribute(die, AT_declaration)) return;
  const DwarfValue *location = dwarf_attribute(die, AT_location);
  if (!location) return;  // optimised away, or defined elsewhere
  uint64_t value = 0;
  Place place = read_place(&state->unit, location, &value);
  char name[DWARF_NAME_SIZE];
  dwarf_qualified_name(state, die, name);
  if (!name[0]) return;
  const DebugApi *api = state->api;
  if (place == PLACE_ADDRESS) {
    uint32_t address = dwarf_address(state, value);
    if (!address) return;
    api->define_entry(name, address, declared_type(state, die), declared_in(state, die));
    state->counts.data++;
    return;
  }
  if (!level->frame) return;
  if (place == PLACE_NONE || !level->has_ebp || (place == PLACE_FRAME && !level->has_base)) {
    state->counts.locals_left_out++;
    return;
  }
  int32_t shift = (int32_t)value + (place == PLACE_FRAME ? level->base : 0);
  api->define_member(level->frame, name, shift, declared_type(state, die));
  state->counts.locals++;
}

// Defines what the entry stands for; the level its children belong to.
Level visit(DwarfState *state, const DwarfDie *die, const Level *parent, uint64_t base) {
  Level level = *parent;
  level.scope = UINT32_MAX;
  switch (die->abbrev->tag) {
    case TAG_subprogram:
      return define_procedure(state, die, base);
    case TAG_inlined_subroutine:
      // Its locals are placed against the frame of the procedure it was inlined into,
      // under names of its own: they are left out.
      level.frame = nullptr;
      return level;
    case TAG_variable:
    case TAG_formal_parameter:
      define_variable(state, die, parent);
      return level;
    case TAG_structure_type:
    case TAG_class_type:
    case TAG_union_type:
    case TAG_enumeration_type:
      if (dwarf_attribute(die, AT_name) && !dwarf_attribute(die, AT_declaration))
        dwarf_type(state, die->offset, nullptr);
      if (die->abbrev->tag != TAG_enumeration_type && die->abbrev->children)
        level.scope = dwarf_open_scope(state, die);
      return level;
    case TAG_namespace:
      if (die->abbrev->children) level.scope = dwarf_open_scope(state, die);
      return level;
    default:
      return level;
  }
}

}  // namespace

void dwarf_walk_unit(DwarfState *state) {
  const DwarfUnit *unit = &state->unit;
  ByteCursor c = cursor_window(&state->sections.info, 0, (size_t)unit->end);
  cursor_seek(&c, (size_t)unit->dies);
  DwarfDie root;
  if (!dwarf_read_die(&c, unit, &root) || !root.abbrev) return;
  uint64_t base = 0;
  dwarf_die_number(state, &root, AT_low_pc, &base);
  Level levels[DWARF_MAX_DEPTH];
  levels[0] = Level{nullptr, false, false, 0, UINT32_MAX};
  // Entries nested deeper than the levels are read past without being defined.
  int depth = 0, hidden = 0;
  if (!root.abbrev->children) return;
  DwarfDie die;
  while (c.offset < unit->end) {
    if (!dwarf_read_die(&c, unit, &die)) {
      state->api->printf("DWARF: damaged entry at %08X\n", (unsigned)die.offset);
      state->counts.damaged++;
      return;
    }
    if (!die.abbrev) {
      if (hidden) {
        hidden--;
        continue;
      }
      if (depth == 0) return;
      dwarf_close_scope(state, levels[depth].scope, c.offset);
      depth--;
      continue;
    }
    if (hidden || depth + 1 == DWARF_MAX_DEPTH) {
      if (die.abbrev->children) hidden++;
      continue;
    }
    Level level = visit(state, &die, &levels[depth], base);
    if (die.abbrev->children) levels[++depth] = level;
  }
}
