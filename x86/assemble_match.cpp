// The assembler's row matching: which spellings of a table row a mnemonic is, and
// whether the parsed operands fit the row's operand kinds.
#include <ctype.h>
#include <string.h>

#include "x86/assemble_parse.h"
#include "x86/command_table.h"
#include "x86/names.h"

namespace {

// Memory kinds with one size; 0 in the table means "no size keyword at all".
struct FixedMemory {
  int kind;
  int size;
};
const FixedMemory kFixedMemory[] = {
    {OPK_M_INT16, 2},  {OPK_M_WORD, 2},     {OPK_M_INT32, 4},    {OPK_M_QWORD, 8},
    {OPK_M_BCD, 10},   {OPK_M_FLOAT32, 4},  {OPK_M_FLOAT64, 8},  {OPK_M_FLOAT80, 10},
    {OPK_M_DESCR, 6},  {OPK_M_FPUENV, 0},   {OPK_M_FPUSTATE, 0}, {OPK_M_FXSTATE, 0},
    {OPK_MMX_RM, 8},   {OPK_3DN_RM, 8},     {OPK_RM8, 1},        {OPK_RM16, 2},
    {OPK_RM32, 4},
};

// Jump modifiers each jump kind refuses; other kinds take none.
struct ModifierRule {
  int kind;
  int refused;
};
const ModifierRule kModifierRules[] = {
    {OPK_JMP_RM, JM_SHORT | JM_FAR}, {OPK_M_FARJMP, JM_SHORT | JM_LONG | JM_NEAR},
    {OPK_REL8, JM_LONG | JM_FAR},    {OPK_REL, JM_SHORT | JM_FAR},
    {OPK_FAR_IMM, JM_SHORT | JM_NEAR},
};

// Immediate kinds with a range of their own.
struct ImmediateRange {
  int kind;
  int32_t low, high;
};
const ImmediateRange kImmediateRanges[] = {
    {OPK_IMM8S, -128, 127}, {OPK_SHIFT, -128, 255}, {OPK_IMM8U, -128, 255},
    {OPK_IMM16U, 0, 65535}, {OPK_ONE, 1, 1},
};

bool has_w_bit(const CommandRow &row) {
  return row.bits == CB_W || row.bits == CB_WS || row.bits == CB_W3 || row.bits == CB_IO;
}

void take_size(RowFit *fit, int size) {
  if (size == 0) return;
  if (fit->operand_size == 0)
    fit->operand_size = size;
  else if (fit->operand_size != size)
    fit->mismatch |= MM_DIFFERENT;
}

bool is_register(const AsmOperand &op, int number) {
  return op.kind == AO_REGISTER && (op.index == number || op.index == REG_GROUP);
}

// A register or memory size that sets the operand size: a byte only where the row has a
// W bit, else a word or a doubleword. Any other size is one the command cannot take.
int fit_operand_size(const CommandRow &row, int size, RowFit *fit) {
  if (size == 0) return 0;
  if (size == 1 ? !has_w_bit(row) : size != 2 && size != 4) return MM_SIZE;
  take_size(fit, size);
  return 0;
}

// A general register whose size is the operand size.
int fit_sized_register(const CommandRow &row, const AsmOperand &op, RowFit *fit) {
  if (op.kind != AO_REGISTER) return MM_KIND;
  return fit_operand_size(row, op.size, fit);
}

int fit_memory_size(const CommandRow &row, int kind, const AsmOperand &op, RowFit *fit) {
  for (const FixedMemory &m : kFixedMemory)
    if (m.kind == kind) return op.size == 0 || (op.size == m.size && m.size) ? 0 : MM_SIZE;
  if (kind == OPK_M_BOUND)
    return op.size == 0 || (fit->operand_size ? op.size == 2 * fit->operand_size : op.size == 8)
               ? 0 : MM_SIZE;
  // A far pointer is an offset of operand size and a 2-byte selector.
  if (kind == OPK_M_FARPTR || kind == OPK_M_FARJMP)
    return op.size == 0                  ? 0
           : op.size == 4 || op.size == 6 ? fit_operand_size(row, op.size - 2, fit)
                                          : MM_SIZE;
  if (kind == OPK_M_ADDR) return 0;
  return fit_operand_size(row, op.size, fit);
}

int fit_immediate(int kind, const AsmOperand &op) {
  if (op.kind != AO_IMMEDIATE) return MM_KIND;
  if (op.any_offset) return 0;
  for (const ImmediateRange &r : kImmediateRanges)
    if (r.kind == kind && (op.offset < r.low || op.offset > r.high)) return MM_RANGE;
  return 0;
}

int fit_operand(const CommandRow &row, int kind, const AsmOperand &op, bool second_pass,
                RowFit *fit) {
  bool memory = op.kind == AO_MEMORY;
  switch (kind) {
    case OPK_REG:
    case OPK_REG_OP:
      return fit_sized_register(row, op, fit);
    case OPK_REG32:
    case OPK_R32:
      return op.kind != AO_REGISTER ? MM_KIND : op.size != 4 ? MM_SIZE : 0;
    case OPK_ACC:
      return is_register(op, 0) ? fit_sized_register(row, op, fit) : MM_KIND;
    case OPK_AX:
      return !is_register(op, 0) ? MM_KIND : op.size != 2 ? MM_SIZE : 0;
    case OPK_DX_PORT:
      return !is_register(op, 2) ? MM_KIND : op.size != 2 ? MM_SIZE : 0;
    case OPK_CL:
      return !is_register(op, 1) ? MM_KIND : op.size != 1 ? MM_SIZE : 0;
    case OPK_ST0:
      return op.kind == AO_FPU && (op.index == 0 || op.index == REG_GROUP) ? 0 : MM_KIND;
    case OPK_STI:
      return op.kind == AO_FPU ? 0 : MM_KIND;
    case OPK_MMX:
    case OPK_3DN:
    case OPK_MMX_R:
    case OPK_3DN_R:
      return op.kind == AO_MMX ? 0 : MM_KIND;
    case OPK_RM:
    case OPK_JMP_RM:
      return memory ? fit_memory_size(row, kind, op, fit) : fit_sized_register(row, op, fit);
    case OPK_RM8:
    case OPK_RM16:
    case OPK_RM32:
      if (op.kind == AO_REGISTER)
        return op.size == (kind == OPK_RM8 ? 1 : kind == OPK_RM16 ? 2 : 4) ? 0 : MM_SIZE;
      return memory ? fit_memory_size(row, kind, op, fit) : MM_KIND;
    case OPK_MMX_RM:
    case OPK_3DN_RM:
      if (op.kind == AO_MMX) return 0;
      return memory ? fit_memory_size(row, kind, op, fit) : MM_KIND;
    case OPK_M_ADDR: case OPK_M_FARPTR: case OPK_M_FARJMP: case OPK_M_DESCR:
    case OPK_M_BOUND: case OPK_M_INT16: case OPK_M_WORD: case OPK_M_INT32:
    case OPK_M_QWORD: case OPK_M_BCD: case OPK_M_FLOAT32: case OPK_M_FLOAT64:
    case OPK_M_FLOAT80: case OPK_M_FPUENV: case OPK_M_FPUSTATE: case OPK_M_FXSTATE:
      return memory ? fit_memory_size(row, kind, op, fit) : MM_KIND;
    case OPK_STR_SRC:
    case OPK_STR_DST: {
      int reg = kind == OPK_STR_SRC ? 6 : 7;
      if (!memory || op.base != reg || op.index >= 0 || op.offset || op.any_offset)
        return MM_KIND;
      return fit_operand_size(row, op.size, fit) |
             (kind == OPK_STR_DST && op.segment >= 0 && op.segment != SEG_ES ? MM_SEGMENT : 0);
    }
    case OPK_XLAT:
      return op.kind != AO_XLAT ? MM_KIND : op.size > 1 ? MM_SIZE : 0;
    case OPK_IMM:
    case OPK_IMM_LOGIC:
    case OPK_IMM8S:
    case OPK_ONE:
    case OPK_SHIFT:
    case OPK_IMM8U:
    case OPK_IMM16U:
    case OPK_REL:
      return fit_immediate(kind, op);
    case OPK_REL8:
      return second_pass ? MM_KIND : fit_immediate(kind, op);
    case OPK_VXD:
      take_size(fit, 4);
      return fit_immediate(kind, op);
    case OPK_MOFFS:
      if (!memory || op.base >= 0 || op.index >= 0) return MM_KIND;
      return fit_operand_size(row, op.size, fit);
    case OPK_FAR_IMM:
      return op.kind == AO_FAR_ADDRESS ? 0 : MM_KIND;
    case OPK_SEG:
    case OPK_SEG_OP:
      return op.kind == AO_SEGMENT ? 0 : MM_KIND;
    case OPK_CR:
    case OPK_DR:
      if (op.kind != (kind == OPK_CR ? AO_CONTROL : AO_DEBUG)) return MM_KIND;
      take_size(fit, 4);
      return 0;
    default:
      return MM_UNKNOWN_KIND;
  }
}

int fit_modifiers(int kind, const AsmOperand &op) {
  if (!op.jump_modifiers) return 0;
  for (const ModifierRule &r : kModifierRules)
    if (r.kind == kind) return op.jump_modifiers & r.refused ? MM_MODIFIER : 0;
  return MM_MODIFIER;
}

bool same_word(const char *a, int length, const char *b) {
  if ((int)strlen(b) != length) return false;
  for (int i = 0; i < length; i++)
    if (toupper((unsigned char)a[i]) != toupper((unsigned char)b[i])) return false;
  return true;
}

// One form of a size-marked spelling: "PUSHA*" takes W, D or no letter; gives the size.
int form_size(const char *form, int length, const char *mnemonic) {
  const char *star = (const char *)memchr(form, '*', (size_t)length);
  if (!star) return same_word(form, length, mnemonic) ? -1 : 0;
  int head = (int)(star - form), tail = length - head - 1;
  int n = (int)strlen(mnemonic);
  if (n < head + tail || strncasecmp(mnemonic, form, (size_t)head) != 0 ||
      !same_word(star + 1, tail, mnemonic + n - tail))
    return 0;
  int letters = n - head - tail;
  char letter = letters == 1 ? (char)toupper((unsigned char)mnemonic[head]) : 0;
  if (letters == 0) return g_decoder_options.size_suffix ? 4 : 2;
  if (letters == 1 && letter == 'W') return 2;
  if (letters == 1 && letter == 'D') return 4;
  return 0;
}

}  // namespace

