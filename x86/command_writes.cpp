#include "x86/command_writes.h"

#include <string.h>

#include "x86/disasm.h"

namespace {

// Commands that store through a register without a memory operand in their text, or
// leave the trap for the next command: opcodes after the prefixes.
const uint8_t kImplicitStores[] = {
    0xA4, 0xA5,  // MOVS
    0xAA, 0xAB,  // STOS
    0x6C, 0x6D,  // INS
    0x17,        // POP SS
    0x8E,        // MOV SS (and the other segment loads)
    // A prefix the decoder shows as a command of its own (a repeated one): the processor
    // runs it with the command it stands before.
    0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3,
};
const uint8_t kImplicitStores0F[] = {
    0xF7,        // MASKMOVQ, MASKMOVDQU
    0x05, 0x07,  // SYSCALL, SYSRET
    0x34, 0x35,  // SYSENTER, SYSEXIT
};

// Commands whose memory operand is only read: the result goes to a register or the flags.
const uint8_t kReadsOnly[] = {
    0x02, 0x03, 0x0A, 0x0B, 0x12, 0x13, 0x1A, 0x1B,  // ADD OR ADC SBB reg, mem
    0x22, 0x23, 0x2A, 0x2B, 0x32, 0x33,              // AND SUB XOR reg, mem
    0x38, 0x39, 0x3A, 0x3B, 0x84, 0x85,              // CMP, TEST
    0x8A, 0x8B, 0xA0, 0xA1, 0x8D,                    // MOV reg, mem; LEA
    0x62, 0x69, 0x6B,                                // BOUND, IMUL reg, mem, imm
};
const uint8_t kReadsOnly0F[] = {
    0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47,  // CMOVcc
    0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0xA3, 0xAF, 0xB6, 0xB7, 0xBE, 0xBF,              // BT, IMUL, MOVZX, MOVSX
};
// Group opcodes: the reg fields of ModRM (as bits) that only read.
struct GroupReads {
  uint8_t opcode, reg_bits;
};
const GroupReads kGroupReads[] = {
    {0x80, 1 << 7}, {0x81, 1 << 7}, {0x83, 1 << 7},  // CMP mem, imm
    {0xF6, 3},      {0xF7, 3},                       // TEST mem, imm
    {0xFF, 1 << 4 | 1 << 6},                         // JMP mem, PUSH mem (onto the stack)
};

bool listed(const uint8_t *table, size_t size, uint8_t opcode) {
  return memchr(table, opcode, size) != nullptr;
}

bool reads_only(const uint8_t *op, int rest) {
  if (op[0] == 0x0F) return rest > 1 && listed(kReadsOnly0F, sizeof kReadsOnly0F, op[1]);
  if (listed(kReadsOnly, sizeof kReadsOnly, op[0])) return true;
  for (const GroupReads &g : kGroupReads)
    if (g.opcode == op[0]) return rest > 1 && (g.reg_bits >> (op[1] >> 3 & 7) & 1);
  return false;
}

}  // namespace

bool command_may_write_memory(const uint8_t *bytes, int count, uint32_t address) {
  // The text is read for brackets: in the default form, whatever the user chose.
  DecoderOptions chosen = g_decoder_options;
  g_decoder_options = DecoderOptions();
  DisasmResult r;
  int length = decode_command(bytes, count, address, &r, DECODE_TEXT);
  g_decoder_options = chosen;
  if (length <= 0 || r.error || r.prefix_count >= count) return true;
  int kind = r.command_class & CC_KIND;
  if (kind == CC_CALL || kind == CC_IRET || kind == CC_HALT || kind == CC_BAD || kind == CC_REP)
    return true;
  const uint8_t *op = bytes + r.prefix_count;
  int rest = count - r.prefix_count;
  if (op[0] == 0x0F ? rest < 2 || listed(kImplicitStores0F, sizeof kImplicitStores0F, op[1])
                    : listed(kImplicitStores, sizeof kImplicitStores, op[0]))
    return true;
  return strchr(r.text, '[') && !reads_only(op, rest);
}
