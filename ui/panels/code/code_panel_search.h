// The code panel's search walk: by a piece of command text, or by an assembled pattern
// when the text names open operands (CONST, R32 ...), over the readable runs of memory
// only, with a tick for the progress window that can stop it.
#pragma once
#include <stdint.h>

#include "engine/regions.h"
#include "x86/disasm.h"
#include "x86/search.h"

// The readable run of memory at or after address (forward), or at or before it (backward):
// adjacent readable regions joined, [low, high) with high 0 for the end of the address
// space. False when there is none that way.
typedef bool (*ReadableRun)(uint32_t address, int direction, uint32_t *low, uint32_t *high);

// The readable run of a memory map (regions in address order, as the system gives them).
bool code_readable_run(const MemoryRegion *regions, int count, uint32_t address, int direction,
                       uint32_t *low, uint32_t *high);

struct CodeSearch {
  MemoryReader reader;
  ReadableRun runs;
  // Called now and then with the address reached and the part of the way done (0..1000);
  // it may set stop.
  void (*tick)(CodeSearch *search, uint32_t address, int permille);
  void *owner;
  volatile int stop;
};

// Bytes between ticks: small enough that Escape is answered at once, large enough that
// the ticks cost nothing beside the decoding.
enum { CODE_SEARCH_TICK = 4096, CODE_PATTERN_PIECE = 1 << 18 };

// Every encoding of an assembled pattern: each table row that fits, long and short forms.
enum { CODE_PATTERNS = 16 };
struct CodePatterns {
  CodePattern patterns[CODE_PATTERNS];
  int count;
};

// A search for bytes inside [low, high): the nearest match after start (direction 1) or
// before it (-1), with its length; reach is the longest match less one byte.
struct CodeFinder {
  bool (*find)(void *context, uint32_t start, int direction, MemoryReader reader, uint32_t low,
               uint32_t high, uint32_t *found, int *length);
  void *context;
  uint32_t reach;
};

// Whether the text asks for a pattern (it names an open operand, which the lower-case
// command text never shows); its encodings, false when it does not assemble.
bool code_search_patterns(const char *text, CodePatterns *out);
// Searches from start (forward: past the command at start; backward: below start) for a
// command whose text holds text, or for the pattern when the text is one. Gives true with
// the address and length found; false when nothing is found or the search was stopped.
bool code_search(CodeSearch *search, const char *text, uint32_t start, int direction,
                 uint32_t *found, int *length);
// The finder's walk over the readable runs from start (exclusive), as the pattern search
// walks them; false when nothing is found or the search was stopped.
bool code_search_bytes(CodeSearch *search, const CodeFinder *finder, uint32_t start,
                       int direction, uint32_t *found, int *length);
