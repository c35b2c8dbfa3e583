// Pages of read-only code kept between the stops of a step. Stepping decodes the
// instruction at every stop, and each read of debuggee memory is a slow round trip to the
// system; a run of steps mostly stays inside one page.
//
// A page is kept only when its protection forbids writing, for a short time (other threads
// of the debuggee run while the followed one is stopped), and everything is forgotten when
// the followed thread runs other than by one trap step of an instruction that is no call
// or interrupt, and when a library comes or goes. Our own writes go into the kept pages.
#pragma once
#include <stdint.h>

// The debuggee's bytes as they are (breakpoints included), as memory_read_raw gives them.
uint32_t code_cache_read(uint32_t address, void *buffer, uint32_t length);
// What memory_write_raw wrote, put into the kept pages.
void code_cache_written(uint32_t address, const void *buffer, uint32_t length);
void code_cache_forget();
