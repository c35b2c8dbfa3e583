// Finding commands in the debuggee's memory, read through a MemoryReader: by a piece of
// their disassembly text, or by an assembled pattern whose mask leaves bits open.
#pragma once
#include <stdint.h>

#include "x86/disasm.h"

enum { SEARCH_WINDOW = 2048, SEARCH_BYTES = 16, SEARCH_TEXT = 260, SEARCH_PAGE = 4096 };

// Moves over memory one byte at a time, keeping a window of bytes read; an address the
// reader cannot read skips the rest of its page.
struct SearchCursor {
  MemoryReader reader;
  uint32_t low, high;  // the addresses searched, [low, high)
  uint32_t address;    // current position
  uint32_t window_start;
  int window_count;
  int started;
  const volatile int *stop;  // set from elsewhere to end the search; may be null
  uint8_t window[SEARCH_WINDOW];
};

void cursor_start(SearchCursor *c, MemoryReader reader, uint32_t low, uint32_t high,
                  uint32_t address);
// Steps by direction (+1 or -1) to the next readable byte; gives false at the end of the
// range or when stopped, else the bytes there and how many of them (up to 16) are valid.
bool cursor_step(SearchCursor *c, int direction, const uint8_t **bytes, int *valid);

// Searches from start (forward: from the command after the one at start; backward: from
// start - 1) for a command whose text (lower case, one blank after the mnemonic) contains
// text. Gives true with its address and length.
bool search_command_text(const char *text, uint32_t start, int direction, MemoryReader reader,
                         uint32_t low, uint32_t high, uint32_t *found, int *length);

// A byte pattern: where mask has 1 bits the memory must equal code.
struct CodePattern {
  uint8_t code[SEARCH_BYTES];
  uint8_t mask[SEARCH_BYTES];
  int length;
};

// The first place after start (forward) or before it (backward) where pattern matches,
// looking at [low, high) only.
bool search_pattern(const CodePattern &pattern, uint32_t start, int direction, MemoryReader reader,
                    uint32_t low, uint32_t high, uint32_t *found);
