// Our decoder against Zydis on one command: the verdict, either agreement, a known
// difference of the two tables, or a fault.
#pragma once
#include <stdint.h>

#include "tests/oracle/zydis_view.h"
#include "x86/disasm.h"

// name, whether it is explained (not a fault), what it means
#define KQ_VERDICTS(X)                                                                        \
  X(AGREE, true, "in our set: same length, kind and target")                                  \
  X(REFUSED, true, "outside our set: ours gives DE_BADCMD")                                   \
  X(REFUSED_OTHER_ERROR, true, "outside our set: ours refuses with another error")            \
  X(BOTH_INVALID, true, "invalid for Zydis, an error from ours")                              \
  X(REPEATED_PREFIX, true, "a repeated prefix: ours shows the first one as a command")        \
  X(REP_PREFIX, true, "F2/F3 before a command without that REP form (RET, Jcc, MOVS ...): "   \
                      "ours refuses")                                                         \
  X(ALIAS, true, "an undocumented alias encoding (SAL, TEST /1, FCOM2 ...): ours refuses")    \
  X(SSE2_FORM, true, "66 before an MMX opcode: SSE2 on XMM for Zydis, the MMX row for ours")  \
  X(TZCNT, true, "F3 0F BC/BD: TZCNT/LZCNT for Zydis, REP BSF/BSR of the same length for ours") \
  X(PAUSE, true, "F3 90: PAUSE for both, of the same length")                                 \
  X(LOCK_ANYWHERE, true, "LOCK before a command that does not take it: Zydis refuses")        \
  X(MOD_IGNORED, true, "MOV to or from CRn/DRn with mod not 3 (ignored by the processor): "     \
                       "our rows want mod 3")                                                 \
  X(RESERVED_REGISTER, true, "MOV to CS, MOV with CR1 or CR5-CR7: invalid for Zydis, "         \
                             "our register tables name them")                                 \
  X(LENGTH, false, "in our set: different length")                                            \
  X(KIND, false, "in our set: different command kind")                                        \
  X(TARGET, false, "in our set: different branch target or selector")                         \
  X(OURS_REFUSES, false, "in our set: ours gives an error")                                   \
  X(OURS_ACCEPTS, false, "outside our set or invalid: ours decodes a command")

enum Verdict {
#define KQ_VERDICT_ENUM(name, explained, text) V_##name,
  KQ_VERDICTS(KQ_VERDICT_ENUM)
#undef KQ_VERDICT_ENUM
  V_COUNT
};

struct VerdictInfo {
  const char *name;
  bool explained;
  const char *text;
};
extern const VerdictInfo kVerdicts[V_COUNT];

// Decodes bytes[0..count) at address with ours in DECODE_ANALYSE (into *ours, giving
// *our_length) and judges it against Zydis's view of the same bytes.
Verdict compare_command(const uint8_t *bytes, int count, uint32_t address, const ZydisView *z,
                        DisasmResult *ours, int *our_length);
