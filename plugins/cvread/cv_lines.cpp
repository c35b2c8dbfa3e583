// Line sections: a file's block offsets follow its WORD block count and a WORD of
// padding; its name, length-prefixed, follows the (start, end) pairs of its blocks.
#include "plugins/common/leaf_read.h"
#include "plugins/common/line_block.h"
#include "plugins/cvread/cv_state.h"

namespace {

const size_t kBlockOffsetsAt = 4;

}  // namespace

void cv_read_lines(CvState *state, ByteCursor bytes) {
  LineSection section = line_section(bytes);
  LineFile file;
  while (line_section_next(&section, kBlockOffsetsAt, &file)) {
    // Each block has a DWORD offset and a (start, end) pair of DWORDs.
    size_t name_at = kBlockOffsetsAt + file.block_offsets.size * 3;
    char name[LEAF_NAME_SIZE];
    if (leaf_name_at(&file.bytes, name_at, name, false) && file.block_offsets.ok)
      line_section_define(&section, &state->walk, name, &file);
  }
  if (section.first) state->walk.current_source = section.first;
}
