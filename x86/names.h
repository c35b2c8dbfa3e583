// Register, segment and size names shared by the disassembly text and the assembler's
// lexer, upper case as stored. Each register table holds the eight registers by number
// and, at REG_GROUP, the group name that stands for any of them.
#pragma once

enum { REG_GROUP = 8 };

enum SegmentRegister { SEG_ES, SEG_CS, SEG_SS, SEG_DS, SEG_FS, SEG_GS, SEG_NONE = -1 };

extern const char *const g_byte_registers[9];
extern const char *const g_word_registers[9];
extern const char *const g_dword_registers[9];
extern const char *const g_segment_names[8];   // 6 and 7 are "SEG?"
extern const char *const g_size_keywords[11];  // by byte count 0-10
extern const char *const g_fpu_registers[9];
extern const char *const g_mmx_registers[9];
extern const char *const g_control_registers[9];
extern const char *const g_debug_registers[9];

// A memory operand's register part by r/m, with the segment it uses by default.
struct AddressBase {
  const char *name;  // empty for the 32-bit r/m 4: a SIB byte follows
  int segment;
};
extern const AddressBase g_address_bases16[8];
extern const AddressBase g_address_bases32[8];

// The general register of size 1, 2 or 4 with number 0-7; null for another size.
const char *register_name(int size, int number);
