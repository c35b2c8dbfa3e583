// The disassembly text: operands, numbers, names, hex dump, comments and float values.
#include "x86/format.h"

#include <stdio.h>
#include <string.h>

#include "x86/names.h"
#include "x86/operand_kinds.h"

DecoderOptions g_decoder_options;
const Name g_near_keyword = "NEAR"_name, g_far_keyword = "FAR"_name;

namespace {

AddressNamer g_namer;

enum { JUMP_NAME_LIMIT = 231 };

// A negative displacement down to this bound is written with a minus sign.
const int32_t kNegativeBound = -16384;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The two hex digits of every byte, for the dumps.
struct HexPairs {
  char text[256][2];
};
constexpr HexPairs make_hex_pairs() {
  HexPairs h{};
  for (int b = 0; b < 256; b++) {
    h.text[b][0] = kHexDigits[b >> 4];
    h.text[b][1] = kHexDigits[b & 15];
  }
  return h;
}
constexpr HexPairs kHexPairs = make_hex_pairs();

// Two hex digits per byte, with a colon after each when colon is set; gives the end.
char *dump_bytes(char *out, const uint8_t *bytes, int count, bool colon) {
  for (int i = 0; i < count; i++) {
    memcpy(out, kHexPairs.text[bytes[i]], 2);
    out += 2;
    if (colon) *out++ = ':';
  }
  return out;
}

// Cuts a part of the dump to the room left, and takes it from the room.
void take_room(int *part, int *room) {
  if (*part > *room) *part = *room;
  *room -= *part;
}

struct CommentRule {
  int warning;
  int DecoderOptions::*hide;
  int class_kind;    // -1: any class
  const char *text;  // null: the choice ends without text
};

// The first rule that applies gives the comment; errors come before all of them.
const CommentRule kCommentRules[] = {
    {DW_PRIVILEGED, &DecoderOptions::hide_privileged, -1, "Privileged command"},
    {DW_IO, &DecoderOptions::hide_io, -1, "I/O command"},
    {DW_FAR, &DecoderOptions::hide_far, CC_JMP, "Far jump"},
    {DW_FAR, &DecoderOptions::hide_far, CC_CALL, "Far call"},
    {DW_FAR, &DecoderOptions::hide_far, CC_RET, "Far return"},
    {DW_FAR, &DecoderOptions::hide_far, -1, nullptr},
    {DW_SEGMENT, &DecoderOptions::hide_far, -1, "Modification of segment register"},
    {DW_SHIFT, &DecoderOptions::hide_shift, -1, "Shift constant out of range 1..31"},
    {DW_PREFIX, &DecoderOptions::hide_prefix, -1, "Superfluous prefix"},
    {DW_LOCK, &DecoderOptions::hide_lock, -1, "LOCK prefix"},
    {DW_STACK, &DecoderOptions::hide_stack, -1, "Unaligned stack operation"},
};

constexpr Name kPtr = " PTR "_name, kBlank = " "_name;

void copy_cut(char *out, const char *text) {
  TextOut t;
  text_start(&t, out);
  text_raw(&t, text);
}

}  // namespace

void set_address_namer(AddressNamer namer) { g_namer = namer; }

int name_address(uint32_t address, char *buffer, int buflen) {
  if (!g_namer || buflen <= 0) return 0;
  buffer[0] = '\0';
  int n = g_namer(address, buffer, buflen);
  if (n <= 0 || buffer[0] == '\0') return 0;
  buffer[buflen - 1] = '\0';
  return (int)strlen(buffer);
}

// The appenders keep the length in a local: through t->buf the compiler must assume the
// text may overwrite t->len and would reload it for every character.
void text_raw(TextOut *t, const char *s) { text_raw_n(t, s, TEXT_MAX); }

void text_raw_n(TextOut *t, const char *s, int limit) {
  char *buf = t->buf;
  int len = t->len;
  int end = len + limit < TEXT_MAX ? len + limit : TEXT_MAX;
  while (*s && len < end) buf[len++] = *s++;
  buf[len] = '\0';
  t->len = len;
}

