// What a run of symbol records defines, the same way in the CodeView and the Borland
// data: procedures become frames and entries, their stack-relative locals the frame's
// members; data, publics and thunks become entries. Each reader keeps its own record
// layouts, how it names and types a record, and its own rules before a definition.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "plugins/common/leaf_index.h"
#include "plugins/common/leaf_read.h"
#include "symbols/byte_cursor.h"

enum SymbolAction {
  SYMBOL_OBJECT,     // read for its name only
  SYMBOL_LOCAL,      // a member of the current frame
  SYMBOL_DATA,       // an entry
  SYMBOL_PUBLIC,     // the same, counted apart
  SYMBOL_PROCEDURE,  // a frame and an entry; the frame becomes current
  SYMBOL_THUNK,      // an entry without type or source
  SYMBOL_REFERENCE,  // followed by a length-prefixed name outside its length
};

// Where a symbol kind's fields lie, in bytes from the record's start including its
// length WORD; 0 where the kind has no such field (type_width 0: no type).
struct SymbolLayout {
  uint16_t kind;
  SymbolAction action;
  uint8_t type_at, type_width, offset_at, segment_at, name_at, start_at, end_at;
};

// What the symbol and line walks of a load defined, for tests and fuzzing.
struct DefinitionCounts {
  uint32_t procedures, locals, data, publics, thunks, sources, line_pairs;
};

// The definition state of a load: the source of the module being read (entries carry
// it) and the frame of the last procedure of the current run (locals join it).
struct SymbolWalk {
  const DebugApi *api;
  DefinitionCounts *counts;
  // Data and publics at address 0 lie outside the module: a format that writes such
  // records for absent sections leaves them out.
  bool unplaced_dropped;
  DebugSource current_source;
  DebugType current_frame;
};

// The records of one run that have a layout, in order. Unknown kinds are passed over,
// and a reference also steps over the padded name behind it.
struct SymbolRun {
  const SymbolLayout *layouts;
  const LeafIndex *index;  // of layouts by kind
  ByteCursor bytes;
  size_t next;        // where the next record starts
  size_t least_left;  // a record starts only where this many bytes remain, 4 at least
};

// Starts a run whose first record is at first: no procedure is open yet, so locals
// before the first one are dropped.
inline SymbolRun symbol_run(SymbolWalk *walk, const SymbolLayout *layouts, const LeafIndex *index,
                            ByteCursor bytes, size_t first, size_t least_left) {
  walk->current_frame = nullptr;
  return SymbolRun{layouts, index, bytes, first, least_left};
}

// Where the record after the one at start (length bytes with its length WORD) begins: a
// reference is followed by its padded name. layout is null for a kind without one.
inline size_t symbol_record_next(const ByteCursor *bytes, size_t start, size_t length,
                                 const SymbolLayout *layout) {
  size_t next = start + length;
  // The name behind a reference is padded: (length / 4) * 4 + 4 bytes.
  if (layout && layout->action == SYMBOL_REFERENCE && next < bytes->size)
    next += (size_t)(bytes->data[next] / 4) * 4 + 4;
  return next;
}
// The next record that has a layout and lies inside the run: its window and its layout;
// null at the end of the run.
const SymbolLayout *symbol_run_next(SymbolRun *run, ByteCursor *record);

// The type index of a record; false for a kind without a type.
inline bool symbol_type_index(const SymbolLayout *layout, const ByteCursor *record,
                              uint32_t *index) {
  *index = layout->type_width ? record_field(record, layout->type_at, layout->type_width) : 0;
  return layout->type_width != 0;
}
// The address a record names in the module, 0 for a kind without one.
uint32_t symbol_address(const SymbolWalk *walk, const SymbolLayout *layout,
                        const ByteCursor *record);
// Defines what the record stands for under name, with the type the reader found for it,
// and counts it. The address of the entry it defined, 0 for none.
uint32_t symbol_define(SymbolWalk *walk, const SymbolLayout *layout, const ByteCursor *record,
                       const char *name, DebugType type);
