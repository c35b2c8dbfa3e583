// The per-call state of one DWARF load, shared by the parts of the reader; created at
// the start of a load and freed before it returns.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "plugins/common/symbol_walk.h"
#include "plugins/dwarfread/dwarf_data.h"
#include "symbols/pe_image.h"

// What a load found, for tests, fuzzing and the benchmark.
struct DwarfCounts : DefinitionCounts {
  uint32_t units, damaged, types, locals_left_out, coff_symbols;
};

// A type entry already defined (or being defined: then it reads as void), by its offset
// in .debug_info.
struct DwarfTypeSlot {
  uint64_t offset;  // 0: free (no entry lies at offset 0)
  DebugType type;
  uint32_t size;
};

// A finished namespace, class, structure or union: the entries between start and end lie
// inside it and are named with its qualified name in front.
struct DwarfScope {
  uint64_t start, end;
  uint32_t name;  // offset in the state's scope names
};

enum { DWARF_NAME_SIZE = 256, DWARF_MAX_DEPTH = 64 };

struct DwarfState {
  const DebugApi *api;
  PeImage image;
  DwarfSections sections;
  DwarfCounts counts;
  DwarfUnit unit;  // the unit being read
  const char *comp_dir;
  DwarfTypeSlot *types;  // zone block, a power of two of slots
  uint32_t type_capacity, type_count;
  int type_depth;  // how deep the type being defined has led
  DwarfScope *scopes;  // zone block, of the unit being read
  uint32_t scope_count;
  char *scope_names;  // zone block of NUL-terminated qualified names
  DebugSource *sources;  // zone block by the line table's file index
  uint32_t source_count;
  bool cancelled;  // the user stopped the load: no further unit is read
};

// The address kq gives an address of the image as linked; 0 outside its sections.
uint32_t dwarf_address(const DwarfState *state, uint64_t address);
// The code bytes at an address of the image, for up to length bytes; empty when none.
ByteCursor dwarf_code(const DwarfState *state, uint64_t address, size_t length);

// Reads the entry at offset of the unit being read; false when it lies outside it or is
// damaged.
bool dwarf_die_at(const DwarfState *state, uint64_t offset, DwarfDie *die);
const char *dwarf_die_text(const DwarfState *state, const DwarfDie *die, uint16_t name);
bool dwarf_die_number(const DwarfState *state, const DwarfDie *die, uint16_t name,
                      uint64_t *number);

// The type of the entry at offset, defined on first use; null (void) when it cannot be
// read. size gets its size in bytes when not null.
DebugType dwarf_type(DwarfState *state, uint64_t offset, uint32_t *size);
// The type an entry's type attribute names; void when it has none.
DebugType dwarf_type_of(DwarfState *state, const DwarfDie *die, uint32_t *size);
// The qualified name of the entry at offset (its scopes' names and its own, with "::"
// between them), cut to DWARF_NAME_SIZE; empty when it has no name.
void dwarf_qualified_name(DwarfState *state, const DwarfDie *die, char name[DWARF_NAME_SIZE]);
// The entry a definition stands for when it has no name of its own (its declaration or
// abstract origin); false when no name is found.
bool dwarf_named_origin(const DwarfState *state, const DwarfDie *die, DwarfDie *origin);
// Scopes are opened where their entry starts (the index is returned, UINT32_MAX when
// there is no memory) and closed where their children end.
uint32_t dwarf_open_scope(DwarfState *state, const DwarfDie *die);
void dwarf_close_scope(DwarfState *state, uint32_t index, uint64_t end);
void dwarf_free_types(DwarfState *state);
void dwarf_free_scopes(DwarfState *state);

// Defines the sources of the line program at offset of .debug_line, remembering them by
// file index for the unit's entries.
void dwarf_read_lines(DwarfState *state, uint64_t offset);
void dwarf_free_sources(DwarfState *state);
// Defines the procedures, globals, frames and types of the unit being read.
void dwarf_walk_unit(DwarfState *state);
// Defines the functions and globals of the COFF symbol table as entries.
void dwarf_define_coff_symbols(DwarfState *state);
