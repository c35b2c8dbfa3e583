#include "plugins/cvread/pdb7_info.h"

#include <string.h>

namespace {

const uint32_t kNamesSignature = 0xEFFEEFFE;

// Steps over a bit vector: a DWORD word count and that many DWORDs; returns its window.
ByteCursor bit_vector(ByteCursor *c) {
  uint32_t words = cursor_u32(c);
  ByteCursor bits = cursor_window(c, c->offset, (size_t)words * 4);
  cursor_take(c, (size_t)words * 4);
  return bits;
}

bool bit_set(const ByteCursor *bits, uint32_t n) {
  return n / 8 < bits->size && bits->data[n / 8] >> (n % 8) & 1;
}

}  // namespace

bool pdb7_named_stream(ByteCursor info, const char *name, uint32_t *stream) {
  ByteCursor c = info;
  cursor_seek(&c, PDB7_NAMES_AT);
  uint32_t buffer_size = cursor_u32(&c);
  ByteCursor buffer = cursor_window(&c, c.offset, buffer_size);
  cursor_take(&c, buffer_size);
  cursor_u32(&c);  // pairs present
  uint32_t capacity = cursor_u32(&c);
  ByteCursor present = bit_vector(&c);
  bit_vector(&c);  // deleted
  // One (name offset, stream) pair for each slot marked present, in slot order.
  for (uint32_t slot = 0; c.ok && slot < capacity && slot / 8 < present.size; slot++) {
    if (!bit_set(&present, slot)) continue;
    uint32_t at = cursor_u32(&c);
    uint32_t value = cursor_u32(&c);
    const char *text = cursor_text_at(&buffer, at);
    if (c.ok && text && !strcmp(text, name)) {
      *stream = value;
      return true;
    }
  }
  return false;
}

ByteCursor pdb7_string_buffer(ByteCursor names) {
  ByteCursor c = names;
  bool ok = cursor_u32(&c) == kNamesSignature;
  cursor_u32(&c);  // version
  uint32_t size = cursor_u32(&c);
  ByteCursor buffer = cursor_window(&c, c.offset, size);
  if (!ok) buffer.ok = false;
  return buffer;
}
