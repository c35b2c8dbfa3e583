// Whether one command may write memory other than the stack below ESP: the stepping engine
// keeps what it last read of the thread's own block across a trap step of a command that
// cannot have changed it. Errs towards yes.
#pragma once
#include <stdint.h>

// True for a command with an explicit memory operand that it may write (a load, compare or
// test only reads), a string or masked store, a call, interrupt, system entry or return
// from one, a load of SS (the next command runs under the same trap), and bytes that do
// not decode. Pushes and the other stack-only writes give false.
bool command_may_write_memory(const uint8_t *bytes, int count, uint32_t address);
