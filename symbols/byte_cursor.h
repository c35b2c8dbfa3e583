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

ByteCursor cursor_make(const uint8_t *data, size_t size);
// The sub-window [offset, offset + length) of c's window; a window that does not fit
// comes back empty and not ok.
ByteCursor cursor_window(const ByteCursor *c, size_t offset, size_t length);
// Moves the read position; false (and not ok) past the end.
bool cursor_seek(ByteCursor *c, size_t offset);
// The next n bytes, or null when fewer remain.
const uint8_t *cursor_take(ByteCursor *c, size_t n);
uint8_t cursor_u8(ByteCursor *c);
uint16_t cursor_u16(ByteCursor *c);
uint32_t cursor_u32(ByteCursor *c);
// The NUL-terminated text at offset of c's window, or null when it does not end inside.
const char *cursor_text_at(const ByteCursor *c, size_t offset);
