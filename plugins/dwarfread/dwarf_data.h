// The DWARF data of one image, read through bounds-checked cursors: the sections, the
// unit headers, abbreviation tables and the attributes of each entry. Nothing read from
// the file is trusted; a value that does not fit leaves its cursor not ok.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/byte_cursor.h"

struct DwarfSections {
  ByteCursor info, abbrev, str, line_str, str_offsets, addr, ranges, rnglists, loc, loclists,
      line;
};

uint64_t dwarf_uleb(ByteCursor *c);
int64_t dwarf_sleb(ByteCursor *c);
// A little-endian value of width 1 to 8 bytes.
uint64_t dwarf_fixed(ByteCursor *c, int width);
// A unit or table length: 32-bit, or 0xffffffff and a 64-bit one (offset_size becomes 8).
uint64_t dwarf_length(ByteCursor *c, int *offset_size);

enum { DWARF_MAX_ATTRIBUTES = 64 };

struct DwarfAttributeSpec {
  uint16_t name, form;
  int64_t implicit;  // the value of an implicit_const form
};

struct DwarfAbbrev {
  uint32_t code;
  uint16_t tag;
  bool children;
  uint16_t count;
  uint32_t first;  // of its specs in the table's spec block
};

// One unit's abbreviations, sorted by code as compilers write them (looked up by
// binary search, else by a scan).
struct DwarfAbbrevTable {
  DwarfAbbrev *abbrevs;  // zone block
  uint32_t count;
  DwarfAttributeSpec *specs;  // zone block
  bool sorted;
};

// Reads the table at offset of .debug_abbrev; false with an empty table when it is
// damaged (a declaration that runs past the section, or more attributes than a real
// entry has).
bool dwarf_read_abbrevs(const DwarfSections *sections, uint64_t offset, DwarfAbbrevTable *table);
const DwarfAbbrev *dwarf_find_abbrev(const DwarfAbbrevTable *table, uint64_t code);
void dwarf_free_abbrevs(DwarfAbbrevTable *table);

struct DwarfUnit {
  uint64_t start;  // of the header in .debug_info
  uint64_t end;    // of the unit
  uint64_t dies;   // of the first entry
  int version, unit_type, offset_size, address_size;
  uint64_t abbrev_offset;
  uint64_t str_offsets_base, addr_base, rnglists_base, loclists_base;
  DwarfAbbrevTable abbrevs;
};

// Reads the header of the unit at offset; false when it is damaged or of a version
// outside 2 to 5 (*next is still set past it when its length is sound).
bool dwarf_read_unit(const DwarfSections *sections, uint64_t offset, DwarfUnit *unit,
                     uint64_t *next);

enum DwarfValueKind {
  VALUE_NONE,
  VALUE_ADDRESS,
  VALUE_BLOCK,
  VALUE_CONSTANT,
  VALUE_SIGNED,
  VALUE_TEXT,
  VALUE_STRP,
  VALUE_LINE_STRP,
  VALUE_STRX,
  VALUE_ADDRX,
  VALUE_REF_UNIT,
  VALUE_REF_SECTION,
  VALUE_SECTION_OFFSET,
  VALUE_LISTX,
  VALUE_PRESENT,
  VALUE_OTHER,
};

struct DwarfValue {
  DwarfValueKind kind;
  uint64_t number;   // constants, addresses, offsets, indexes
  ByteCursor block;  // blocks and expressions
  const char *text;  // inline strings
};

// Reads one value of form at c; false for an unknown form or one that overruns.
bool dwarf_read_form(ByteCursor *c, const DwarfUnit *unit, uint16_t form, int64_t implicit,
                     DwarfValue *value);

// The values of one entry's attributes that the reader uses, by attribute.
struct DwarfDie {
  uint64_t offset;  // in .debug_info
  const DwarfAbbrev *abbrev;
  uint16_t count;
  uint16_t names[DWARF_MAX_ATTRIBUTES];
  DwarfValue values[DWARF_MAX_ATTRIBUTES];
};

// Reads the entry at c (a null entry has no abbrev and ends a sibling list); false when
// its code is unknown or its attributes overrun the unit.
bool dwarf_read_die(ByteCursor *c, const DwarfUnit *unit, DwarfDie *die);
const DwarfValue *dwarf_attribute(const DwarfDie *die, uint16_t name);
// Resolved values: a text from any string form (null when absent or outside its section),
// a number (constants, addresses, addrx through .debug_addr), a reference as an offset
// in .debug_info.
const char *dwarf_text(const DwarfSections *sections, const DwarfUnit *unit,
                       const DwarfValue *value);
bool dwarf_number(const DwarfSections *sections, const DwarfUnit *unit, const DwarfValue *value,
                  uint64_t *number);
bool dwarf_reference(const DwarfUnit *unit, const DwarfValue *value, uint64_t *offset);
