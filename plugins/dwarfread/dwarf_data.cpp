#include "plugins/dwarfread/dwarf_data.h"

#include <string.h>

#include "plugins/dwarfread/dwarf_kinds.h"
#include "util/zone.h"

namespace {

enum Layout {
  LAYOUT_NONE,
  LAYOUT_FIXED1,
  LAYOUT_FIXED2,
  LAYOUT_FIXED3,
  LAYOUT_FIXED4,
  LAYOUT_FIXED8,
  LAYOUT_FIXED16,
  LAYOUT_ULEB,
  LAYOUT_SLEB,
  LAYOUT_ADDRESS,
  LAYOUT_OFFSET,
  LAYOUT_REFADDR,
  LAYOUT_TEXT,
  LAYOUT_BLOCK1,
  LAYOUT_BLOCK2,
  LAYOUT_BLOCK4,
  LAYOUT_BLOCKU,
  LAYOUT_IMPLICIT,
  LAYOUT_INDIRECT,
};

struct FormRow {
  uint16_t code;
  Layout layout;
  DwarfValueKind kind;
};
const FormRow kForms[] = {
#define DWARF_FORM(name, code, layout, kind) {code, layout, kind},
#include "plugins/dwarfread/dwarf_forms.def"
#undef DWARF_FORM
};

const FormRow *form_row(uint16_t code) {
  for (const FormRow &row : kForms)
    if (row.code == code) return &row;
  return nullptr;
}

// A real entry has a few dozen attributes; an indirect form may name another indirect
// one only this often.
const int kIndirectDepth = 4;
// Abbreviation codes are small; one past this is taken as damage.
const uint64_t kMaxAbbrevCode = 1u << 24;

bool fixed_width(Layout layout, int *width) {
  static const int kWidths[] = {0, 1, 2, 3, 4, 8, 16};
  if (layout > LAYOUT_FIXED16) return false;
  *width = kWidths[layout];
  return true;
}

}  // namespace

uint64_t dwarf_uleb(ByteCursor *c) {
  uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    uint8_t byte = cursor_u8(c);
    if (!c->ok) return 0;
    if (shift < 64) value |= (uint64_t)(byte & 0x7f) << shift;
    if (!(byte & 0x80)) return value;
  }
}

int64_t dwarf_sleb(ByteCursor *c) {
  uint64_t value = 0;
  int shift = 0;
  uint8_t byte;
  do {
    byte = cursor_u8(c);
    if (!c->ok) return 0;
    if (shift < 64) value |= (uint64_t)(byte & 0x7f) << shift;
    shift += 7;
  } while (byte & 0x80);
  if (shift < 64 && (byte & 0x40)) value |= ~(uint64_t)0 << shift;
  return (int64_t)value;
}

uint64_t dwarf_fixed(ByteCursor *c, int width) {
  const uint8_t *p = cursor_take(c, (size_t)width);
  uint64_t value = 0;
  for (int i = width; p && i-- > 0;) value = value << 8 | p[i];
  return value;
}

uint64_t dwarf_length(ByteCursor *c, int *offset_size) {
  uint64_t length = cursor_u32(c);
  *offset_size = 4;
  if (length == 0xffffffffu) {
    *offset_size = 8;
    length = dwarf_fixed(c, 8);
  }
  return length;
}

bool dwarf_read_abbrevs(const DwarfSections *sections, uint64_t offset, DwarfAbbrevTable *table) {
  memset(table, 0, sizeof *table);
  ByteCursor c = sections->abbrev;
  if (offset > c.size || !cursor_seek(&c, (size_t)offset)) return false;
  // Each declaration and each attribute spec takes at least two bytes: the section bounds
  // how many there can be.
  size_t room = (c.size - c.offset) / 2 + 1;
  uint32_t capacity = 0, spec_capacity = 0, spec_count = 0;
  table->sorted = true;
  for (;;) {
    uint64_t code = dwarf_uleb(&c);
    if (!c.ok) break;
    if (!code) return true;
    uint16_t tag = (uint16_t)dwarf_uleb(&c);
    bool children = cursor_u8(&c) != 0;
    if (code > kMaxAbbrevCode || table->count >= room) break;
    if (table->count == capacity) {
      capacity = capacity ? capacity * 2 : 64;
      void *grown = zone_resize(table->abbrevs, capacity * sizeof(DwarfAbbrev));
      if (!grown) break;
      table->abbrevs = (DwarfAbbrev *)grown;
    }
    DwarfAbbrev *a = &table->abbrevs[table->count];
    *a = DwarfAbbrev{(uint32_t)code, tag, children, 0, spec_count};
    if (table->count && table->abbrevs[table->count - 1].code >= code) table->sorted = false;
    for (;;) {
      uint16_t name = (uint16_t)dwarf_uleb(&c);
      uint16_t form = (uint16_t)dwarf_uleb(&c);
      if (!c.ok || (!name && !form)) break;
      int64_t implicit = form == 0x21 ? dwarf_sleb(&c) : 0;
      if (a->count >= DWARF_MAX_ATTRIBUTES) c.ok = false;
      if (spec_count == spec_capacity) {
        spec_capacity = spec_capacity ? spec_capacity * 2 : 256;
        void *grown = zone_resize(table->specs, spec_capacity * sizeof(DwarfAttributeSpec));
        if (!grown) c.ok = false;
        if (grown) table->specs = (DwarfAttributeSpec *)grown;
      }
      if (!c.ok) break;
      table->specs[spec_count++] = DwarfAttributeSpec{name, form, implicit};
      a->count++;
    }
    if (!c.ok) break;
    table->count++;
  }
  dwarf_free_abbrevs(table);
  return false;
}

