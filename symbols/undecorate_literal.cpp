// A literal keeps at most its first 32 bytes, each written as a letter, "?" and a digit
// or letter for common and high characters, or "?$" and two hexadecimal letters A to P.
// Wide literals say so; for the others the width is guessed from the NULs they hold.
#include "symbols/undecorate_literal.h"

#include <stdint.h>
#include <string.h>

namespace {

enum { MAX_BYTES = 128 };  // some compilers keep more than 32

struct LiteralReader {
  const char *at, *end;
  bool ok;
};

// Text appended to a fixed buffer, cut at its size.
struct LiteralText {
  char *out;
  size_t size, used;
};

void append(LiteralText *t, const char *text) {
  for (; *text && t->used + 1 < t->size; text++) t->out[t->used++] = *text;
  t->out[t->used] = 0;
}

int hex_letter(LiteralReader *r) {
  char c = r->at < r->end ? *r->at++ : 0;
  if (c < 'A' || c > 'P') r->ok = false;
  return c - 'A';
}

uint8_t next_byte(LiteralReader *r) {
  if (r->at >= r->end) {
    r->ok = false;
    return 0;
  }
  char c = *r->at++;
  if (c != '?') return (uint8_t)c;
  c = r->at < r->end ? *r->at++ : 0;
  if (c == '$') {
    int high = hex_letter(r);
    return (uint8_t)(high * 16 + hex_letter(r));
  }
  if (c >= '0' && c <= '9') return (uint8_t) ",/\\:. \n\t'-"[c - '0'];
  if (c >= 'a' && c <= 'z') return (uint8_t)(0xE1 + (c - 'a'));
  if (c >= 'A' && c <= 'Z') return (uint8_t)(0xC1 + (c - 'A'));
  r->ok = false;
  return 0;
}

// The byte count as the other numbers of decorated names write it.
uint64_t byte_count(LiteralReader *r) {
  if (r->at < r->end && *r->at >= '0' && *r->at <= '9') return (uint64_t)(*r->at++ - '0') + 1;
  uint64_t value = 0;
  for (int digits = 0; r->ok && (r->at >= r->end || *r->at != '@'); digits++) {
    if (digits == 16) r->ok = false;
    value = value * 16 + (uint64_t)hex_letter(r);
  }
  if (r->ok) r->at++;
  return value;
}

// A whole short literal ends in a NUL as wide as its characters; a cut one shows its
// width by how many of its bytes are NUL.
unsigned char_width(const uint8_t *bytes, unsigned count, uint64_t size) {
  if (size % 2 == 1) return 1;
  unsigned nuls = 0;
  if (size < 32) {
    while (nuls < count && bytes[count - 1 - nuls] == 0) nuls++;
    if (nuls >= 4 && size % 4 == 0) return 4;
    return nuls >= 2 ? 2 : 1;
  }
  for (unsigned i = 0; i < count; i++) nuls += bytes[i] == 0;
  if (nuls >= 2 * count / 3 && size % 4 == 0) return 4;
  return nuls >= count / 3 ? 2 : 1;
}

struct Escape {
  char c;
  const char *text;
};
const Escape kEscapes[] = {
    {'\0', "\\0"}, {'\'', "\\'"}, {'"', "\\\""}, {'\\', "\\\\"}, {'\a', "\\a"}, {'\b', "\\b"},
    {'\f', "\\f"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"},  {'\v', "\\v"},
};

void append_char(LiteralText *t, uint32_t c) {
  // Printable characters but the quotes and the backslash stand for themselves.
  if (c >= 0x20 && c < 0x7F && c != '\'' && c != '"' && c != '\\') {
    char one[2] = {(char)c, 0};
    append(t, one);
    return;
  }
  for (const Escape &e : kEscapes)
    if ((uint8_t)e.c == c) {
      append(t, e.text);
      return;
    }
  // Hexadecimal digits in pairs, as many pairs as the value needs.
  char text[12];
  size_t at = sizeof text - 1;
  text[at] = 0;
  do {
    for (int i = 0; i < 2; i++, c /= 16) text[--at] = "0123456789ABCDEF"[c % 16];
  } while (c);
  text[--at] = 'x';
  text[--at] = '\\';
  append(t, text + at);
}

}  // namespace

bool undecorate_literal(const char *text, const char *end, char *out, size_t size) {
  LiteralReader r = {text, end, true};
  LiteralText t = {out, size, 0};
  if (!size) return false;
  out[0] = 0;
  char kind = r.at < r.end ? *r.at++ : 0;
  uint64_t bytes_total = byte_count(&r);
  bool wide = kind == '1';
  if (!r.ok || (kind != '0' && !wide) || bytes_total < (wide ? 2u : 1u)) return false;
  // A hash of the whole literal comes first.
  const char *hash_end = (const char *)memchr(r.at, '@', (size_t)(r.end - r.at));
  if (!hash_end || hash_end + 1 >= r.end) return false;
  r.at = hash_end + 1;
  uint8_t bytes[MAX_BYTES];
  unsigned count = 0;
  while (r.ok && (r.at >= r.end || *r.at != '@')) {
    if (count + 2 > MAX_BYTES) return false;
    bytes[count++] = next_byte(&r);
    if (wide && r.ok) bytes[count++] = next_byte(&r);
  }
  if (!r.ok || r.at + 1 != r.end) return false;
  // Wide literals are written high byte first.
  unsigned width = wide ? 2 : char_width(bytes, count, bytes_total);
  bool cut = wide ? bytes_total > 64 : bytes_total > count;
  append(&t, wide ? "L\"" : width == 4 ? "U\"" : width == 2 ? "u\"" : "\"");
  unsigned chars = count / width;
  for (unsigned i = 0; i < chars; i++) {
    uint32_t c = 0;
    for (unsigned b = 0; b < width; b++)
      c |= (uint32_t)bytes[i * width + b] << (wide ? 8 * (width - 1 - b) : 8 * b);
    // The last character of a whole literal is its NUL.
    bool last = wide ? bytes_total - 2 * i == 2 : i + 1 == chars;
    if (!last || cut) append_char(&t, c);
  }
  append(&t, cut ? "\"..." : "\"");
  return true;
}
