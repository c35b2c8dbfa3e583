// The code panel's search walk over the readable runs of the debuggee's memory.
#include "ui/panels/code/code_panel_search.h"

#include <ctype.h>
#include <string.h>

#include "x86/assemble.h"

namespace {

// The words that leave an operand open; written in capitals they ask for a pattern.
const char *const kOpenWords[] = {"CONST", "OFFSET", "R8", "R16", "R32", "FPU", "MMX", "CRX", "DRX"};

bool names_open_operand(const char *text) {
  for (const char *p = text; *p;) {
    if (!isalnum((unsigned char)*p)) {
      p++;
      continue;
    }
    const char *word = p;
    while (isalnum((unsigned char)*p) || *p == '_') p++;
    for (const char *open : kOpenWords)
      if ((size_t)(p - word) == strlen(open) && !strncmp(word, open, strlen(open))) return true;
  }
  return false;
}

// Where the walk stands: the run being searched and how far it has come.
struct Walk {
  CodeSearch *search;
  uint32_t start;
  int direction;
  uint32_t low, high;  // the current run
};

// The next run that way, false when none is left or the search was stopped. The walk
// leaves out the address space's last byte, where nothing is ever mapped.
bool next_run(Walk *w, uint32_t from) {
  if (w->search->stop || !w->search->runs(from, w->direction, &w->low, &w->high)) return false;
  if (!w->high) w->high = 0xFFFFFFFFu;
  return true;
}

// Run after the current one (forward) or before it (backward).
bool step_run(Walk *w) {
  if (w->direction > 0) return w->high != 0xFFFFFFFFu && next_run(w, w->high);
  return w->low && next_run(w, w->low - 1);
}

void tick(Walk *w, uint32_t address) {
  const uint32_t room = w->direction > 0 ? 0xFFFFFFFFu - w->start : w->start;
  const uint32_t done = w->direction > 0 ? address - w->start : w->start - address;
  const int permille = room ? (int)((uint64_t)done * 1000 / room) : 1000;
  w->search->tick(w->search, address, permille);
}

// The text search in one run, from at (exclusive) in the walk's direction.
bool text_in_run(Walk *w, const char *text, uint32_t at, uint32_t *found, int *length) {
  SearchCursor c;
  cursor_start(&c, w->search->reader, w->low, w->high, at);
  c.stop = &w->search->stop;
  DisasmResult d;
  const uint8_t *bytes;
  int valid;
  for (uint32_t steps = 1; cursor_step(&c, w->direction, &bytes, &valid); steps++) {
    const int n = decode_command(bytes, valid, c.address, &d, DECODE_SYMBOLIC);
    if (n > 0 && strstr(d.text, text)) {
      *found = c.address;
      *length = n;
      return true;
    }
    if (steps % CODE_SEARCH_TICK == 0) tick(w, c.address);
  }
  return false;
}

// The nearest match of any encoding in the search's window.
bool nearest_match(void *context, uint32_t start, int direction, MemoryReader reader,
                   uint32_t low, uint32_t high, uint32_t *found, int *length) {
  const CodePatterns &set = *(const CodePatterns *)context;
  bool hit = false;
  for (int k = 0; k < set.count; k++) {
    const CodePattern &p = set.patterns[k];
    uint32_t at;
    if (!search_pattern(p, start, direction, reader, low, high, &at)) continue;
    if (!hit || (direction > 0 ? at < *found : at > *found)) {
      *found = at;
      *length = p.length;
    }
    hit = true;
  }
  return hit;
}

// A byte search in one run, a piece of CODE_PATTERN_PIECE bytes between ticks; the pieces
// overlap by the longest match less one byte so that no match is cut in two.
bool bytes_in_run(Walk *w, const CodeFinder &finder, uint32_t at, uint32_t *found, int *length) {
  const uint32_t reach = finder.reach;
  MemoryReader reader = w->search->reader;
  if (w->direction > 0) {
    for (uint32_t from = at + 1 > w->low ? at + 1 : w->low; from < w->high;) {
      const uint32_t to = w->high - from > CODE_PATTERN_PIECE + reach ? from + CODE_PATTERN_PIECE + reach
                                                                      : w->high;
      // The finder looks past its start address; low bounds it from below, and a match
      // must start inside the piece.
      if (finder.find(finder.context, from - 1, 1, reader, from, to, found, length) &&
          (to == w->high || *found < from + CODE_PATTERN_PIECE))
        return true;
      tick(w, from);
      if (w->search->stop || to == w->high) return false;
      from += CODE_PATTERN_PIECE;
    }
    return false;
  }
  for (uint32_t to = at; to > w->low;) {
    const uint32_t from = to - w->low > CODE_PATTERN_PIECE ? to - CODE_PATTERN_PIECE : w->low;
    const uint32_t end = w->high - to > reach ? to + reach : w->high;
    if (finder.find(finder.context, to, -1, reader, from, end, found, length)) return true;
    tick(w, from);
    if (w->search->stop) return false;
    to = from;
  }
  return false;
}

// The walk over the runs from start, each searched from at (exclusive) by one of the two.
bool walk_runs(CodeSearch *search, uint32_t start, int direction, const char *text,
               const CodeFinder *finder, uint32_t *found, int *length) {
  Walk w = {search, start, direction, 0, 0};
  bool hit = false;
  for (bool more = next_run(&w, start); more && !hit; more = step_run(&w)) {
    // In the first run the walk goes on from start; in later ones from their edge.
    const bool first = start >= w.low && start < w.high;
    const uint32_t at = first ? start : direction > 0 ? w.low - 1 : w.high;
    hit = finder ? bytes_in_run(&w, *finder, at, found, length)
                 : text_in_run(&w, text, at, found, length);
  }
  return hit;
}

// Committed and neither no-access nor a guard page.
bool readable(const MemoryRegion &r) {
  enum { COMMITTED = 0x1000, NO_ACCESS = 0x01, GUARD = 0x100 };
  return r.state == COMMITTED && r.protect && !(r.protect & (NO_ACCESS | GUARD));
}

uint32_t region_end(const MemoryRegion &r) { return r.base + r.size; }

}  // namespace

