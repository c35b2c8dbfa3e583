#include "plugins/common/leaf_read.h"

#include <string.h>

namespace {

// A size standing for a WORD length followed by that many characters.
enum { kVariableString = 0xFF };

// The numeric kinds from LF_CHAR 0x8000 on, by kind - 0x8000: how many data bytes follow
// and how many of them (up to 4) make the value, with its sign.
struct NumericKind {
  uint8_t size;
  uint8_t value_bytes;
  bool is_signed;
};
const NumericKind kNumericKinds[] = {
    {1, 1, true},                 // LF_CHAR
    {2, 2, true},                 // LF_SHORT
    {2, 2, false},                // LF_USHORT
    {4, 4, true},                 // LF_LONG
    {4, 4, false},                // LF_ULONG
    {4, 0, false},                // LF_REAL32
    {8, 0, false},                // LF_REAL64
    {10, 0, false},               // LF_REAL80
    {16, 0, false},               // LF_REAL128
    {8, 0, false},                // LF_QUADWORD
    {8, 0, false},                // LF_UQUADWORD
    {6, 0, false},                // LF_REAL48
    {8, 0, false},                // LF_COMPLEX32
    {16, 0, false},               // LF_COMPLEX64
    {20, 0, false},               // LF_COMPLEX80
    {32, 0, false},               // LF_COMPLEX128
    {kVariableString, 0, false},  // LF_VARSTRING
    {0, 0, false},                // 0x8011 to 0x8016 are not numeric kinds
    {0, 0, false},
    {0, 0, false},
    {0, 0, false},
    {0, 0, false},
    {0, 0, false},
    {16, 0, false},  // LF_OCTWORD
    {16, 0, false},  // LF_UOCTWORD
    {16, 0, false},  // LF_DECIMAL
    {8, 0, false},   // LF_DATE
};
const uint16_t kFirstKind = 0x8000;

}  // namespace

uint32_t leaf_numeric_kind(ByteCursor *c, uint16_t word) {
  if (word < kFirstKind) return word;
  uint32_t slot = word - kFirstKind;
  if (slot >= sizeof kNumericKinds / sizeof kNumericKinds[0]) return 0;
  const NumericKind &kind = kNumericKinds[slot];
  if (kind.size == kVariableString) {
    cursor_take(c, cursor_u16(c));
    return 0;
  }
  const uint8_t *data = cursor_take(c, kind.size);
  if (!data || kind.value_bytes == 0) return 0;
  uint32_t value = 0;
  for (int i = kind.value_bytes - 1; i >= 0; i--) value = value << 8 | data[i];
  if (kind.is_signed && kind.value_bytes < 4) {
    uint32_t sign = 1u << (kind.value_bytes * 8 - 1);
    value = (value ^ sign) - sign;
  }
  return value;
}

// The compilers' names for anonymous types; the NUL-terminated records have a second one.
bool leaf_is_unnamed(const char *name, bool zero_terminated) {
  if (name[0] == '_') return !strcmp(name, "__unnamed");
  return zero_terminated && name[0] == '<' && !strcmp(name, "<unnamed-tag>");
}

const char *leaf_text_rare(const char *text, size_t length, char buffer[LEAF_NAME_SIZE],
                           bool unnamed_is_empty) {
  if (unnamed_is_empty && leaf_is_unnamed(text, true)) return "";
  if (length < LEAF_NAME_SIZE) return text;
  memcpy(buffer, text, LEAF_NAME_SIZE - 1);
  buffer[LEAF_NAME_SIZE - 1] = 0;
  return buffer;
}

bool leaf_name_at(const ByteCursor *record, size_t at, char name[LEAF_NAME_SIZE],
                  bool unnamed_is_empty) {
  ByteCursor c = *record;
  cursor_seek(&c, at);
  leaf_name(&c, name, unnamed_is_empty);
  return c.ok;
}
