#include "symbols/byte_cursor.h"

#include <string.h>

ByteCursor cursor_make(const uint8_t *data, size_t size) {
  return ByteCursor{data, data ? size : 0, 0, data != nullptr};
}

ByteCursor cursor_window(const ByteCursor *c, size_t offset, size_t length) {
  if (!c->ok || offset > c->size || length > c->size - offset)
    return ByteCursor{c->data, 0, 0, false};
  return ByteCursor{c->data + offset, length, 0, true};
}

bool cursor_seek(ByteCursor *c, size_t offset) {
  if (offset > c->size) c->ok = false;
  if (c->ok) c->offset = offset;
  return c->ok;
}

const uint8_t *cursor_take(ByteCursor *c, size_t n) {
  if (!c->ok || n > c->size - c->offset) {
    c->ok = false;
    return nullptr;
  }
  const uint8_t *p = c->data + c->offset;
  c->offset += n;
  return p;
}

uint8_t cursor_u8(ByteCursor *c) {
  const uint8_t *p = cursor_take(c, 1);
  return p ? p[0] : 0;
}

uint16_t cursor_u16(ByteCursor *c) {
  const uint8_t *p = cursor_take(c, 2);
  return p ? (uint16_t)(p[0] | p[1] << 8) : 0;
}

uint32_t cursor_u32(ByteCursor *c) {
  const uint8_t *p = cursor_take(c, 4);
  return p ? (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24
           : 0;
}

const char *cursor_text_at(const ByteCursor *c, size_t offset) {
  if (!c->ok || offset >= c->size) return nullptr;
  const char *text = (const char *)c->data + offset;
  return memchr(text, 0, c->size - offset) ? text : nullptr;
}
