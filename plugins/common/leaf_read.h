// The value encodings shared by CodeView-style records: fixed fields, numeric leaves
// (sizes, offsets, enumerator values) and length-prefixed names.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "symbols/byte_cursor.h"

enum { LEAF_NAME_SIZE = 256 };

// Reads a numeric leaf at the cursor: a WORD below 0x8000 is the value itself; else the
// WORD is a numeric kind followed by its data. Kinds wider than 32 bits or not integers
// are stepped over with the value 0; an unknown kind counts its 2 bytes only, value 0.
// A value below 0x8000 is read inline; the kinds from there on are read by
// leaf_numeric_kind, word being the kind the cursor has passed.
uint32_t leaf_numeric_kind(ByteCursor *c, uint16_t word);
inline uint32_t leaf_numeric(ByteCursor *c) {
  uint16_t word = cursor_u16(c);
  return word < 0x8000 ? word : leaf_numeric_kind(c, word);
}

// Reads a length byte and that many characters into name (NUL-terminated; a name that
// runs past the window is cut at its end). With unnamed_is_empty, "__unnamed" (the
// compiler's name for anonymous types) becomes the empty name.
// Inline: most symbol names are read through it; the check for the unnamed is not.
bool leaf_is_unnamed(const char *name, bool zero_terminated);
inline void leaf_name(ByteCursor *c, char name[LEAF_NAME_SIZE], bool unnamed_is_empty) {
  uint8_t length = cursor_u8(c);
  size_t available = c->ok ? c->size - c->offset : 0;
  if (length > available) length = (uint8_t)available;
  const uint8_t *text = cursor_take(c, length);
  if (text) memcpy(name, text, length);
  name[text ? length : 0] = 0;
  if (unnamed_is_empty && name[0] == '_' && leaf_is_unnamed(name, false)) name[0] = 0;
}
// The same for the name at offset at of record; false when it does not start inside.
bool leaf_name_at(const ByteCursor *record, size_t at, char name[LEAF_NAME_SIZE],
                  bool unnamed_is_empty);
// The NUL-terminated names of the newer records (symbol kinds from 0x1100, type leaves
// from 0x1500): the name where it stands in the record, or when longer than
// LEAF_NAME_SIZE - 1 characters cut into buffer; the cursor put after the NUL (not ok, and
// the empty name, when there is none). With unnamed_is_empty, "<unnamed-tag>" also becomes
// the empty name. Names are read in place as most are passed on once and never changed.
// Inline: a type walk reads one for nearly every member; the rare names, long or maybe
// unnamed, are left to leaf_text_rare.
const char *leaf_text_rare(const char *text, size_t length, char buffer[LEAF_NAME_SIZE],
                           bool unnamed_is_empty);
inline const char *leaf_text(ByteCursor *c, char buffer[LEAF_NAME_SIZE], bool unnamed_is_empty) {
  size_t left = c->ok ? c->size - c->offset : 0;
  const char *text = (const char *)c->data + c->offset;
  const char *end = left ? (const char *)memchr(text, 0, left) : nullptr;
  if (!end) {
    c->ok = false;
    return "";
  }
  size_t length = (size_t)(end - text);
  c->offset += length + 1;
  if (length >= LEAF_NAME_SIZE || (unnamed_is_empty && (text[0] == '_' || text[0] == '<')))
    return leaf_text_rare(text, length, buffer, unnamed_is_empty);
  return text;
}
// Either form, chosen by zero_terminated: the name, in the record or in buffer.
inline const char *leaf_any_name(ByteCursor *c, bool zero_terminated, char buffer[LEAF_NAME_SIZE],
                                 bool unnamed_is_empty) {
  if (zero_terminated) return leaf_text(c, buffer, unnamed_is_empty);
  leaf_name(c, buffer, unnamed_is_empty);
  return buffer;
}

// A field of a record: width 4, 2 or 1 bytes at offset at; 0 when it does not fit.
// Inline: the walks read every field of every record through it.
inline uint32_t record_field(const ByteCursor *record, size_t at, int width) {
  ByteCursor c = *record;
  cursor_seek(&c, at);
  return width == 4 ? cursor_u32(&c) : width == 2 ? cursor_u16(&c) : cursor_u8(&c);
}
