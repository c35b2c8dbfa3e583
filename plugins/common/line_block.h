// Line blocks, the part of a line section that CodeView and Borland data share: a WORD
// segment, a WORD pair count m, m DWORD offsets and m WORD line numbers.
#pragma once
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "symbols/byte_cursor.h"

// Defines one source file named name with the (address, line) pairs of the blocks of
// section whose DWORD offsets block_offsets holds, in that order; each offset becomes an
// address through get_address, and pair_count grows by the pairs the source got. Blocks
// may share bytes only in a forged file: no more than *pairs_left pairs are taken (a
// section could hold size / 6 side by side), and it is lowered by those taken. A block
// that does not fit adds nothing.
DebugSource line_source_define(const DebugApi *api, const char *name, const ByteCursor *section,
                               ByteCursor block_offsets, uint32_t *pairs_left,
                               uint32_t *pair_count);
