#include "plugins/common/line_block.h"

#include "plugins/common/leaf_read.h"
#include "util/zone.h"

namespace {

void read_block(const DebugApi *api, const ByteCursor *section, uint32_t at, LinePairs *pairs) {
  ByteCursor c = *section;
  cursor_seek(&c, at);
  uint16_t segment = cursor_u16(&c);
  uint16_t count = cursor_u16(&c);
  ByteCursor offsets = cursor_window(&c, c.offset, (size_t)count * 4);
  ByteCursor numbers = cursor_window(&c, c.offset + (size_t)count * 4, (size_t)count * 2);
  if (!c.ok || !offsets.ok || !numbers.ok || !line_pairs_reserve(pairs, count)) return;
  // Both windows fit: the pairs are read straight from their bytes.
  const uint8_t *offset = offsets.data, *number = numbers.data;
  for (uint32_t i = 0; i < count; i++, offset += 4, number += 2) {
    uint32_t at = offset[0] | offset[1] << 8 | offset[2] << 16 | (uint32_t)offset[3] << 24;
    pairs->addresses[pairs->count + i] = api->get_address(segment, at);
    pairs->lines[pairs->count + i] = (uint16_t)(number[0] | number[1] << 8);
  }
  pairs->count += count;
}

}  // namespace

bool line_pairs_reserve(LinePairs *pairs, uint32_t count) {
  if (!count || count > *pairs->pairs_left) return false;
  if (count > pairs->room - pairs->count) {
    // Doubled: a file may have many small blocks.
    uint32_t room = (pairs->count + count) * 2;
    uint16_t *lines = (uint16_t *)zone_resize(pairs->lines, room * sizeof(uint16_t));
    if (lines) pairs->lines = lines;
    uint32_t *addresses = (uint32_t *)zone_resize(pairs->addresses, room * sizeof(uint32_t));
    if (addresses) pairs->addresses = addresses;
    if (!lines || !addresses) return false;
    pairs->room = room;
  }
  *pairs->pairs_left -= count;
  return true;
}

DebugSource line_pairs_define(LinePairs *pairs, SymbolWalk *walk, const char *name) {
  DebugSource source =
      walk->api->define_source(name, (int)pairs->count, pairs->lines, pairs->addresses);
  walk->counts->sources++;
  walk->counts->line_pairs += pairs->count;
  pairs->count = 0;
  return source;
}

void line_pairs_free(LinePairs *pairs) {
  pairs->lines = (uint16_t *)zone_free(pairs->lines);
  pairs->addresses = (uint32_t *)zone_free(pairs->addresses);
  pairs->count = pairs->room = 0;
}

LineSection line_section(ByteCursor bytes) {
  ByteCursor c = bytes;
  uint16_t files = cursor_u16(&c);
  cursor_u16(&c);  // segment count
  ByteCursor file_offsets = cursor_window(&c, c.offset, (size_t)files * 4);
  return LineSection{bytes, file_offsets, files, (uint32_t)(bytes.size / 6), nullptr, {}};
}

bool line_section_next(LineSection *section, size_t offsets_at, LineFile *file) {
  if (!section->files_left || !section->file_offsets.ok) {
    line_pairs_free(&section->pairs);
    return false;
  }
  section->files_left--;
  uint32_t at = cursor_u32(&section->file_offsets);
  size_t size = section->bytes.size;
  file->bytes = cursor_window(&section->bytes, at, size > at ? size - at : 0);
  uint16_t blocks = (uint16_t)record_field(&file->bytes, 0, 2);
  file->block_offsets = cursor_window(&file->bytes, offsets_at, (size_t)blocks * 4);
  return true;
}

void line_section_define(LineSection *section, SymbolWalk *walk, const char *name,
                         const LineFile *file) {
  LinePairs *pairs = &section->pairs;
  pairs->pairs_left = &section->pairs_left;
  ByteCursor block_offsets = file->block_offsets;
  while (block_offsets.ok && block_offsets.offset + 4 <= block_offsets.size)
    read_block(walk->api, &section->bytes, cursor_u32(&block_offsets), pairs);
  DebugSource source = line_pairs_define(pairs, walk, name);
  if (!section->first) section->first = source;
}
