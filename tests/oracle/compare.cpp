// Judging our decoder's reading of a command against Zydis's.
#include "tests/oracle/compare.h"

const VerdictInfo kVerdicts[V_COUNT] = {
#define KQ_VERDICT_INFO(name, explained, text) {#name, explained, text},
    KQ_VERDICTS(KQ_VERDICT_INFO)
#undef KQ_VERDICT_INFO
};

namespace {

// Opcode bytes (after the prefixes) under a mask; a zero mask ends the pattern early.
struct BytePattern {
  uint8_t code[3];
  uint8_t mask[3];
};

// Encodings that the opcode maps leave undocumented or reserved but processors run as
// another command; Zydis names them as that command, our table has no rows for them.
const BytePattern kAliases[] = {
    {{0xD0, 0x30}, {0xFC, 0x38}},              // SAL, D0-D3 /6
    {{0xC0, 0x30}, {0xFE, 0x38}},              // SAL, C0-C1 /6
    {{0xF6, 0x08}, {0xFE, 0x38}},              // TEST, F6-F7 /1
    {{0xDC, 0xD0}, {0xFF, 0xF0}},              // FCOM2, FCOMP3
    {{0xDE, 0xD0}, {0xFF, 0xF8}},              // FCOMP5
    {{0xDD, 0xC8}, {0xFF, 0xF8}},              // FXCH4
    {{0xDF, 0xC8}, {0xFF, 0xF8}},              // FXCH7
    {{0xDF, 0xD0}, {0xFF, 0xF0}},              // FSTP8, FSTP9
    {{0x0F, 0x0D, 0x18}, {0xFF, 0xFF, 0x38}},  // PREFETCH /3
    {{0x0F, 0x0D, 0x20}, {0xFF, 0xFF, 0x20}},  // PREFETCH /4 to /7
    {{0x0F, 0xAE, 0xF8}, {0xFF, 0xFF, 0xF8}},  // SFENCE with any r/m
};

// MOV to and from control and debug registers (0F 20-23) with a memory-form mod.
const BytePattern kModIgnored[] = {
    {{0x0F, 0x20, 0x00}, {0xFF, 0xFC, 0xC0}},
    {{0x0F, 0x20, 0x40}, {0xFF, 0xFC, 0xC0}},
    {{0x0F, 0x20, 0x80}, {0xFF, 0xFC, 0xC0}},
};

// MOV to CS (8E /1), and MOV from or to CR1, CR5, CR6, CR7 (0F 20 and 0F 22).
const BytePattern kReservedRegisters[] = {
    {{0x8E, 0x08}, {0xFF, 0x38}},
    {{0x0F, 0x20, 0x08}, {0xFF, 0xFD, 0x38}},
    {{0x0F, 0x20, 0x28}, {0xFF, 0xFD, 0x38}},
    {{0x0F, 0x20, 0x30}, {0xFF, 0xFD, 0x38}},
    {{0x0F, 0x20, 0x38}, {0xFF, 0xFD, 0x38}},
};

template <size_t N>
bool matches_any(const BytePattern (&patterns)[N], const uint8_t *opcode, int count) {
  for (const BytePattern &p : patterns) {
    bool match = true;
    for (int i = 0; i < 3 && match && p.mask[i]; i++)
      match = i < count && (opcode[i] & p.mask[i]) == p.code[i];
    if (match) return true;
  }
  return false;
}

// Prefix groups as our decoder sees them: a second prefix of a group ends the scan.
int prefix_group(uint8_t b) {
  switch (b) {
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65: return 1;
    case 0x66: return 2;
    case 0x67: return 3;
    case 0xF0: return 4;
    case 0xF2: case 0xF3: return 5;
    default: return 0;
  }
}

struct Prefixes {
  int count;      // prefix bytes before the opcode (up to the repeated one)
  bool repeated;  // a group came twice
  uint8_t rep;    // F2 or F3, 0 for none
  bool operand_size;
};

Prefixes scan_prefixes(const uint8_t *bytes, int count) {
  Prefixes p = {};
  unsigned seen = 0;
  for (; p.count < count; p.count++) {
    int group = prefix_group(bytes[p.count]);
    if (group == 0) break;
    if (seen & (1u << group)) {
      p.repeated = true;
      break;
    }
    seen |= 1u << group;
    if (group == 5) p.rep = bytes[p.count];
    p.operand_size |= group == 2;
  }
  return p;
}

bool is_control_kind(int kind) {
  return kind == CC_JMP || kind == CC_JMC || kind == CC_CALL || kind == CC_RET ||
         kind == CC_IRET || kind == CC_HALT;
}

bool kinds_agree(const ZydisView *z, const DisasmResult *ours) {
  int kind = ours->command_class & CC_KIND;
  return z->kind == KIND_NONE ? !is_control_kind(kind) : kind == z->kind;
}

bool targets_agree(const ZydisView *z, const DisasmResult *ours) {
  if (z->has_target && ours->jump_target != z->target) return false;
  return !z->has_selector || (uint32_t)ours->immediate == z->selector;
}

Verdict judge_in_set(const ZydisView *z, const Prefixes *p, const uint8_t *bytes, int count,
                     const DisasmResult *ours, int length) {
  if (ours->error == DE_NONE && length == z->length && kinds_agree(z, ours) &&
      targets_agree(z, ours))
    return V_AGREE;
  if (p->repeated && length == 1 && ours->error == DE_NONE) return V_REPEATED_PREFIX;
  bool string_rep = p->rep == 0xF3 ? z->takes_f3 : z->takes_f2;
  if (ours->error == DE_BADCMD && p->rep && !string_rep) return V_REP_PREFIX;
  const uint8_t *opcode = bytes + p->count;
  if (ours->error != DE_NONE && matches_any(kAliases, opcode, count - p->count)) return V_ALIAS;
  if (ours->error != DE_NONE && matches_any(kModIgnored, opcode, count - p->count))
    return V_MOD_IGNORED;
  if (ours->error != DE_NONE) return V_OURS_REFUSES;
  if (length != z->length) return V_LENGTH;
  return kinds_agree(z, ours) ? V_TARGET : V_KIND;
}

Verdict judge_out_of_set(const ZydisView *z, const Prefixes *p, const DisasmResult *ours,
                         int length) {
  // Ours knows them too (TZCNT and LZCNT as BSF and BSR with REP): the length must agree.
  bool pause = z->mnemonic == ZYDIS_MNEMONIC_PAUSE;
  bool tzcnt = z->mnemonic == ZYDIS_MNEMONIC_TZCNT || z->mnemonic == ZYDIS_MNEMONIC_LZCNT;
  if ((pause || tzcnt) && ours->error != DE_NONE) return V_OURS_REFUSES;
  if ((pause || tzcnt) && length != z->length) return V_LENGTH;
  if (pause || tzcnt) return pause ? V_PAUSE : V_TZCNT;
  if (ours->error == DE_BADCMD) return V_REFUSED;
  if (ours->error != DE_NONE) return V_REFUSED_OTHER_ERROR;
  if (p->repeated && length == 1) return V_REPEATED_PREFIX;
  if (p->operand_size && z->isa_set == ZYDIS_ISA_SET_SSE2 &&
      (ours->command_class & CC_KIND) == CC_MMX && length == z->length)
    return V_SSE2_FORM;
  return V_OURS_ACCEPTS;
}

Verdict judge_invalid(const ZydisView *z, const Prefixes *p, const uint8_t *bytes, int count,
                      const DisasmResult *ours, int length) {
  if (ours->error != DE_NONE) return V_BOTH_INVALID;
  if (p->repeated && length == 1) return V_REPEATED_PREFIX;
  if (z->status == ZYDIS_STATUS_ILLEGAL_LOCK && (ours->warnings & DW_LOCK))
    return V_LOCK_ANYWHERE;
  if (matches_any(kReservedRegisters, bytes + p->count, count - p->count))
    return V_RESERVED_REGISTER;
  return V_OURS_ACCEPTS;
}

}  // namespace

Verdict compare_command(const uint8_t *bytes, int count, uint32_t address, const ZydisView *z,
                        DisasmResult *ours, int *our_length) {
  int length = decode_command(bytes, count, address, ours, DECODE_ANALYSE);
  *our_length = length;
  Prefixes p = scan_prefixes(bytes, count);
  if (!ZYAN_SUCCESS(z->status)) return judge_invalid(z, &p, bytes, count, ours, length);
  if (!z->in_set) return judge_out_of_set(z, &p, ours, length);
  return judge_in_set(z, &p, bytes, count, ours, length);
}
