// The disassembly text: operands, numbers, names, hex dump, comments and float values.
#include "x86/format.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "x86/names.h"
#include "x86/operand_kinds.h"

DecoderOptions g_decoder_options;

namespace {

AddressNamer g_namer;

enum { TEXT_MAX = DISASM_TEXT - 1, JUMP_NAME_LIMIT = 231 };

// A negative displacement down to this bound is written with a minus sign.
const int32_t kNegativeBound = -16384;

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

void copy_cut(char *out, const char *text) {
  snprintf(out, DISASM_TEXT, "%s", text);
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

void text_start(TextOut *t, char *buf) {
  t->buf = buf;
  t->len = 0;
  buf[0] = '\0';
}

void text_raw(TextOut *t, const char *s) {
  while (*s && t->len < TEXT_MAX) t->buf[t->len++] = *s++;
  t->buf[t->len] = '\0';
}

void text_printf(TextOut *t, const char *fmt, ...) {
  char tmp[DISASM_TEXT];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(tmp, sizeof tmp, fmt, ap);
  va_end(ap);
  text_raw(t, tmp);
}

void text_word(TextOut *t, const char *s) {
  int start = t->len;
  text_raw(t, s);
  if (!g_decoder_options.lower_case) return;
  for (int i = start; i < t->len; i++) t->buf[i] = (char)tolower((unsigned char)t->buf[i]);
}

void text_pad(TextOut *t, int column) {
  while (t->len < column && t->len < TEXT_MAX) t->buf[t->len++] = ' ';
  t->buf[t->len] = '\0';
}

void write_memory(TextOut *t, const MemoryText *m) {
  const DecoderOptions &o = g_decoder_options;
  if (m->keyword) {
    text_word(t, m->keyword);
    text_raw(t, " ");
  }
  if (o.brackets_first) text_raw(t, "[");
  if (m->size > 0) {
    const char *ptr = o.brackets_first ? "" : "PTR ";
    char keyword[32];
    if (m->size < (int)(sizeof g_size_keywords / sizeof *g_size_keywords))
      snprintf(keyword, sizeof keyword, "%s %s", g_size_keywords[m->size], ptr);
    else
      snprintf(keyword, sizeof keyword, "(%i-BYTE) %s", m->size, ptr);
    text_word(t, keyword);
  }
  if (m->segment != SEG_NONE) {
    text_word(t, g_segment_names[m->segment]);
    text_raw(t, ":");
  }
  if (!o.brackets_first) text_raw(t, "[");
  bool has_base = m->base && m->base[0];
  if (has_base) text_word(t, m->base);
  if (m->index) {
    if (has_base) text_raw(t, "+");
    text_word(t, m->index);
    if (m->scale > 1) text_printf(t, "*%i", m->scale);
  }
  bool regs = has_base || m->index;
  const char *plus = regs ? "+" : "";
  char name[DISASM_TEXT];
  if (m->disp == 0) {
    if (!regs) text_raw(t, "0");
  } else if (m->symbolic && name_address((uint32_t)m->disp, name, sizeof name)) {
    text_raw(t, plus);
    text_raw(t, name);
  } else if (regs && m->disp < 0 && m->disp > kNegativeBound) {
    text_printf(t, "-0x%lX", (unsigned long)-m->disp);
  } else {
    text_printf(t, "%s0x%lX", plus, (unsigned long)(uint32_t)m->disp);
  }
  text_raw(t, "]");
}

void write_immediate(TextOut *t, int kind, int32_t value, bool symbolic_mode) {
  if (kind == OPK_ONE) {
    text_raw(t, "1");
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
  if (!unsigned_kind && value < 0 && value >= kNegativeBound)
    text_printf(t, "-0x%lX", (unsigned long)-value);
  else
    text_printf(t, "0x%lX", (unsigned long)(uint32_t)value);
}

void write_jump_target(TextOut *t, uint32_t target, bool symbolic_mode, char *comment) {
  char name[DISASM_TEXT];
  int n = symbolic_mode ? name_address(target, name, sizeof name) : 0;
  if (n && g_decoder_options.symbolic) {
    int room = JUMP_NAME_LIMIT - t->len;
    text_printf(t, "%.*s", room > 0 ? room : 0, name);
    return;
  }
  text_printf(t, "0x%lX", (unsigned long)target);
  if (n && comment[0] == '\0') copy_cut(comment, name);
}

void write_far_address(TextOut *t, uint32_t selector, uint32_t offset) {
  text_word(t, "FAR");
  text_printf(t, " 0x%04X:%08X", (unsigned)selector, (unsigned)offset);
}

void write_hex_dump(char *out, const uint8_t *bytes, int prefixes, int body, int disp, int imm) {
  TextOut t;
  text_start(&t, out);
  int pos = 0;
  for (; pos < prefixes; pos++) text_printf(&t, "%02X:", bytes[pos]);
  const int parts[3] = {body, disp, imm};
  for (int p = 0; p < 3; p++) {
    if (p > 0 && parts[p] > 0) text_raw(&t, " ");
    for (int i = 0; i < parts[p]; i++, pos++) text_printf(&t, "%02X", bytes[pos]);
  }
}

void write_comment(DisasmResult *r) {
  if (r->error != DE_NONE) {
    copy_cut(r->comment, "Invalid command");
    return;
  }
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
