// The memory one command is about to write, worked out before it runs from its bytes and
// the registers: stores through any addressing form, the stack writes of pushes, calls
// and ENTER, string commands with their repeat count and direction, FPU and MMX stores.
#pragma once
#include <stdint.h>

struct StoreContext {
  uint32_t reg[8];           // EAX, ECX, EDX, EBX, ESP, EBP, ESI, EDI
  uint32_t eflags;
  uint32_t segment_base[6];  // ES, CS, SS, DS, FS, GS
  // The command runs under the trap flag, which stops a repeated string command after
  // each repeat: only the next repeat's writes are foreseen.
  bool one_repeat;
};

struct StoreRange {
  uint32_t address, length;
};

enum {
  STORE_RANGES = 2,     // the most ranges one command writes
  STORES_UNKNOWN = -1,  // the command enters the system, whose writes cannot be foreseen
};

// Fills out with the ranges the command in bytes[0..count) at address writes when run
// once (a repeated string command: all its repeats, or the next one under one_repeat);
// gives their number, 0 when it writes nothing (it only reads, or faults before any write), or STORES_UNKNOWN.
// When one_repeat cut a repeated string store short, *cut (if given) gets the mask of its
// repeat counter (0xFFFF for CX under 16-bit addressing), else 0: the counter must be
// exactly one lower at the trap, or more repeats ran than the ranges hold.
int command_stores(const uint8_t *bytes, int count, uint32_t address, const StoreContext &context,
                   StoreRange out[STORE_RANGES], uint32_t *cut = nullptr);