const DwarfAbbrev *dwarf_find_abbrev(const DwarfAbbrevTable *table, uint64_t code) {
  if (table->sorted) {
    uint32_t low = 0, high = table->count;
    while (low < high) {
      uint32_t mid = low + (high - low) / 2;
      if (table->abbrevs[mid].code < code)
        low = mid + 1;
      else
        high = mid;
    }
    return low < table->count && table->abbrevs[low].code == code ? &table->abbrevs[low]
                                                                   : nullptr;
  }
  for (uint32_t i = 0; i < table->count; i++)
    if (table->abbrevs[i].code == code) return &table->abbrevs[i];
  return nullptr;
}

void dwarf_free_abbrevs(DwarfAbbrevTable *table) {
  table->abbrevs = (DwarfAbbrev *)zone_free(table->abbrevs);
  table->specs = (DwarfAttributeSpec *)zone_free(table->specs);
  table->count = 0;
}

bool dwarf_read_unit(const DwarfSections *sections, uint64_t offset, DwarfUnit *unit,
                     uint64_t *next) {
  memset(unit, 0, sizeof *unit);
  ByteCursor c = sections->info;
  if (offset >= c.size || !cursor_seek(&c, (size_t)offset)) return false;
  uint64_t length = dwarf_length(&c, &unit->offset_size);
  if (!c.ok || length > c.size - c.offset) return false;
  unit->start = offset;
  unit->end = c.offset + length;
  *next = unit->end;
  unit->version = cursor_u16(&c);
  unit->unit_type = UT_compile;
  if (unit->version == 5) {
    unit->unit_type = cursor_u8(&c);
    unit->address_size = cursor_u8(&c);
    unit->abbrev_offset = dwarf_fixed(&c, unit->offset_size);
    if (unit->unit_type == UT_skeleton || unit->unit_type == UT_split_compile)
      cursor_take(&c, 8);  // unit id
    if (unit->unit_type == UT_type || unit->unit_type == UT_split_type)  // signature, type offset
      cursor_take(&c, 8 + (size_t)unit->offset_size);
  } else {
    unit->abbrev_offset = dwarf_fixed(&c, unit->offset_size);
    unit->address_size = cursor_u8(&c);
  }
  unit->dies = c.offset;
  // Tables of a unit that names no base of its own start behind an 8-byte header.
  unit->str_offsets_base = unit->addr_base = 8;
  return c.ok && c.offset <= unit->end && unit->version >= 2 && unit->version <= 5 &&
         (unit->address_size == 4 || unit->address_size == 8) &&
         dwarf_read_abbrevs(sections, unit->abbrev_offset, &unit->abbrevs);
}

