// Writers of the disassembly text, called by the decoder while it decodes. Every writer
// cuts at the end of the 255-character field.
#pragma once
#include <stdint.h>
#include <string.h>

#include "x86/disasm.h"
#include "x86/names.h"

enum { TEXT_MAX = DISASM_TEXT - 1, TEXT_BLOCK = NAME_CHARS };

// One text field of a DisasmResult being filled.
struct TextOut {
  char *buf;  // DISASM_TEXT characters
  int len;
};

// The small writers are inline: every command calls them several times.
inline void text_start(TextOut *t, char *buf) {
  t->buf = buf;
  t->len = 0;
  buf[0] = '\0';
}
// As given: numbers keep their upper-case hex digits.
void text_raw(TextOut *t, const char *s);
// At most limit characters of s (none when limit is 0 or less).
void text_raw_n(TextOut *t, const char *s, int limit);
inline void text_char(TextOut *t, char c) {
  if (t->len < TEXT_MAX) t->buf[t->len++] = c;
  t->buf[t->len] = '\0';
}
// The first n characters of a block of TEXT_BLOCK readable bytes (n at most that), as
// given; far from the end of the field the block is copied whole.
inline void text_block(TextOut *t, const char *block, int n) {
  if (t->len + TEXT_BLOCK >= TEXT_MAX) {
    text_raw_n(t, block, n);
    return;
  }
  memcpy(t->buf + t->len, block, TEXT_BLOCK);
  t->len += n;
  t->buf[t->len] = '\0';
}
// Upper-case hex digits of value, at least digits of them (1 to 8), without "0x".
void text_hex(TextOut *t, uint32_t value, int digits);
// "0x" and the hex digits, after the sign when one is given ('+' or '-', 0 for none).
void text_number(TextOut *t, char sign, uint32_t value, int digits = 1);
void text_decimal(TextOut *t, uint32_t value);
// Mnemonics, register names and keywords: lower-cased under the lower_case option.
void text_word(TextOut *t, const char *s);
void text_word_n(TextOut *t, const char *s, int limit);
inline void text_name(TextOut *t, const Name &name) {
  text_block(t, g_decoder_options.lower_case ? name.lower : name.upper, name.length);
}
void text_pad(TextOut *t, int column);

// Keywords of memory operands.
extern const Name g_near_keyword, g_far_keyword;

// A memory operand as the decoder found it.
struct MemoryText {
  const Name *keyword;  // NEAR, FAR or null, written first
  int size;             // bytes of the size keyword; 0 writes none
  int segment;          // SegmentRegister to write, or SEG_NONE
  const Name *base;     // register part before the index, null or empty for none
  const Name *index;    // null for none
  int scale;
  int32_t disp;
  bool symbolic;        // name the displacement when a name is found
};
void write_memory(TextOut *t, const MemoryText *m);
// Immediates of the kinds OPK_IMM to OPK_IMM16U.
void write_immediate(TextOut *t, int kind, int32_t value, bool symbolic_mode);
// The target of a relative jump; a name found while the symbolic option is off goes to
// the comment, if that is still empty.
void write_jump_target(TextOut *t, uint32_t target, bool symbolic_mode, char *comment);
void write_far_address(TextOut *t, uint32_t selector, uint32_t offset);
// "%02X:" per prefix, then the opcode bytes run together, a blank before the
// displacement and a blank before the immediate bytes.
void write_hex_dump(char *out, const uint8_t *bytes, int prefixes, int body, int disp, int imm);
// Chooses the comment from the error, the warnings and the class.
void write_comment(DisasmResult *r);

// The exact symbol at address, through the installed namer: the length written, or 0.
int name_address(uint32_t address, char *buffer, int buflen);
