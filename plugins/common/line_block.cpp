#include "plugins/common/line_block.h"

#include "util/zone.h"

void line_block_read(const DebugApi *api, const ByteCursor *section, uint32_t at,
                     LinePairs *pairs) {
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

void line_pairs_free(LinePairs *pairs) {
  pairs->lines = (uint16_t *)zone_free(pairs->lines);
  pairs->addresses = (uint32_t *)zone_free(pairs->addresses);
  pairs->count = 0;
}
