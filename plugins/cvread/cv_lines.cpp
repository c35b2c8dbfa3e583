// Line sections: per source file, its line blocks' (offset, line) pairs become one
// source with all pairs in block order.
#include "plugins/common/leaf_read.h"
#include "plugins/common/line_block.h"
#include "plugins/cvread/cv_state.h"

namespace {

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
  state->counts.sources++;
  return line_source_define(state->api, name, section, block_offsets, pairs_left,
                            &state->counts.line_pairs);
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
  if (first) state->walk.current_source = first;
}