bool code_readable_run(const MemoryRegion *regions, int count, uint32_t address, int direction,
                       uint32_t *low, uint32_t *high) {
  // The first readable region that way from address.
  int i = -1;
  if (direction > 0) {
    for (int k = 0; k < count && i < 0; k++)
      if (readable(regions[k]) && (region_end(regions[k]) > address || !region_end(regions[k])))
        i = k;
  } else {
    for (int k = count - 1; k >= 0 && i < 0; k--)
      if (readable(regions[k]) && regions[k].base <= address) i = k;
  }
  if (i < 0) return false;
  int first = i, last = i;
  while (first > 0 && readable(regions[first - 1]) && region_end(regions[first - 1]) == regions[first].base)
    first--;
  while (last + 1 < count && readable(regions[last + 1]) && region_end(regions[last]) == regions[last + 1].base)
    last++;
  *low = regions[first].base;
  *high = region_end(regions[last]);
  return true;
}

bool code_search_patterns(const char *text, CodePatterns *out) {
  out->count = 0;
  if (!names_open_operand(text)) return false;
  const int kSizes[] = {0, ASM_SHORT_DISPLACEMENT | ASM_SHORT_IMMEDIATE};
  for (int match = 0; out->count + 2 <= CODE_PATTERNS; match++) {
    int made = 0;
    for (int sizes : kSizes) {
      AsmResult r;
      char error[ASM_ERROR_TEXT];
      if (assemble_command(text, 0, &r, match, sizes, error) <= 0) continue;
      CodePattern *p = &out->patterns[out->count];
      memcpy(p->code, r.code, sizeof p->code);
      memcpy(p->mask, r.mask, sizeof p->mask);
      p->length = r.length;
      made++;
      // The short form is often the long one again.
      if (out->count == 0 || memcmp(p, p - 1, sizeof *p)) out->count++;
    }
    if (!made) break;
  }
  return out->count > 0;
}

bool code_search(CodeSearch *search, const char *text, uint32_t start, int direction,
                 uint32_t *found, int *length) {
  CodePatterns patterns;
  const bool by_pattern = code_search_patterns(text, &patterns);
  if (direction > 0) {
    // From the last byte of the command at start, so that the first step is past it.
    uint8_t bytes[SEARCH_BYTES];
    DisasmResult d;
    const int count = search->reader(start, bytes, SEARCH_BYTES);
    const int n = count > 0 ? decode_command(bytes, count, start, &d, DECODE_ANALYSE) : 1;
    start += (uint32_t)(n > 1 ? n - 1 : 0);
  }
  const int saved_tabs = g_decoder_options.tab_arguments;
  g_decoder_options.tab_arguments = 0;
  const CodeFinder finder = {nearest_match, &patterns, SEARCH_BYTES - 1};
  const bool hit = walk_runs(search, start, direction, text, by_pattern ? &finder : nullptr,
                             found, length);
  g_decoder_options.tab_arguments = saved_tabs;
  return hit;
}

bool code_search_bytes(CodeSearch *search, const CodeFinder *finder, uint32_t start,
                       int direction, uint32_t *found, int *length) {
  return walk_runs(search, start, direction, nullptr, finder, found, length);
}
