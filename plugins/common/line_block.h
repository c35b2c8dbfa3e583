// Line blocks, the part of a line section that CodeView and Borland data share: a WORD
// segment, a WORD pair count m, m DWORD offsets and m WORD line numbers.
#pragma once
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "symbols/byte_cursor.h"

// One source file's pairs from all its blocks, in two parallel zone arrays.
struct LinePairs {
  uint16_t *lines;
  uint32_t *addresses;
  uint32_t count;
  // Blocks may share bytes only in a forged file: a section gives no more pairs than
  // it could hold side by side (6 bytes each).
  uint32_t *pairs_left;
};

// Appends the pairs of the block at offset at of section, each offset made an address
// through get_address. A block that does not fit the section or the pairs left adds
// nothing.
void line_block_read(const DebugApi *api, const ByteCursor *section, uint32_t at,
                     LinePairs *pairs);
void line_pairs_free(LinePairs *pairs);
