#include "plugins/common/line_block.h"

#include "util/zone.h"

namespace {

// One source file's pairs from all its blocks, in two parallel zone arrays.
struct LinePairs {
  uint16_t *lines;
  uint32_t *addresses;
  uint32_t count;
  uint32_t *pairs_left;
};

void read_block(const DebugApi *api, const ByteCursor *section, uint32_t at, LinePairs *pairs) {
  ByteCursor c = *section;
  cursor_seek(&c, at);
  uint16_t segment = cursor_u16(&c);
  uint16_t count = cursor_u16(&c);
  ByteCursor offsets = cursor_window(&c, c.offset, (size_t)count * 4);
  ByteCursor numbers = cursor_window(&c, c.offset + (size_t)count * 4, (size_t)count * 2);
  if (!c.ok || !offsets.ok || !numbers.ok || !count || count > *pairs->pairs_left) return;
  *pairs->pairs_left -= count;
  // Grown with slack: a file may have many small blocks.
  uint16_t *lines = (uint16_t *)zone_grow(pairs->lines, count * sizeof(uint16_t));
  if (lines) pairs->lines = lines;
  uint32_t *addresses = (uint32_t *)zone_grow(pairs->addresses, count * sizeof(uint32_t));
  if (addresses) pairs->addresses = addresses;
  if (!lines || !addresses) return;
  for (uint32_t i = 0; i < count; i++) {
    addresses[pairs->count + i] = api->get_address(segment, cursor_u32(&offsets));
    lines[pairs->count + i] = cursor_u16(&numbers);
  }
  pairs->count += count;
}

}  // namespace

DebugSource line_source_define(const DebugApi *api, const char *name, const ByteCursor *section,
                               ByteCursor block_offsets, uint32_t *pairs_left,
                               uint32_t *pair_count) {
  LinePairs file = {nullptr, nullptr, 0, pairs_left};
  while (block_offsets.ok && block_offsets.offset + 4 <= block_offsets.size)
    read_block(api, section, cursor_u32(&block_offsets), &file);
  DebugSource source = api->define_source(name, (int)file.count, file.lines, file.addresses);
  *pair_count += file.count;
  file.lines = (uint16_t *)zone_free(file.lines);
  file.addresses = (uint32_t *)zone_free(file.addresses);
  return source;
}
