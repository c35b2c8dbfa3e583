// What the decoder learnt of one command beyond its text: the row it took, the sizes and
// prefixes in force and where its memory operand lies. The stepping engine works out from
// it which bytes a command will write.
#pragma once
#include <stdint.h>

#include "x86/command_table.h"
#include "x86/disasm.h"

struct CommandShape {
  const CommandRow *row;  // null when the bytes did not decode
  int op_size, addr_size;
  int segment;            // override prefix (SegmentRegister), or SEG_NONE
  int rep;                // 0, 0xF2 or 0xF3
  // The operand written with ModRM's memory form or as a memory offset: its place among
  // the row's operands (-1: none), its size in bytes, the segment it goes through and its
  // parts: registers by number (EAX 0 ... EDI 7, -1 none), scale and displacement.
  int memory_slot, memory_size, memory_segment;
  int base, index, scale;
  int32_t disp;
  int operand_register;   // the reg field of ModRM, -1 without ModRM
};

// decode_command in DECODE_ANALYSE, also filling *shape.
int decode_command_shape(const uint8_t *bytes, int count, uint32_t address,
                         DisasmResult *result, CommandShape *shape);
