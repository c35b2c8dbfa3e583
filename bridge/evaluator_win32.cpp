#include "bridge/evaluator_win32.h"

#include <string.h>

#include "engine/address_eval.h"
#include "engine/memory.h"
#include "engine/registers.h"
#include "symbols/address_name.h"
#include "symbols/eval/expression.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/symbols.h"
#include "x86/assemble.h"

// The evaluator's register rows in the engine's register record.
static const RegisterIndex kRows[ER_COUNT] = {
    REG_EAX, REG_EBX, REG_ECX, REG_EDX, REG_ESI, REG_EDI, REG_EBP, REG_ESP, REG_EIP,
    REG_EFLAGS, REG_CS, REG_DS, REG_SS, REG_ES, REG_FS, REG_GS, REG_TIB, REG_LASTERROR};

static bool read_memory(uint32_t address, void *buffer, uint32_t size) {
  return memory_read(address, buffer, size) == size;
}

static bool write_memory(uint32_t address, const void *buffer, uint32_t size) {
  return memory_write_checked(address, buffer, size) == size;
}

// The engine keeps the first 64 bytes of the FPU stack; the rest reads as zero.
static bool read_registers(EvalRegisters *out) {
  RegisterSet regs;
  if (!registers_read(&regs)) return false;
  for (int i = 0; i < ER_COUNT; i++) out->r[i] = regs.r[kRows[i]];
  memset(out->st, 0, sizeof out->st);
  memcpy(out->st, regs.fpu, sizeof regs.fpu < sizeof out->st ? sizeof regs.fpu : sizeof out->st);
  return true;
}

static bool write_registers(const EvalRegisters *in) {
  RegisterSet regs;
  if (!registers_read(&regs)) return false;
  for (int i = 0; i < ER_COUNT; i++) regs.r[kRows[i]] = in->r[i];
  memcpy(regs.fpu, in->st, sizeof regs.fpu);
  return registers_write(&regs);
}

static uint32_t reference() { return g_registers.r[REG_EIP]; }

static const EvalEnvironment kEnvironment = {read_memory, write_memory, read_registers,
                                             write_registers, reference};

static void name_address(uint32_t address, char *out, size_t outlen) {
  address_name(reference(), address, true, out, outlen);
}

// The addresses of the source line holding address: from its line's address up to the
// next line's (or the end of the source's code).
static bool line_range(uint32_t address, uint32_t *start, uint32_t *end) {
  *start = *end = 0;
  const SourceRecord *s = source_of_address(address);
  if (!s || !s->line_count) return false;
  int i = s->line_count - 1;
  while (i >= 0 && s->lines[i].address > address) i--;
  if (i < 0) return false;
  *start = s->lines[i].address;
  *end = s->high;
  for (int j = i + 1; j < s->line_count; j++)
    if (s->lines[j].address > *start) {
      *end = s->lines[j].address;
      break;
    }
  return true;
}

static bool have_sources() { return sources_count() > 0; }

static int assembler_constant(const char *name, uint32_t *address) {
  *address = expression_symbol_address(name);
  return *address != 0;
}

static bool module_starts_at(uint32_t address) {
  const ModuleRecord *m = module_by_address(address);
  return m && m->base == address;
}

static const AddressEvaluator kEvaluator = {expression_address, expression_locate,
                                            expression_condition, name_address, line_range,
                                            have_sources, symbol_has_debug_info,
                                            module_starts_at, expression_reads_registers};

void evaluator_install() {
  expression_set_environment(&kEnvironment);
  address_eval_install(&kEvaluator);
  set_symbol_resolver(assembler_constant);
}

void evaluator_remove() {
  set_symbol_resolver(nullptr);
  address_eval_install(nullptr);
  expression_set_environment(nullptr);
}
