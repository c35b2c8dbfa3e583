// The command table: one row per form of a 32-bit x86 command, searched first-match by
// the decoder and read by name by the assembler.
#pragma once
#include <stdint.h>

#include "x86/disasm.h"
#include "x86/operand_kinds.h"

// A row matches a key K when ((K ^ code) & mask) == 0. The key holds the bytes after the
// prefixes, byte 0 lowest; under REP/REPE/REPNE it is shifted left by 8 and the prefix
// byte (F3 or F2) is byte 0.
struct CommandRow {
  uint32_t mask;
  uint32_t code;
  uint8_t length;         // opcode bytes the row takes, counting a REP or 66 byte in code
  uint8_t bits;           // CommandBits
  uint8_t operand1, operand2, operand3;  // OperandKind
  uint8_t command_class;  // CommandClass with its flags
  const char *mnemonic;   // "A,B" spellings; "&"/"$" size markers, "16:32", "*" letter
};

enum { COMMAND_ROWS = 588, HAZARD_ROWS = 4 };

// Each table ends with a row whose mask is 0.
extern const CommandRow CommandTable[COMMAND_ROWS + 1];
// Commands that crash some systems: class 1 always, class 7 only under LOCK; the mnemonic
// field holds the message.
extern const CommandRow HazardTable[HAZARD_ROWS + 1];
enum { HAZARD_ALWAYS = 1, HAZARD_UNDER_LOCK = 7 };
// Replaces CommandTable for CD 20 when VxD calls are decoded.
extern const CommandRow VxdCallTable[2];
