// What Zydis makes of the bytes of one command, in the terms of our decoder: whether the
// command lies in the instruction sets our decoder covers, the command kind it should
// have, and its branch target.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <Zydis/Zydis.h>

enum { KIND_NONE = -1 };  // not a control-transfer kind that we compare

struct ZydisView {
  ZyanStatus status;     // Zydis's own verdict; the rest is valid only on success
  int length;
  ZydisMnemonic mnemonic;
  ZydisISASet isa_set;
  bool in_set;           // integer 386..Pentium Pro, x87, MMX, 3DNow!, SSE on MMX registers
  int kind;              // CC_JMP, CC_JMC, CC_CALL, CC_RET, CC_IRET, CC_HALT or KIND_NONE
  bool has_target;       // a relative branch or a far immediate address
  uint32_t target;
  bool has_selector;
  uint32_t selector;
  bool takes_f3;         // a string command that takes REP or REPE (F3)
  bool takes_f2;         // a string command that takes REPNE (F2): CMPS, SCAS
  bool writes_memory;    // writes memory other than the stack below ESP
  bool privileged;       // faults outside ring 0
  bool port_io;          // reads or writes an I/O port
};

// Decodes bytes[0..count) standing at address in 32-bit protected mode.
void zydis_view(const uint8_t *bytes, size_t count, uint32_t address, ZydisView *view);

const char *zydis_name(const ZydisView *view);
