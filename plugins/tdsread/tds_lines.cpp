// Line sections: a file names itself by the name-table index after its WORD block count;
// its block offsets follow.
#include "plugins/common/line_block.h"
#include "plugins/tdsread/tds_state.h"

namespace {

const size_t kNameIndexAt = 2, kBlockOffsetsAt = 6;

}  // namespace

void tds_read_lines(TdsState *state, ByteCursor bytes) {
  LineSection section = line_section(bytes);
  LineFile file;
  while (line_section_next(&section, kBlockOffsetsAt, &file)) {
    if (!file.block_offsets.ok) continue;
    char name[LEAF_NAME_SIZE];
    tds_name(state, record_field(&file.bytes, kNameIndexAt, 4), name, false);
    line_section_define(&section, &state->walk, name, &file);
  }
  state->walk.current_source = section.first;
}
