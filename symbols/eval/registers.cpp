#include <math.h>
#include <string.h>

#include "symbols/eval/eval_state.h"
#include "symbols/eval/expression.h"
#include "symbols/types.h"

namespace {

enum RegisterForm { RF_INTEGER, RF_FLAG, RF_ST, RF_MM };

// One register name: where its bits lie in the register record and its type.
struct RegisterRow {
  const char *name;
  int form;
  int type;   // base type code
  int word;   // EvalRegister, or the FPU register number
  int shift;  // bit position in the word
  uint32_t mask;
};

const RegisterRow kRegisters[] = {
    {"EAX", RF_INTEGER, BT_DWORD, ER_EAX, 0, 0xFFFFFFFF},
    {"EBX", RF_INTEGER, BT_DWORD, ER_EBX, 0, 0xFFFFFFFF},
    {"ECX", RF_INTEGER, BT_DWORD, ER_ECX, 0, 0xFFFFFFFF},
    {"EDX", RF_INTEGER, BT_DWORD, ER_EDX, 0, 0xFFFFFFFF},
    {"ESI", RF_INTEGER, BT_DWORD, ER_ESI, 0, 0xFFFFFFFF},
    {"EDI", RF_INTEGER, BT_DWORD, ER_EDI, 0, 0xFFFFFFFF},
    {"EBP", RF_INTEGER, BT_DWORD, ER_EBP, 0, 0xFFFFFFFF},
    {"ESP", RF_INTEGER, BT_DWORD, ER_ESP, 0, 0xFFFFFFFF},
    {"EIP", RF_INTEGER, BT_DWORD, ER_EIP, 0, 0xFFFFFFFF},
    {"AX", RF_INTEGER, BT_WORD, ER_EAX, 0, 0xFFFF},
    {"BX", RF_INTEGER, BT_WORD, ER_EBX, 0, 0xFFFF},
    {"CX", RF_INTEGER, BT_WORD, ER_ECX, 0, 0xFFFF},
    {"DX", RF_INTEGER, BT_WORD, ER_EDX, 0, 0xFFFF},
    {"SI", RF_INTEGER, BT_WORD, ER_ESI, 0, 0xFFFF},
    {"DI", RF_INTEGER, BT_WORD, ER_EDI, 0, 0xFFFF},
    {"BP", RF_INTEGER, BT_WORD, ER_EBP, 0, 0xFFFF},
    {"SP", RF_INTEGER, BT_WORD, ER_ESP, 0, 0xFFFF},
    {"AL", RF_INTEGER, BT_BYTE, ER_EAX, 0, 0xFF},
    {"AH", RF_INTEGER, BT_BYTE, ER_EAX, 8, 0xFF},
    {"BL", RF_INTEGER, BT_BYTE, ER_EBX, 0, 0xFF},
    {"BH", RF_INTEGER, BT_BYTE, ER_EBX, 8, 0xFF},
    {"CL", RF_INTEGER, BT_BYTE, ER_ECX, 0, 0xFF},
    {"CH", RF_INTEGER, BT_BYTE, ER_ECX, 8, 0xFF},
    {"DL", RF_INTEGER, BT_BYTE, ER_EDX, 0, 0xFF},
    {"DH", RF_INTEGER, BT_BYTE, ER_EDX, 8, 0xFF},
    {"C", RF_FLAG, BT_SHORT, ER_EFLAGS, 0, 1},
    {"P", RF_FLAG, BT_SHORT, ER_EFLAGS, 2, 1},
    {"A", RF_FLAG, BT_SHORT, ER_EFLAGS, 4, 1},
    {"Z", RF_FLAG, BT_SHORT, ER_EFLAGS, 6, 1},
    {"S", RF_FLAG, BT_SHORT, ER_EFLAGS, 7, 1},
    {"I", RF_FLAG, BT_SHORT, ER_EFLAGS, 9, 1},
    {"D", RF_FLAG, BT_SHORT, ER_EFLAGS, 10, 1},
    {"O", RF_FLAG, BT_SHORT, ER_EFLAGS, 11, 1},
    {"T", RF_FLAG, BT_SHORT, ER_EFLAGS, 8, 1},
    {"CS", RF_INTEGER, BT_WORD, ER_CS, 0, 0xFFFF},
    {"DS", RF_INTEGER, BT_WORD, ER_DS, 0, 0xFFFF},
    {"SS", RF_INTEGER, BT_WORD, ER_SS, 0, 0xFFFF},
    {"ES", RF_INTEGER, BT_WORD, ER_ES, 0, 0xFFFF},
    {"FS", RF_INTEGER, BT_WORD, ER_FS, 0, 0xFFFF},
    {"GS", RF_INTEGER, BT_WORD, ER_GS, 0, 0xFFFF},
    {"ST0", RF_ST, BT_DOUBLE, 0, 0, 0}, {"ST1", RF_ST, BT_DOUBLE, 1, 0, 0},
    {"ST2", RF_ST, BT_DOUBLE, 2, 0, 0}, {"ST3", RF_ST, BT_DOUBLE, 3, 0, 0},
    {"ST4", RF_ST, BT_DOUBLE, 4, 0, 0}, {"ST5", RF_ST, BT_DOUBLE, 5, 0, 0},
    {"ST6", RF_ST, BT_DOUBLE, 6, 0, 0}, {"ST7", RF_ST, BT_DOUBLE, 7, 0, 0},
    {"MM0", RF_MM, BT_QWORD, 0, 0, 0}, {"MM1", RF_MM, BT_QWORD, 1, 0, 0},
    {"MM2", RF_MM, BT_QWORD, 2, 0, 0}, {"MM3", RF_MM, BT_QWORD, 3, 0, 0},
    {"MM4", RF_MM, BT_QWORD, 4, 0, 0}, {"MM5", RF_MM, BT_QWORD, 5, 0, 0},
    {"MM6", RF_MM, BT_QWORD, 6, 0, 0}, {"MM7", RF_MM, BT_QWORD, 7, 0, 0},
    {"TIB", RF_INTEGER, BT_DWORD, ER_TIB, 0, 0xFFFFFFFF},
    {"ERR", RF_INTEGER, BT_DWORD, ER_ERR, 0, 0xFFFFFFFF},
};
const int kRegisterRows = (int)(sizeof kRegisters / sizeof kRegisters[0]);
static_assert(kRegisterRows == EXPRESSION_REGISTER_ROWS, "the rows the header promises");

uint64_t get_le(const uint8_t *p, int n) {
  uint64_t x = 0;
  for (int i = n - 1; i >= 0; i--) x = x << 8 | p[i];
  return x;
}

void put_le(uint8_t *p, int n, uint64_t x) {
  for (int i = 0; i < n; i++, x >>= 8) p[i] = (uint8_t)x;
}

// The 80-bit extended format: 64-bit mantissa with an explicit integer bit, 15-bit
// exponent biased by 16383, sign on top.
double ext80_to_double(const uint8_t *p) {
  uint64_t mantissa = get_le(p, 8);
  int exponent = (int)(get_le(p + 8, 2) & 0x7FFF);
  bool negative = p[9] & 0x80;
  double x;
  if (exponent == 0x7FFF) x = (mantissa << 1) ? NAN : INFINITY;
  else x = ldexp((double)mantissa, exponent - 16383 - 63);
  return negative ? -x : x;
}

void double_to_ext80(double x, uint8_t *p) {
  uint64_t mantissa = 0;
  int exponent = 0;
  bool negative = signbit(x);
  if (isnan(x)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (isinf(x)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (x != 0) {
    int e = 0;
    double m = frexp(fabs(x), &e);  // m in [0.5, 1)
    mantissa = (uint64_t)ldexp(m, 64);
    exponent = e - 1 + 16383;
  }
  put_le(p, 8, mantissa);
  put_le(p + 8, 2, (uint64_t)exponent | (negative ? 0x8000u : 0));
}

bool read_all(EvalRegisters *regs) {
  memset(regs, 0, sizeof *regs);
  return g_expr.env.read_registers && g_expr.env.read_registers(regs);
}

}  // namespace

int register_find(const char *name) {
  for (int i = 0; i < kRegisterRows; i++)
    if (!strcmp(kRegisters[i].name, name)) return i;
  return -1;
}

bool register_load(int row, ValueDescriptor *value) {
  EvalRegisters regs;
  return row >= 0 && row < kRegisterRows && read_all(&regs) &&
         expression_register_value(&regs, row, value);
}

bool expression_read_registers(EvalRegisters *regs) { return read_all(regs); }

const char *expression_register_name(int row) {
  return row >= 0 && row < kRegisterRows ? kRegisters[row].name : nullptr;
}

bool expression_register_value(const EvalRegisters *regs, int row, ValueDescriptor *value) {
  if (row < 0 || row >= kRegisterRows) return false;
  const RegisterRow &r = kRegisters[row];
  value_clear(value, type_base(r.type));
  value->reg = row + 1;
  if (r.form == RF_ST) value_set_double(value, ext80_to_double(regs->st[r.word]));
  else if (r.form == RF_MM) value_set_u64(value, get_le(regs->st[r.word], 8));
  else value_set_u64(value, regs->r[r.word] >> r.shift & r.mask);
  return true;
}

bool register_store(int row, const ValueDescriptor *value) {
  EvalRegisters regs;
  if (row < 0 || row >= kRegisterRows || !read_all(&regs) || !g_expr.env.write_registers)
    return false;
  const RegisterRow &r = kRegisters[row];
  if (r.form == RF_ST) {
    double_to_ext80(value_double(value), regs.st[r.word]);
  } else if (r.form == RF_MM) {
    put_le(regs.st[r.word], 8, value_u64(value));
  } else {
    uint32_t bits = (uint32_t)value_u64(value);
    if (r.form == RF_FLAG) bits = bits != 0;
    regs.r[r.word] = (regs.r[r.word] & ~(r.mask << r.shift)) | (bits & r.mask) << r.shift;
  }
  return g_expr.env.write_registers(&regs);
}
