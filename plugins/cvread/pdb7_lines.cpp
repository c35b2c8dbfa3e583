// C13 line information: a module's line subsections hold blocks of (offset, line) pairs,
// each block for one file named by its entry in the file checksum subsection, whose name
// lies in "/names". A procedure's lines may come from several files, and a file's lines
// from several subsections: every file becomes one source with its pairs in the order
// they come.
#include <string.h>

#include "plugins/common/leaf_read.h"
#include "plugins/common/line_block.h"
#include "plugins/cvread/cv_state.h"
#include "util/zone.h"

namespace {

const uint32_t kLinesKind = 0xF2, kChecksumsKind = 0xF4;
// A lines subsection: DWORD offset, WORD section, WORD flags, DWORD code size. A block:
// DWORD file, DWORD pair count, DWORD block size; the size also covers the columns that
// follow the pairs when the flags say so.
const size_t kLinesHeader = 12, kBlockHeader = 12, kPairSize = 8;
// Line numbers the compilers write for code that has no line of its own.
const uint32_t kNoLineFirst = 0xF00000;

// The subsection after at (kind, size, data padded to 4 bytes); false after the last.
bool next_subsection(const ByteCursor *c13, size_t *at, uint32_t *kind, ByteCursor *data) {
  ByteCursor c = *c13;
  if (!cursor_seek(&c, *at)) return false;
  *kind = cursor_u32(&c);
  uint32_t size = cursor_u32(&c);
  if (!c.ok) return false;
  *data = cursor_window(c13, c.offset, size);
  *at = (c.offset + (size_t)size + 3) & ~(size_t)3;
  return data->ok;
}

// The blocks of one lines subsection, one after another.
struct BlockRun {
  ByteCursor data;
  size_t next;
};

bool next_block(BlockRun *run, uint32_t *file, ByteCursor *pairs) {
  ByteCursor c = run->data;
  if (!cursor_seek(&c, run->next)) return false;
  *file = cursor_u32(&c);
  uint32_t count = cursor_u32(&c);
  uint32_t size = cursor_u32(&c);
  if (!c.ok || size < kBlockHeader || count > (size - kBlockHeader) / kPairSize) return false;
  *pairs = cursor_window(&run->data, c.offset, (size_t)count * kPairSize);
  run->next += size;
  return pairs->ok;
}

BlockRun blocks_of(const ByteCursor *lines) { return BlockRun{*lines, kLinesHeader}; }

// Adds the pairs of every block of file, from the subsections at and after first.
void gather_file(const DebugApi *api, const ByteCursor *c13, size_t first, uint32_t file,
                 LinePairs *pairs) {
  uint32_t kind;
  ByteCursor lines;
  for (size_t at = first; next_subsection(c13, &at, &kind, &lines);) {
    if (kind != kLinesKind) continue;
    uint32_t offset = record_field(&lines, 0, 4);
    uint16_t section = (uint16_t)record_field(&lines, 4, 2);
    BlockRun run = blocks_of(&lines);
    uint32_t block_file;
    ByteCursor block;
    while (next_block(&run, &block_file, &block)) {
      uint32_t count = (uint32_t)(block.size / kPairSize);
      if (block_file != file || !line_pairs_reserve(pairs, count)) continue;
      for (uint32_t i = 0; i < count; i++) {
        uint32_t at_offset = cursor_u32(&block);
        uint32_t line = cursor_u32(&block) & 0xFFFFFF;
        if (line >= kNoLineFirst) continue;
        pairs->addresses[pairs->count] = api->get_address(section, offset + at_offset);
        pairs->lines[pairs->count++] = (uint16_t)(line > 0xFFFF ? 0xFFFF : line);
      }
    }
  }
}

}  // namespace

void pdb7_read_lines(CvState *state, ByteCursor c13, ByteCursor names) {
  uint32_t kind;
  ByteCursor data, checksums = {};
  for (size_t at = 0; next_subsection(&c13, &at, &kind, &data);)
    if (kind == kChecksumsKind) checksums = data;
  if (!checksums.ok) return;
  // One bit per checksum entry start (entries are 4-aligned): files already defined.
  uint8_t *done = (uint8_t *)zone_alloc(checksums.size / 32 + 1);
  if (!done) return;
  memset(done, 0, checksums.size / 32 + 1);
  uint32_t pairs_left = (uint32_t)(c13.size / kPairSize);
  DebugSource first = nullptr;
  LinePairs pairs = {nullptr, nullptr, 0, 0, &pairs_left};
  for (size_t at = 0, start = 0; (start = at, next_subsection(&c13, &at, &kind, &data));) {
    if (kind != kLinesKind) continue;
    BlockRun run = blocks_of(&data);
    uint32_t file;
    ByteCursor block;
    while (next_block(&run, &file, &block)) {
      if (file % 4 || file >= checksums.size || done[file / 32] & 1 << (file / 4 % 8)) continue;
      done[file / 32] |= (uint8_t)(1 << (file / 4 % 8));
      ByteCursor name_at = names;
      char buffer[LEAF_NAME_SIZE];
      if (!cursor_seek(&name_at, record_field(&checksums, file, 4))) continue;
      const char *name = leaf_text(&name_at, buffer, false);
      gather_file(state->api, &c13, start, file, &pairs);
      DebugSource source = line_pairs_define(&pairs, &state->walk, name);
      if (!first) first = source;
    }
  }
  line_pairs_free(&pairs);
  done = (uint8_t *)zone_free(done);
  if (first) state->walk.current_source = first;
}
