// The code panel's operand box: every operand of the cursor command evaluated, with the
// address a memory operand refers to and what lies there, or a value with what it points
// to; and the place "Follow" goes.
#pragma once
#include <stdint.h>

#include "ui/rich_text/rich_text_records.h"
#include "x86/disasm.h"

enum : uint32_t {
  CODE_OPERAND = 0x64FFFF,  // the operand's text
  CODE_TARGET = 0x7878FF,   // what lies at the address
  CODE_BOX = 0x646464,      // the box's paper
};
enum { CODE_BOX_VALUE = 40, CODE_BOX_WIDTH = 200, CODE_BOX_ALPHA = 200 };

// Clears box and writes the operands of the command at address in font; gives the follow
// address (0 for none).
uint32_t code_write_operands(RichText *box, uint32_t address, MemoryReader reader,
                             RichHandle font);
