// Debug output of the debuggee copied into the log. The strings that one drain takes are
// gathered and written together: each write of the log reaches the file at once, and a
// debuggee that writes line after line would otherwise pay for that at every line.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Reads size bytes of debuggee memory at address; false when they cannot all be read.
typedef bool (*MemoryReader)(uint32_t address, void *out, size_t size, void *context);

enum { DEBUG_STRING_PIECE = 79, DEBUG_OUTPUT_PENDING = 4096 };
// What one debuggee may write into the log: past it the log's own size limit, which is
// fatal, would end the debugger.
const uint64_t DEBUG_OUTPUT_LIMIT = 256ull << 20;

// Reads the string of length characters (16-bit ones when wide) in pieces of at most 79
// characters, each added as it is to the output waiting for the log; gives the number of
// pieces.
int debug_string_to_log(MemoryReader read, void *context, uint32_t address, uint32_t length,
                        bool wide);
// Starts a debuggee's output budget: up to limit bytes reach the log, the rest is dropped
// after one warning line.
void debug_output_limit(uint64_t limit);
// Writes the waiting output to the log; the drain calls it before any other line can reach
// the log, and when it ends.
void debug_output_flush();