bool dwarf_read_form(ByteCursor *c, const DwarfUnit *unit, uint16_t form, int64_t implicit,
                     DwarfValue *value) {
  const FormRow *row = form_row(form);
  for (int depth = 0; row && row->layout == LAYOUT_INDIRECT && depth < kIndirectDepth; depth++)
    row = form_row((uint16_t)dwarf_uleb(c));
  if (!row || row->layout == LAYOUT_INDIRECT) return false;
  *value = DwarfValue{row->kind, 0, ByteCursor{c->data, 0, 0, false}, nullptr};
  int width = 0;
  size_t block = 0;
  switch (row->layout) {
    case LAYOUT_ADDRESS:
      width = unit->address_size;
      break;
    case LAYOUT_OFFSET:
      width = unit->offset_size;
      break;
    case LAYOUT_REFADDR:
      width = unit->version == 2 ? unit->address_size : unit->offset_size;
      break;
    case LAYOUT_ULEB:
      value->number = dwarf_uleb(c);
      return c->ok;
    case LAYOUT_SLEB:
      value->number = (uint64_t)dwarf_sleb(c);
      return c->ok;
    case LAYOUT_IMPLICIT:
      value->number = (uint64_t)implicit;
      return true;
    case LAYOUT_TEXT:
      value->text = cursor_text_at(c, c->offset);
      if (value->text) cursor_take(c, strlen(value->text) + 1);
      return value->text != nullptr;
    case LAYOUT_BLOCK1:
    case LAYOUT_BLOCK2:
    case LAYOUT_BLOCK4:
      block = (size_t)dwarf_fixed(c, row->layout == LAYOUT_BLOCK1   ? 1
                                     : row->layout == LAYOUT_BLOCK2 ? 2
                                                                    : 4);
      break;
    case LAYOUT_BLOCKU:
      block = (size_t)dwarf_uleb(c);
      break;
    case LAYOUT_NONE:
      return true;
    default:
      if (!fixed_width(row->layout, &width)) return false;
      // A 16-byte value is stepped over: nothing the reader uses has one.
      if (width > 8) return cursor_take(c, (size_t)width) != nullptr;
  }
  if (row->kind == VALUE_BLOCK) {
    value->block = cursor_window(c, c->offset, block);
    return cursor_take(c, block) != nullptr;
  }
  value->number = dwarf_fixed(c, width);
  return c->ok;
}

bool dwarf_read_die(ByteCursor *c, const DwarfUnit *unit, DwarfDie *die) {
  die->offset = c->offset;
  die->abbrev = nullptr;
  die->count = 0;
  uint64_t code = dwarf_uleb(c);
  if (!c->ok) return false;
  if (!code) return true;
  die->abbrev = dwarf_find_abbrev(&unit->abbrevs, code);
  if (!die->abbrev) return false;
  const DwarfAttributeSpec *specs = unit->abbrevs.specs + die->abbrev->first;
  for (uint16_t i = 0; i < die->abbrev->count; i++) {
    if (!dwarf_read_form(c, unit, specs[i].form, specs[i].implicit, &die->values[i]))
      return false;
    die->names[i] = specs[i].name;
  }
  die->count = die->abbrev->count;
  return c->offset <= unit->end;
}

const DwarfValue *dwarf_attribute(const DwarfDie *die, uint16_t name) {
  for (uint16_t i = 0; i < die->count; i++)
    if (die->names[i] == name) return &die->values[i];
  return nullptr;
}

const char *dwarf_text(const DwarfSections *sections, const DwarfUnit *unit,
                       const DwarfValue *value) {
  if (!value) return nullptr;
  switch (value->kind) {
    case VALUE_TEXT:
      return value->text;
    case VALUE_STRP:
      return value->number < sections->str.size
                 ? cursor_text_at(&sections->str, (size_t)value->number)
                 : nullptr;
    case VALUE_LINE_STRP:
      return value->number < sections->line_str.size
                 ? cursor_text_at(&sections->line_str, (size_t)value->number)
                 : nullptr;
    case VALUE_STRX: {
      ByteCursor c = sections->str_offsets;
      uint64_t at = unit->str_offsets_base + value->number * (uint64_t)unit->offset_size;
      if (value->number > c.size || at > c.size || !cursor_seek(&c, (size_t)at)) return nullptr;
      uint64_t offset = dwarf_fixed(&c, unit->offset_size);
      return c.ok && offset < sections->str.size ? cursor_text_at(&sections->str, (size_t)offset)
                                                 : nullptr;
    }
    default:
      return nullptr;
  }
}

bool dwarf_number(const DwarfSections *sections, const DwarfUnit *unit, const DwarfValue *value,
                  uint64_t *number) {
  if (!value) return false;
  switch (value->kind) {
    case VALUE_CONSTANT:
    case VALUE_SIGNED:
    case VALUE_ADDRESS:
      *number = value->number;
      return true;
    case VALUE_ADDRX: {
      ByteCursor c = sections->addr;
      uint64_t at = unit->addr_base + value->number * (uint64_t)unit->address_size;
      if (value->number > c.size || at > c.size || !cursor_seek(&c, (size_t)at)) return false;
      *number = dwarf_fixed(&c, unit->address_size);
      return c.ok;
    }
    default:
      return false;
  }
}

bool dwarf_reference(const DwarfUnit *unit, const DwarfValue *value, uint64_t *offset) {
  if (!value) return false;
  if (value->kind == VALUE_REF_UNIT) {
    *offset = unit->start + value->number;
    return value->number < unit->end - unit->start;
  }
  *offset = value->number;
  return value->kind == VALUE_REF_SECTION;
}