void text_hex(TextOut *t, uint32_t value, int digits) {
  int needed = value ? (35 - __builtin_clz(value)) / 4 : 1;
  if (needed < digits) needed = digits;
  int room = TEXT_MAX - t->len;
  if (room <= 0) return;
  if (needed > room) {  // the leading digits stay, as with any cut text
    value >>= 4 * (needed - room);
    needed = room;
  }
  char *out = t->buf + t->len;
  for (int i = needed - 1; i >= 0; i--, value >>= 4) out[i] = kHexDigits[value & 15];
  t->len += needed;
  t->buf[t->len] = '\0';
}

void text_number(TextOut *t, char sign, uint32_t value, int digits) {
  if (sign) text_char(t, sign);
  text_char(t, '0');
  text_char(t, 'x');
  text_hex(t, value, digits);
}

void text_decimal(TextOut *t, uint32_t value) {
  char tmp[11];
  int start = 10;
  tmp[10] = '\0';
  do {
    tmp[--start] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  text_raw(t, tmp + start);
}

void text_word(TextOut *t, const char *s) { text_word_n(t, s, TEXT_MAX); }

void text_word_n(TextOut *t, const char *s, int limit) {
  if (!g_decoder_options.lower_case) {
    text_raw_n(t, s, limit);
    return;
  }
  char *buf = t->buf;
  int len = t->len;
  int end = len + limit < TEXT_MAX ? len + limit : TEXT_MAX;
  for (; *s && len < end; s++) {
    char c = *s;
    buf[len++] = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
  }
  buf[len] = '\0';
  t->len = len;
}

void text_pad(TextOut *t, int column) {
  char *buf = t->buf;
  int len = t->len;
  while (len < column && len < TEXT_MAX) buf[len++] = ' ';
  buf[len] = '\0';
  t->len = len;
}

void write_memory(TextOut *t, const MemoryText *m) {
  const DecoderOptions &o = g_decoder_options;
  if (m->keyword) {
    text_name(t, *m->keyword);
    text_char(t, ' ');
  }
  if (o.brackets_first) text_char(t, '[');
  if (m->size > 0) {
    if (m->size < (int)(sizeof g_size_keywords / sizeof *g_size_keywords)) {
      text_name(t, g_size_keywords[m->size]);
    } else {
      text_char(t, '(');
      text_decimal(t, (uint32_t)m->size);
      text_word(t, "-BYTE)");
    }
    text_name(t, o.brackets_first ? kBlank : kPtr);
  }
  if (m->segment != SEG_NONE) {
    text_name(t, g_segment_names[m->segment]);
    text_char(t, ':');
  }
  if (!o.brackets_first) text_char(t, '[');
  bool has_base = m->base && m->base->length;
  if (has_base) text_name(t, *m->base);
  if (m->index) {
    if (has_base) text_char(t, '+');
    text_name(t, *m->index);
    if (m->scale > 1) {
      text_char(t, '*');
      text_decimal(t, (uint32_t)m->scale);
    }
  }
  bool regs = has_base || m->index;
  char name[DISASM_TEXT];
  if (m->disp == 0) {
    if (!regs) text_char(t, '0');
  } else if (m->symbolic && name_address((uint32_t)m->disp, name, sizeof name)) {
    if (regs) text_char(t, '+');
    text_raw(t, name);
  } else if (regs && m->disp < 0 && m->disp > kNegativeBound) {
    text_number(t, '-', (uint32_t)-m->disp);
  } else {
    text_number(t, regs ? '+' : 0, (uint32_t)m->disp);
  }
  text_char(t, ']');
}

void write_immediate(TextOut *t, int kind, int32_t value, bool symbolic_mode) {
  if (kind == OPK_ONE) {
    text_char(t, '1');
    return;
  }
  bool never_named = kind == OPK_IMM_LOGIC || kind == OPK_VXD;
  char name[DISASM_TEXT];
  if (symbolic_mode && !never_named && g_decoder_options.symbolic &&
      name_address((uint32_t)value, name, sizeof name)) {
    text_raw(t, name);
    return;
  }
  bool unsigned_kind = kind == OPK_IMM_LOGIC || kind == OPK_SHIFT || kind == OPK_IMM16U ||
                       kind == OPK_VXD;
  bool negative = !unsigned_kind && value < 0 && value >= kNegativeBound;
  text_number(t, negative ? '-' : 0, negative ? (uint32_t)-value : (uint32_t)value);
}

void write_jump_target(TextOut *t, uint32_t target, bool symbolic_mode, char *comment) {
  char name[DISASM_TEXT];
  int n = symbolic_mode ? name_address(target, name, sizeof name) : 0;
  if (n && g_decoder_options.symbolic) {
    text_raw_n(t, name, JUMP_NAME_LIMIT - t->len);
    return;
  }
  text_number(t, 0, target);
  if (n && comment[0] == '\0') copy_cut(comment, name);
}

void write_far_address(TextOut *t, uint32_t selector, uint32_t offset) {
  text_name(t, g_far_keyword);
  text_char(t, ' ');
  text_number(t, 0, selector, 4);
  text_char(t, ':');
  text_hex(t, offset, 8);
}

void write_hex_dump(char *out, const uint8_t *bytes, int prefixes, int body, int disp, int imm) {
  // At most four characters per byte: a command's 15 bytes stay far from the end, the
  // cut only keeps a bad caller inside the field.
  int room = TEXT_MAX / 4;
  take_room(&prefixes, &room);
  take_room(&body, &room);
  take_room(&disp, &room);
  take_room(&imm, &room);
  char *o = dump_bytes(out, bytes, prefixes, true);
  o = dump_bytes(o, bytes + prefixes, body, false);
  if (disp > 0) {
    *o++ = ' ';
    o = dump_bytes(o, bytes + prefixes + body, disp, false);
  }
  if (imm > 0) {
    *o++ = ' ';
    o = dump_bytes(o, bytes + prefixes + body + disp, imm, false);
  }
  *o = '\0';
}

void write_comment(DisasmResult *r) {
  if (r->error != DE_NONE) {
    copy_cut(r->comment, "Invalid command");
    return;
  }
  if (r->warnings == 0) return;
  int kind = r->command_class & CC_KIND;
  for (const CommentRule &rule : kCommentRules) {
    if (!(r->warnings & rule.warning) || g_decoder_options.*rule.hide) continue;
    if (rule.class_kind >= 0 && rule.class_kind != kind) continue;
    if (rule.text) copy_cut(r->comment, rule.text);
    return;
  }
}

int format_double(char *buffer, uint32_t low, uint32_t high) {
  // Infinities have an all-ones exponent too; they get their own text rather than NAN.
  uint32_t top = high & 0xFFF00000u;
  bool infinite = (high & 0x000FFFFFu) == 0 && low == 0;
  if ((top == 0x7FF00000u || top == 0xFFF00000u) && infinite)
    return snprintf(buffer, DOUBLE_TEXT, "%cINF", top == 0x7FF00000u ? '+' : '-');
  if (top == 0x7FF00000u)
    return snprintf(buffer, DOUBLE_TEXT, "+NAN %08lX %08lX", (unsigned long)high,
                    (unsigned long)low);
  if (top == 0xFFF00000u)
    return snprintf(buffer, DOUBLE_TEXT, "-NAN %08lX %08lX", (unsigned long)high,
                    (unsigned long)low);
  uint64_t bits = (uint64_t)high << 32 | low;
  double value;
  memcpy(&value, &bits, sizeof value);
  if (value == 0.0) return snprintf(buffer, DOUBLE_TEXT, "0.0");
  return snprintf(buffer, DOUBLE_TEXT, "%#.16lg", value);
}
