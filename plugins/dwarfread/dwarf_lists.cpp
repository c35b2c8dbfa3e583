#include "plugins/dwarfread/dwarf_lists.h"

namespace {

bool indexed_address(const DwarfState *state, ByteCursor *c, uint64_t *address) {
  DwarfValue index = {VALUE_ADDRX, dwarf_uleb(c), {}, nullptr};
  return c->ok && dwarf_number(&state->sections, &state->unit, &index, address);
}

}  // namespace

bool dwarf_list_start(DwarfState *state, const DwarfValue *value, bool locations,
                      ByteCursor *c) {
  const DwarfUnit *unit = &state->unit;
  const DwarfSections *s = &state->sections;
  bool v5 = unit->version >= 5;
  *c = v5 ? (locations ? s->loclists : s->rnglists) : (locations ? s->loc : s->ranges);
  uint64_t offset = value->number;
  if (value->kind == VALUE_LISTX) {
    // An index into the offsets that follow the unit's table header.
    uint64_t base = locations ? unit->loclists_base : unit->rnglists_base;
    ByteCursor table = *c;
    uint64_t at = base + offset * (uint64_t)unit->offset_size;
    if (offset > table.size || at > table.size || !cursor_seek(&table, (size_t)at)) return false;
    offset = base + dwarf_fixed(&table, unit->offset_size);
    if (!table.ok) return false;
  } else if (value->kind != VALUE_SECTION_OFFSET && value->kind != VALUE_CONSTANT) {
    return false;
  }
  return offset < c->size && cursor_seek(c, (size_t)offset);
}

bool dwarf_next_list_entry(DwarfState *state, ByteCursor *c, bool locations, uint64_t *base,
                           DwarfListEntry *entry) {
  const DwarfUnit *unit = &state->unit;
  int width = unit->address_size;
  uint64_t all_ones = width == 4 ? 0xffffffffu : ~(uint64_t)0;
  while (c->ok) {
    entry->expression = ByteCursor{c->data, 0, 0, false};
    uint64_t start = 0, end = 0;
    if (unit->version < 5) {
      start = dwarf_fixed(c, width);
      end = dwarf_fixed(c, width);
      if (!c->ok || (!start && !end)) return false;
      if (start == all_ones) {
        *base = end;
        continue;
      }
      start += *base;
      end += *base;
      if (locations) {
        uint16_t length = cursor_u16(c);
        entry->expression = cursor_window(c, c->offset, length);
        cursor_take(c, length);
      }
    } else {
      uint8_t kind = cursor_u8(c);
      // Range lists have no default entry: their kinds from 5 on are one lower.
      if (!locations && kind >= LIST_DEFAULT) kind++;
      switch (kind) {
        case LIST_END:
          return false;
        case LIST_BASE_INDEX:
          if (!indexed_address(state, c, base)) return false;
          continue;
        case LIST_INDEXES:
          if (!indexed_address(state, c, &start) || !indexed_address(state, c, &end)) return false;
          break;
        case LIST_INDEX_LENGTH:
          if (!indexed_address(state, c, &start)) return false;
          end = start + dwarf_uleb(c);
          break;
        case LIST_OFFSETS:
          start = *base + dwarf_uleb(c);
          end = *base + dwarf_uleb(c);
          break;
        case LIST_DEFAULT:  // holds where no other entry does: not a bounded one
          cursor_take(c, (size_t)dwarf_uleb(c));
          continue;
        case LIST_BASE:
          *base = dwarf_fixed(c, width);
          continue;
        case LIST_ADDRESSES:
          start = dwarf_fixed(c, width);
          end = dwarf_fixed(c, width);
          break;
        case LIST_ADDRESS_LENGTH:
          start = dwarf_fixed(c, width);
          end = start + dwarf_uleb(c);
          break;
        default:
          return false;
      }
      if (locations) {
        size_t length = (size_t)dwarf_uleb(c);
        entry->expression = cursor_window(c, c->offset, length);
        cursor_take(c, length);
      }
    }
    if (!c->ok) return false;
    if (start < end) {
      entry->start = start;
      entry->end = end;
      return true;
    }
  }
  return false;
}