int written_kinds(const CommandRow &row, int kinds[ASM_MAX_OPERANDS]) {
  int n = 0;
  const int all[ASM_MAX_OPERANDS] = {row.operand1, row.operand2, row.operand3};
  for (int kind : all)
    if (kind != OPK_NONE && kind < OPK_IMPLICIT) kinds[n++] = kind;
  return n;
}

bool row_has_name(const CommandRow &row, const char *mnemonic, RowFit *fit) {
  fit->mismatch = 0;
  fit->operand_size = row.bits == CB_SIZE2 ? 2 : 0;
  fit->address_size = 4;
  for (const char *s = row.mnemonic; *s;) {
    const char *end = strchr(s, ',');
    int length = end ? (int)(end - s) : (int)strlen(s);
    char marker = *s == '&' || *s == '$' ? *s : 0;
    const char *body = marker ? s + 1 : s;
    int body_length = marker ? length - 1 : length;
    const char *colon = (const char *)memchr(body, ':', (size_t)body_length);
    int size = 0;
    if (colon && same_word(body, (int)(colon - body), mnemonic))
      size = 2;
    else if (colon && same_word(colon + 1, body_length - (int)(colon - body) - 1, mnemonic))
      size = 4;
    else if (!colon)
      size = form_size(body, body_length, mnemonic);
    if (size) {
      if (marker == '&' && size > 0) fit->operand_size = size;
      if (marker == '$' && size > 0) fit->address_size = size;
      return true;
    }
    s += length + (end ? 1 : 0);
  }
  return false;
}

void fit_row(const CommandRow &row, const AsmCommand &cmd, bool second_pass, RowFit *fit) {
  int kinds[ASM_MAX_OPERANDS];
  int n = written_kinds(row, kinds);
  if (n != cmd.count) {
    fit->mismatch |= MM_COUNT;
    return;
  }
  for (int i = 0; i < n; i++) {
    fit->mismatch |= fit_operand(row, kinds[i], cmd.operands[i], second_pass, fit);
    fit->mismatch |= fit_modifiers(kinds[i], cmd.operands[i]);
  }
}
