// What the code panel's editing commands compute before they touch the debuggee: a typed
// command assembled to replace the one at the cursor, and the selected commands as text.
#pragma once
#include <stdint.h>

#include "x86/assemble.h"
#include "x86/disasm.h"

enum { CODE_ASSEMBLE_TRIES = 4, CODE_NOP = 0x90 };

// The command's text as the panel offers it for editing (no tab between the arguments),
// read through reader; gives the command's length, 1 for what cannot be read or decoded.
int code_command_text(uint32_t address, MemoryReader reader, char *text, int textlen);
// Assembles text for address with each of the short forms in turn; the last result, padded
// with NOPs to old_length, goes into code (ASM_CODE bytes). Gives the bytes to write, or
// 0 with the assembler's message in error (ASM_ERROR_TEXT characters).
int code_assemble(const char *text, uint32_t address, int old_length, uint8_t *code,
                  char *error);
// "%X\t\t%s\r\n" for every command from low while below high, as a zone block ending in a
// zero; gives it (null for an empty range).
char *code_copy_text(uint32_t low, uint32_t high, MemoryReader reader);
