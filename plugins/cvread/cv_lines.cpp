// Line sections: per source file, its line blocks' (offset, line) pairs become one
// source with all pairs in block order.
#include "plugins/common/leaf_read.h"
#include "plugins/cvread/cv_state.h"
#include "util/zone.h"

namespace {

// One file's blocks: the pairs are gathered into two parallel zone arrays.
struct FileLines {
  uint16_t *lines;
  uint32_t *addresses;
  uint32_t count;
  // Blocks may share bytes only in a forged file: a section gives no more pairs than
  // it could hold side by side (6 bytes each).
  uint32_t *pairs_left;
};

void read_block(const CvState *state, const ByteCursor *section, uint32_t at, FileLines *file) {
  ByteCursor c = *section;
  cursor_seek(&c, at);
  uint16_t segment = cursor_u16(&c);
  uint16_t pairs = cursor_u16(&c);
  ByteCursor offsets = cursor_window(&c, c.offset, (size_t)pairs * 4);
  ByteCursor numbers = cursor_window(&c, c.offset + (size_t)pairs * 4, (size_t)pairs * 2);
  if (!c.ok || !offsets.ok || !numbers.ok || !pairs || pairs > *file->pairs_left) return;
  *file->pairs_left -= pairs;
  // Grown with slack: a file may have many small blocks.
  uint16_t *lines = (uint16_t *)zone_grow(file->lines, pairs * sizeof(uint16_t));
  if (lines) file->lines = lines;
  uint32_t *addresses = (uint32_t *)zone_grow(file->addresses, pairs * sizeof(uint32_t));
  if (addresses) file->addresses = addresses;
  if (!lines || !addresses) return;
  for (uint32_t i = 0; i < pairs; i++) {
    addresses[file->count + i] = state->api->get_address(segment, cursor_u32(&offsets));
    lines[file->count + i] = cursor_u16(&numbers);
  }
  file->count += pairs;
}

DebugSource read_file(CvState *state, const ByteCursor *section, uint32_t at,
                      uint32_t *pairs_left) {
  ByteCursor c = *section;
  cursor_seek(&c, at);
  uint16_t blocks = cursor_u16(&c);
  cursor_u16(&c);
  ByteCursor block_offsets = cursor_window(&c, c.offset, (size_t)blocks * 4);
  cursor_seek(&c, c.offset + (size_t)blocks * 12);  // block offsets, then (start, end)
  char name[LEAF_NAME_SIZE];
  leaf_name(&c, name, false);
  if (!c.ok || !block_offsets.ok) return nullptr;
  FileLines file = {nullptr, nullptr, 0, pairs_left};
  for (uint32_t i = 0; i < blocks; i++)
    read_block(state, section, cursor_u32(&block_offsets), &file);
  DebugSource source = state->api->define_source(name, (int)file.count, file.lines, file.addresses);
  state->counts.sources++;
  state->counts.line_pairs += file.count;
  file.lines = (uint16_t *)zone_free(file.lines);
  file.addresses = (uint32_t *)zone_free(file.addresses);
  return source;
}

}  // namespace

void cv_read_lines(CvState *state, ByteCursor section) {
  ByteCursor c = section;
  uint16_t files = cursor_u16(&c);
  cursor_u16(&c);
  ByteCursor file_offsets = cursor_window(&c, c.offset, (size_t)files * 4);
  DebugSource first = nullptr;
  uint32_t pairs_left = (uint32_t)(section.size / 6);
  for (uint32_t i = 0; i < files && file_offsets.ok; i++) {
    DebugSource source = read_file(state, &section, cursor_u32(&file_offsets), &pairs_left);
    if (!first) first = source;
  }
  if (first) state->current_source = first;
}
