// Line sections: per source file, the (offset, line) pairs of its line blocks become one
// source with all pairs in block order. Files name themselves by name-table index.
#include "plugins/common/line_block.h"
#include "plugins/tdsread/tds_state.h"

namespace {

DebugSource read_file(TdsState *state, const ByteCursor *section, uint32_t at,
                      uint32_t *pairs_left) {
  ByteCursor c = *section;
  cursor_seek(&c, at);
  uint16_t blocks = cursor_u16(&c);
  uint32_t name_index = cursor_u32(&c);
  ByteCursor block_offsets = cursor_window(&c, c.offset, (size_t)blocks * 4);
  if (!c.ok || !block_offsets.ok) return nullptr;
  char name[LEAF_NAME_SIZE];
  tds_name(state, name_index, name, false);
  state->counts.sources++;
  return line_source_define(state->api, name, section, block_offsets, pairs_left,
                            &state->counts.line_pairs);
}

}  // namespace

void tds_read_lines(TdsState *state, ByteCursor section) {
  state->walk.current_source = nullptr;
  ByteCursor c = section;
  uint16_t files = cursor_u16(&c);
  cursor_u16(&c);  // segment count
  ByteCursor file_offsets = cursor_window(&c, c.offset, (size_t)files * 4);
  uint32_t pairs_left = (uint32_t)(section.size / 6);
  for (uint32_t i = 0; i < files && file_offsets.ok; i++) {
    DebugSource source = read_file(state, &section, cursor_u32(&file_offsets), &pairs_left);
    if (!state->walk.current_source) state->walk.current_source = source;
  }
}
