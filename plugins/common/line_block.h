// Line sections, as CodeView and Borland data share them: a WORD file count, a WORD
// segment count and one DWORD offset per file from the section's start. A file opens with
// its WORD block count and holds the DWORD offsets of its line blocks at a place of the
// format's own, next to its name. A line block is a WORD segment, a WORD pair count m,
// m DWORD offsets and m WORD line numbers.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "plugins/common/symbol_walk.h"
#include "symbols/byte_cursor.h"


struct LineFile {
  ByteCursor bytes;          // from the file's start to the end of the section
  ByteCursor block_offsets;  // not ok when they do not fit
};

// One source file's (address, line) pairs, gathered in two parallel zone arrays under a
// budget shared with the other files of the load. The arrays serve file after file and
// are freed with line_pairs_free.
struct LinePairs {
  uint16_t *lines;
  uint32_t *addresses;
  uint32_t count;
  uint32_t room;
  uint32_t *pairs_left;
};

// Room for count more pairs at lines + count and addresses + count; false (nothing
// taken) when they would exceed the budget or memory runs out.
bool line_pairs_reserve(LinePairs *pairs, uint32_t count);
// Defines the pairs as one source named name, counts it under walk and empties the pairs.
DebugSource line_pairs_define(LinePairs *pairs, SymbolWalk *walk, const char *name);
void line_pairs_free(LinePairs *pairs);

struct LineSection {
  ByteCursor bytes;
  ByteCursor file_offsets;
  uint32_t files_left;
  // Blocks may share bytes only in a forged file: no more pairs are taken than the
  // section could hold side by side (size / 6).
  uint32_t pairs_left;
  DebugSource first;  // the first source the section defined
  LinePairs pairs;
};

LineSection line_section(ByteCursor bytes);
// The next file, whose block offsets lie offsets_at bytes into it; false (and the pairs'
// arrays freed) after the last.
bool line_section_next(LineSection *section, size_t offsets_at, LineFile *file);
// Defines the file as one source named name with the (address, line) pairs of all its
// blocks in block order; a block that does not fit adds nothing. Counts the source and
// its pairs under walk.
void line_section_define(LineSection *section, SymbolWalk *walk, const char *name,
                         const LineFile *file);
