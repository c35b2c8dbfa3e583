// The followed thread's registers as one record: integer and segment registers, flags,
// instruction pointer, thread block, last error and the first 64 bytes of the FPU stack.
#pragma once
#include <stdint.h>

enum RegisterIndex {
  REG_EAX, REG_EBX, REG_ECX, REG_EDX, REG_EDI, REG_ESI, REG_GS, REG_FS, REG_ES, REG_DS,
  REG_EBP, REG_EIP, REG_CS, REG_EFLAGS, REG_ESP, REG_SS, REG_TIB, REG_LASTERROR,
  REG_WORDS
};
enum { REG_FPU_BYTES = 64 };

struct RegisterSet {
  uint32_t r[REG_WORDS];
  uint8_t fpu[REG_FPU_BYTES];
};
extern RegisterSet g_registers;

// Fills out (zeroed without a debuggee); false when the thread could not be read.
bool registers_read(RegisterSet *out);
// Re-reads the global copy.
bool registers_refresh();
// Applies regs to the followed thread and re-reads the global copy; raises CHG_REGISTERS.
bool registers_write(const RegisterSet *regs);
// Re-reads the registers and gives EIP (0 without a debuggee).
uint32_t registers_ip();
bool registers_set_ip(uint32_t address);
// Lets the next read of the set take the thread block's words from the last read instead
// of reading the block: the stepping engine's promise that the one command the thread is
// about to run cannot write them.
void registers_keep_thread_block();
// Sets or clears the trap flag (EFLAGS bit 8) of the followed thread, touching nothing
// else: the stepping engine calls it at every single step, with the thread held by us
// and g_registers current (every stop and every write reads the set).
bool registers_set_trap_flag(bool on);
