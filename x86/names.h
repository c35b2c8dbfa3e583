// Register, segment and size names shared by the disassembly text and the assembler's
// lexer, upper case as stored. Each register table holds the eight registers by number
// and, at REG_GROUP, the group name that stands for any of them.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { REG_GROUP = 8 };

enum SegmentRegister { SEG_ES, SEG_CS, SEG_SS, SEG_DS, SEG_FS, SEG_GS, SEG_NONE = -1 };

// A name with its lower-case twin and its length, each in a block of NAME_CHARS that the
// text copies whole: writing a name costs one copy, whatever the case option.
enum { NAME_CHARS = 16 };
struct Name {
  char upper[NAME_CHARS];
  char lower[NAME_CHARS];
  uint8_t length;
};

// "EAX"_name; texts are cut to NAME_CHARS - 1 characters.
constexpr Name operator""_name(const char *text, size_t length) {
  Name n{};
  for (size_t i = 0; i < length && i < NAME_CHARS - 1; i++) {
    char c = text[i];
    n.upper[i] = c;
    n.lower[i] = c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
    n.length = (uint8_t)(i + 1);
  }
  return n;
}

extern const Name g_byte_registers[9];
extern const Name g_word_registers[9];
extern const Name g_dword_registers[9];
extern const Name g_segment_names[8];   // 6 and 7 are "SEG?"
extern const Name g_size_keywords[11];  // by byte count 0-10
extern const Name g_fpu_registers[9];
extern const Name g_mmx_registers[9];
extern const Name g_control_registers[9];
extern const Name g_debug_registers[9];

// A memory operand's register part by r/m, with the segment it uses by default.
struct AddressBase {
  Name name;  // empty for the 32-bit r/m 4: a SIB byte follows
  int segment;
};
extern const AddressBase g_address_bases16[8];
extern const AddressBase g_address_bases32[8];

// The general register of size 1, 2 or 4 with number 0-7; null for another size.
const Name *register_name(int size, int number);
