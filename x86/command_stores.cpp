#include "x86/command_stores.h"

#include <string.h>

#include "x86/command_shape.h"
#include "x86/names.h"

namespace {

// Commands whose first operand is memory they only read; every other command with memory
// as its first operand writes it (the table names the destination first).
const char *const kReadsFirstOperand[] = {
    "BT", "CMP", "CMPS", "SCAS", "TEST", "MUL", "IMUL", "DIV", "IDIV", "VERR", "VERW",
    "INVLPG", "LGDT", "LIDT", "LLDT", "LMSW", "LTR",
};
// The FPU stores: every other FPU command with a memory operand loads or compares it.
const char *const kFpuStores[] = {"FST", "FIST", "FBST", "FSAVE", "FXSAVE"};

enum { REG_ESP = 4, REG_EDI = 7, FLAG_DF = 0x400 };

bool starts_with(const char *text, const char *start) {
  return strncmp(text, start, strlen(start)) == 0;
}

// The row's mnemonic without a repeat word before it ("REP MOVS" is MOVS) and without the
// size markers; first spelling only.
void row_name(const CommandRow *row, char *out, int outlen) {
  const char *m = row->mnemonic;
  const char *space = strchr(m, ' ');
  if (space) m = space + 1;
  if (*m == '&' || *m == '$') m++;
  int n = 0;
  while (m[n] && m[n] != ',' && m[n] != '*' && n < outlen - 1) n++;
  memcpy(out, m, (size_t)n);
  out[n] = '\0';
}

bool writes_first_operand(const CommandRow *row, const char *name) {
  if ((row->command_class & CC_KIND) == CC_FPU) {
    for (const char *store : kFpuStores)
      if (starts_with(name, store)) return true;
    return false;
  }
  if (starts_with(name, "PREFETCH")) return false;
  for (const char *reads : kReadsFirstOperand)
    if (!strcmp(name, reads)) return false;
  return true;
}

uint32_t effective_address(const CommandShape &s, const StoreContext &c, uint32_t esp_after) {
  uint32_t a = (uint32_t)s.disp;
  if (s.base >= 0) a += s.base == REG_ESP ? esp_after : c.reg[s.base];
  if (s.index >= 0) a += c.reg[s.index] * (uint32_t)s.scale;
  if (s.addr_size == 2) a &= 0xFFFF;
  return a + c.segment_base[s.memory_segment];
}

// Stack bytes below ESP a command pushes, in units of the operand size; -1 for none.
int pushed_units(const CommandShape &s, const char *name, const uint8_t *op, int rest) {
  int kind = s.row->command_class & CC_KIND;
  if (kind == CC_PUSH) return 1;
  if (kind == CC_CALL) {
    int target = s.row->operand1;
    return target == OPK_FAR_IMM || target == OPK_M_FARJMP ? 2 : 1;
  }
  if (!strcmp(name, "PUSHA")) return 8;
  if (!strcmp(name, "ENTER") && rest >= 4) {
    // The old frame pointer, then the level's frame pointers with the new one last.
    int level = op[3] & 31;
    return level ? level + 1 : 1;
  }
  return -1;
}

bool enters_system(const CommandShape &s, const char *name) {
  int target = s.row->operand1;
  bool call = target == OPK_REL || target == OPK_JMP_RM || target == OPK_FAR_IMM ||
              target == OPK_M_FARJMP;
  return ((s.row->command_class & CC_KIND) == CC_CALL && !call) || !strcmp(name, "SYSENTER");
}

bool is_memory_kind(int kind) {
  return (kind >= OPK_RM && kind <= OPK_M_FXSTATE) || kind == OPK_MOFFS;
}

// A repeated string store runs ECX (CX) times; downwards under the direction flag.
StoreRange string_range(const CommandShape &s, const StoreContext &c, uint32_t *cut) {
  uint32_t mask = s.addr_size == 2 ? 0xFFFF : 0xFFFFFFFF;
  uint64_t count = s.rep ? c.reg[1] & mask : 1;
  if (c.one_repeat && count > 1) {
    count = 1;
    if (cut) *cut = mask;
  }
  uint64_t bytes = count * (uint64_t)s.op_size;
  uint32_t edi = c.reg[REG_EDI] & mask;
  if (bytes == 0) return StoreRange{0, 0};
  if (c.eflags & FLAG_DF) edi -= (uint32_t)(bytes - (uint64_t)s.op_size);
  uint32_t length = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)bytes;
  return StoreRange{edi + c.segment_base[SEG_ES], length};
}

}  // namespace

int command_stores(const uint8_t *bytes, int count, uint32_t address, const StoreContext &c,
                   StoreRange out[STORE_RANGES], uint32_t *cut) {
  if (cut) *cut = 0;
  DisasmResult r;
  CommandShape s;
  if (decode_command_shape(bytes, count, address, &r, &s) <= 0) return 0;
  // A prefix the decoder takes as a command of its own runs with the next command.
  if (r.warnings & DW_PREFIX && !s.row) return STORES_UNKNOWN;
  if (r.error != DE_NONE || !s.row) return 0;
  char name[32];
  row_name(s.row, name, sizeof name);
  if (enters_system(s, name)) return STORES_UNKNOWN;
  const uint8_t *op = bytes + r.prefix_count;
  int rest = count - r.prefix_count, n = 0;
  uint32_t esp = c.reg[REG_ESP];
  int units = pushed_units(s, name, op, rest);
  if (units > 0) {
    uint32_t length = (uint32_t)(units * s.op_size);
    out[n++] = StoreRange{esp - length + c.segment_base[SEG_SS], length};
  }
  const CommandRow *row = s.row;
  int kind = row->command_class & CC_KIND;
  if (row->operand1 == OPK_STR_DST && writes_first_operand(row, name)) {
    StoreRange range = string_range(s, c, cut);
    if (range.length) out[n++] = range;
  } else if (row->operand3 == OPK_I_EDI) {
    uint32_t edi = c.reg[REG_EDI] + c.segment_base[s.segment == SEG_NONE ? SEG_DS : s.segment];
    out[n++] = StoreRange{edi, 8};
  } else if (s.memory_slot == 0 && is_memory_kind(row->operand1) && kind != CC_CALL &&
             kind != CC_JMP && kind != CC_PUSH && writes_first_operand(row, name)) {
    // POP computes its destination with ESP already raised.
    uint32_t esp_after = kind == CC_POP ? esp + (uint32_t)s.op_size : esp;
    uint32_t target = effective_address(s, c, esp_after);
    // A bit string command reaches past its operand by the bit offset in a register.
    if (starts_with(name, "BT") && row->operand2 == OPK_REG && s.operand_register >= 0) {
      int32_t offset = (int32_t)c.reg[s.operand_register];
      if (s.op_size == 2) offset = (int16_t)offset;
      target += (uint32_t)((offset >> (s.op_size == 2 ? 4 : 5)) * s.op_size);
    }
    if (s.memory_size > 0) out[n++] = StoreRange{target, (uint32_t)s.memory_size};
  }
  return n;
}
