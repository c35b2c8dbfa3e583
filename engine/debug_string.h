// Debug output of the debuggee copied into the log.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Reads size bytes of debuggee memory at address; false when they cannot all be read.
typedef bool (*MemoryReader)(uint32_t address, void *out, size_t size, void *context);

enum { DEBUG_STRING_PIECE = 79 };

// Writes the string of length characters (16-bit ones when wide) to the log as it is, in
// pieces of at most 79 characters; gives the number of pieces written.
int debug_string_to_log(MemoryReader read, void *context, uint32_t address, uint32_t length,
                        bool wide);
