#include "symbols/byte_cursor.h"

#include <string.h>

const char *cursor_text_at(const ByteCursor *c, size_t offset) {
  if (!c->ok || offset >= c->size) return nullptr;
  const char *text = (const char *)c->data + offset;
  return memchr(text, 0, c->size - offset) ? text : nullptr;
}
