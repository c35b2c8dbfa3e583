// What the system tells about one thread of the debuggee: its CPU time and its last
// system error.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Address of the thread's information block in the debuggee. The native query comes
// first: the selector query answers with the debugger's own block under Wine.
bool thread_block(void *thread, uint32_t *address);
// A CPU time the system could not tell.
const uint64_t CPU_TIME_UNKNOWN = UINT64_MAX;
// User plus kernel time in 100 ns units; CPU_TIME_UNKNOWN when the query fails.
uint64_t thread_cpu_time(void *thread);
// The thread's last-error value, read from its thread block in the debuggee.
bool thread_last_error(void *process, void *thread, uint32_t *value);
// The system's message text for an error code, cut at its first line end; false when the
// system has none.
bool error_text(uint32_t code, char *out, size_t outlen);
