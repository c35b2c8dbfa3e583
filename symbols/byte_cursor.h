// A bounds-checked window over untrusted bytes: every read of the image files goes
// through one of these, so no offset, size or count taken from a file reaches memory
// outside the mapping.
#pragma once
#include <stddef.h>
#include <stdint.h>

// data[0..size) with a read position. A read that does not fit gives 0 (or null) and
// clears ok; later reads fail too, so a caller checks ok once after a group of reads.
struct ByteCursor {
  const uint8_t *data;
  size_t size;
  size_t offset;
  bool ok;
};

// The small reads are inline: the debug-information walks make several per record.
inline ByteCursor cursor_make(const uint8_t *data, size_t size) {
  return ByteCursor{data, data ? size : 0, 0, data != nullptr};
}
// The sub-window [offset, offset + length) of c's window; a window that does not fit
// comes back empty and not ok.
inline ByteCursor cursor_window(const ByteCursor *c, size_t offset, size_t length) {
  if (!c->ok || offset > c->size || length > c->size - offset)
    return ByteCursor{c->data, 0, 0, false};
  return ByteCursor{c->data + offset, length, 0, true};
}
// Moves the read position; false (and not ok) past the end.
inline bool cursor_seek(ByteCursor *c, size_t offset) {
  if (offset > c->size) c->ok = false;
  if (c->ok) c->offset = offset;
  return c->ok;
}
// The next n bytes, or null when fewer remain.
inline const uint8_t *cursor_take(ByteCursor *c, size_t n) {
  if (!c->ok || n > c->size - c->offset) {
    c->ok = false;
    return nullptr;
  }
  const uint8_t *p = c->data + c->offset;
  c->offset += n;
  return p;
}
inline uint8_t cursor_u8(ByteCursor *c) {
  const uint8_t *p = cursor_take(c, 1);
  return p ? p[0] : 0;
}
inline uint16_t cursor_u16(ByteCursor *c) {
  const uint8_t *p = cursor_take(c, 2);
  return p ? (uint16_t)(p[0] | p[1] << 8) : 0;
}
inline uint32_t cursor_u32(ByteCursor *c) {
  const uint8_t *p = cursor_take(c, 4);
  return p ? (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24
           : 0;
}
// The NUL-terminated text at offset of c's window, or null when it does not end inside.
const char *cursor_text_at(const ByteCursor *c, size_t offset);
