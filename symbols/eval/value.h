// The evaluator's records: a value with its type and bytes, the register record it reads
// and writes, and the environment through which it reaches the debuggee.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct TypeRecord;

enum { VALUE_DATA = 264, VALUE_STRING_MAX = 260 };

// A value: where it lives in the debuggee (0 for constants, registers and results), its
// type and its bytes. Ordinary values hold integers in the first 8 bytes (little-endian),
// floating values as a double ("float" as its 4-byte single); a byte string ("tp_variant")
// holds its length in the first DWORD and at most 260 bytes after it.
struct ValueDescriptor {
  uint32_t address;
  TypeRecord *type;
  int reg;  // the register the value came from (1 + its row), 0 for none
  uint8_t data[VALUE_DATA];
};

// The integer registers, in the order of the evaluator's register rows.
enum EvalRegister {
  ER_EAX, ER_EBX, ER_ECX, ER_EDX, ER_ESI, ER_EDI, ER_EBP, ER_ESP, ER_EIP, ER_EFLAGS,
  ER_CS, ER_DS, ER_SS, ER_ES, ER_FS, ER_GS, ER_TIB, ER_ERR, ER_COUNT
};

// The followed thread's registers as the evaluator sees them; st holds the eight 80-bit
// FPU registers (MM0..MM7 are their low 8 bytes).
struct EvalRegisters {
  uint32_t r[ER_COUNT];
  uint8_t st[8][10];
};

// How the evaluator reaches the debuggee; every callback gives false on failure.
struct EvalEnvironment {
  bool (*read_memory)(uint32_t address, void *buffer, uint32_t size);
  bool (*write_memory)(uint32_t address, const void *buffer, uint32_t size);
  bool (*read_registers)(EvalRegisters *out);
  bool (*write_registers)(const EvalRegisters *in);
  // Where values are shown from: addresses in the same module are named without it.
  uint32_t (*reference)();
};
