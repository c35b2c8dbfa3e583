// The x86 assembler: one line of text into the bytes of one 32-bit command, read from the
// same command table as the decoder, with a mask of the bits that the text fixes.
#pragma once
#include <stdint.h>

enum { ASM_CODE = 16, ASM_ERROR_TEXT = 256 };

struct AsmResult {
  uint8_t code[ASM_CODE];  // the command, prefixes first
  uint8_t mask[ASM_CODE];  // 1 bits where code is fixed; 0 under CONST, R32 ... and open jumps
  int length;              // 0 after an error
  int jump_size;           // bytes of the relative jump offset: 0, 1 or 4
  int32_t jump_offset;     // the offset for the address 0; the caller subtracts the real one
  int jump_position;       // where the offset stands in code
};

// Bits of assemble_command's constant_sizes: the short forms it may choose.
enum { ASM_SHORT_DISPLACEMENT = 1, ASM_SHORT_IMMEDIATE = 2 };

// Turns a symbol name in an operand into its address; gives 1 when known. Without one
// every name is "Unknown identifier".
typedef int (*SymbolResolver)(const char *name, uint32_t *address);
void set_symbol_resolver(SymbolResolver resolver);

// Assembles one command for address (0: relative jumps stay open); match_index takes the
// n-th table row that fits. Gives the length (above 0), or minus the text position of the
// error (0 or less) with length 0 and the message in error_text (ASM_ERROR_TEXT chars).
int assemble_command(const char *text, uint32_t address, AsmResult *result, int match_index,
                     int constant_sizes, char *error_text);

// Writes count bytes into the debuggee at address; gives how many it wrote.
typedef int (*MemoryWriter)(uint32_t address, const uint8_t *bytes, int count);
// The core of KQ_Assemble: assembles text for address with constant_sizes 0, 1 and 2 in
// turn, writes the first success through writer and gives the bytes written (0: none).
int assemble_and_write(uint32_t address, const char *text, MemoryWriter writer);
