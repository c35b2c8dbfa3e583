// The per-call state of one Borland load, shared by the parts of the reader; created at
// the start of a load and freed before it returns.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "plugins/common/leaf_read.h"
#include "plugins/common/load_status.h"
#include "plugins/common/symbol_walk.h"
#include "plugins/common/type_map.h"
#include "symbols/byte_cursor.h"

// What a load found, for tests and the benchmark.
struct TdsCounts : DefinitionCounts {
  uint32_t subsections, names, types, renamed;
};

struct TdsState {
  const DebugApi *api;
  TypeMap map;
  ByteCursor names;   // the name subsection
  uint32_t *name_at;  // zone block: offset of name i + 1 in names
  uint32_t name_count;
  SymbolWalk walk;
  TdsCounts counts;
  bool types_read;
  bool cancelled;  // the user stopped the load: no further subsection is read
};

// The name of a 1-based index, copied into name (empty for 0 and unknown indexes); with
// at_signs, every percent sign becomes an at-sign, as entry names want.
void tds_name(const TdsState *state, uint32_t index, char name[LEAF_NAME_SIZE], bool at_signs);
void tds_at_signs(char *name);

void tds_read_names(TdsState *state, ByteCursor section);
void tds_read_types(TdsState *state, ByteCursor section);
void tds_read_lines(TdsState *state, ByteCursor section);
void tds_read_symbols(TdsState *state, ByteCursor section);
// The subsection directory of data that starts at its signature; the number of
// subsections read (0: no usable directory, logged).
uint32_t tds_read_directory(TdsState *state, ByteCursor data);
