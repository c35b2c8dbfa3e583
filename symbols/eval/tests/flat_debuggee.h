// A debuggee of one flat block of readable and writable memory and a register record,
// for the fuzz target and the benchmark (fast, unlike the tests' sparse memory).
#pragma once
#include <string.h>

#include "symbols/eval/value.h"

struct FlatDebuggee {
  static const uint32_t kBase = 0x1000, kSize = 0x4000;
  uint8_t memory[kSize];
  EvalRegisters regs;
};
inline FlatDebuggee g_flat;

inline bool flat_inside(uint32_t address, uint32_t size) {
  return address >= FlatDebuggee::kBase && size <= FlatDebuggee::kSize &&
         address - FlatDebuggee::kBase <= FlatDebuggee::kSize - size;
}

inline bool flat_read(uint32_t address, void *buffer, uint32_t size) {
  if (!flat_inside(address, size)) return false;
  memcpy(buffer, g_flat.memory + (address - FlatDebuggee::kBase), size);
  return true;
}

inline bool flat_write(uint32_t address, const void *buffer, uint32_t size) {
  if (!flat_inside(address, size)) return false;
  memcpy(g_flat.memory + (address - FlatDebuggee::kBase), buffer, size);
  return true;
}

inline bool flat_read_registers(EvalRegisters *out) {
  *out = g_flat.regs;
  return true;
}

inline bool flat_write_registers(const EvalRegisters *in) {
  g_flat.regs = *in;
  return true;
}

// Values are named as seen from 0x401000.
inline uint32_t flat_reference() { return 0x401000; }

inline const EvalEnvironment kFlatEnvironment = {flat_read, flat_write, flat_read_registers,
                                                 flat_write_registers, flat_reference};
