// Writers of the disassembly text, called by the decoder while it decodes. Every writer
// cuts at the end of the 255-character field.
#pragma once
#include <stdint.h>

#include "x86/disasm.h"

// One text field of a DisasmResult being filled.
struct TextOut {
  char *buf;  // DISASM_TEXT characters
  int len;
};

void text_start(TextOut *t, char *buf);
// As given: numbers keep their upper-case hex digits.
void text_raw(TextOut *t, const char *s);
// At most limit characters of s (none when limit is 0 or less).
void text_raw_n(TextOut *t, const char *s, int limit);
void text_char(TextOut *t, char c);
// Upper-case hex digits of value, at least digits of them (1 to 8), without "0x".
void text_hex(TextOut *t, uint32_t value, int digits);
void text_decimal(TextOut *t, uint32_t value);
// Mnemonics, register names and keywords: lower-cased under the lower_case option.
void text_word(TextOut *t, const char *s);
void text_word_n(TextOut *t, const char *s, int limit);
void text_pad(TextOut *t, int column);

// A memory operand as the decoder found it.
struct MemoryText {
  const char *keyword;  // "NEAR", "FAR" or null, written first
  int size;             // bytes of the size keyword; 0 writes none
  int segment;          // SegmentRegister to write, or SEG_NONE
  const char *base;     // register part before the index, null or empty for none
  const char *index;    // null for none
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
