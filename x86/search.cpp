// The instruction search: a cursor over debuggee memory, the text search that decodes at
// every byte position, and the masked byte-pattern search.
#include "x86/search.h"

#include <string.h>

namespace {

uint32_t page_end(uint32_t address) { return (address | (SEARCH_PAGE - 1)) + 1; }

// Reads a window of up to SEARCH_WINDOW bytes holding address; false when address
// cannot be read.
bool fill_window(SearchCursor *c, uint32_t from, uint32_t address) {
  if (from < c->low) from = c->low;
  // A window that starts on an unreadable page is moved up to the page of address.
  for (;;) {
    uint32_t room = c->high - from;
    int want = room < SEARCH_WINDOW ? (int)room : SEARCH_WINDOW;
    int got = c->reader(from, c->window, want);
    if (got > 0 && address - from < (uint32_t)got) {
      c->window_start = from;
      c->window_count = got;
      return true;
    }
    if (from >= (address & ~(uint32_t)(SEARCH_PAGE - 1))) return false;
    from = address & ~(uint32_t)(SEARCH_PAGE - 1);
    if (from < c->low) from = c->low;
  }
}

}  // namespace

void cursor_start(SearchCursor *c, MemoryReader reader, uint32_t low, uint32_t high,
                  uint32_t address) {
  c->reader = reader;
  c->low = low;
  c->high = high;
  c->address = address;
  c->window_start = 0;
  c->window_count = 0;
  c->started = 0;
  c->stop = nullptr;
}

bool cursor_step(SearchCursor *c, int direction, const uint8_t **bytes, int *valid) {
  uint32_t a = c->address;
  for (;;) {
    if (c->stop && *c->stop) return false;
    if (direction > 0 ? a + 1 >= c->high || a + 1 == 0 : a <= c->low) return false;
    a += direction > 0 ? 1 : (uint32_t)-1;
    if (a < c->low) a = c->low;
    uint32_t end = c->window_start + (uint32_t)c->window_count;
    bool inside = a >= c->window_start && a < end &&
                  (end - a >= SEARCH_BYTES || end == c->high || c->window_count < SEARCH_WINDOW);
    if (!inside) {
      uint32_t from = direction > 0 ? a : (a + SEARCH_BYTES > SEARCH_WINDOW ? a + SEARCH_BYTES - SEARCH_WINDOW : 0);
      if (!fill_window(c, from, a)) {
        // Unreadable: forward jumps past the page, backward to the byte below it.
        if (direction > 0) {
          uint32_t next = page_end(a);
          if (next == 0 || next >= c->high) return false;
          a = next - 1;
        } else {
          a &= ~(uint32_t)(SEARCH_PAGE - 1);
        }
        c->window_count = 0;
        continue;
      }
      end = c->window_start + (uint32_t)c->window_count;
    }
    c->address = a;
    *bytes = c->window + (a - c->window_start);
    *valid = end - a < SEARCH_BYTES ? (int)(end - a) : SEARCH_BYTES;
    return true;
  }
}

bool search_command_text(const char *text, uint32_t start, int direction, MemoryReader reader,
                         uint32_t low, uint32_t high, uint32_t *found, int *length) {
  SearchCursor c;
  DisasmResult d;
  if (direction > 0) {
    // Start on the last byte of the current command, so that the first step is past it.
    uint8_t bytes[SEARCH_BYTES];
    int count = reader(start, bytes, SEARCH_BYTES);
    int n = count > 0 ? decode_command(bytes, count, start, &d, DECODE_ANALYSE) : 1;
    start += (uint32_t)(n > 0 ? n - 1 : 0);
  }
  cursor_start(&c, reader, low, high, start);
  int saved_tabs = g_decoder_options.tab_arguments;
  g_decoder_options.tab_arguments = 0;
  bool hit = false;
  const uint8_t *bytes;
  int valid;
  while (!hit && cursor_step(&c, direction, &bytes, &valid)) {
    int n = decode_command(bytes, valid, c.address, &d, DECODE_SYMBOLIC);
    if (n > 0 && strstr(d.text, text)) {
      hit = true;
      *found = c.address;
      *length = n;
    }
  }
  g_decoder_options.tab_arguments = saved_tabs;
  return hit;
}

namespace {

enum { CHUNK = 1 << 16 };

bool matches(const CodePattern &p, const uint8_t *at) {
  for (int i = 0; i < p.length; i++)
    if ((at[i] ^ p.code[i]) & p.mask[i]) return false;
  return true;
}

// The first fully fixed byte of the pattern: memchr can run on it; -1 when none.
int anchor_of(const CodePattern &p) {
  for (int i = 0; i < p.length; i++)
    if (p.mask[i] == 0xFF) return i;
  return -1;
}

// Scans buffer positions [first, last] in direction; gives the match's index or -1.
long scan(const CodePattern &p, int anchor, const uint8_t *buffer, long first, long last, int direction) {
  if (direction > 0 && anchor >= 0) {
    for (long i = first; i <= last;) {
      const uint8_t *hit = (const uint8_t *)memchr(buffer + i + anchor, p.code[anchor], (size_t)(last - i + 1));
      if (!hit) return -1;
      i = hit - buffer - anchor;
      if (matches(p, buffer + i)) return i;
      i++;
    }
    return -1;
  }
  for (long i = first; direction > 0 ? i <= last : i >= last; i += direction)
    if ((anchor < 0 || buffer[i + anchor] == p.code[anchor]) && matches(p, buffer + i)) return i;
  return -1;
}

}  // namespace

bool search_pattern(const CodePattern &pattern, uint32_t start, int direction, MemoryReader reader,
                    uint32_t low, uint32_t high, uint32_t *found) {
  int length = pattern.length;
  if (length < 1 || length > SEARCH_BYTES || high - low < (uint32_t)length) return false;
  int anchor = anchor_of(pattern);
  static uint8_t buffer[CHUNK + SEARCH_BYTES];
  // Chunks overlap by length - 1 bytes so that no match is cut in two.
  uint64_t last_start = (uint64_t)high - (uint64_t)length;  // last address a match may start at
  if (direction > 0) {
    for (uint64_t a = (uint64_t)start + 1 < low ? low : (uint64_t)start + 1; a <= last_start;) {
      uint64_t want = last_start - a + (uint64_t)length;
      if (want > (uint64_t)(CHUNK + length - 1)) want = (uint64_t)(CHUNK + length - 1);
      int got = reader((uint32_t)a, buffer, (int)want);
      if (got < length) {
        // The byte after the readable part is not: go on at the next page.
        a = page_end((uint32_t)(a + (uint64_t)got));
        if (a == 0) return false;
        continue;
      }
      long i = scan(pattern, anchor, buffer, 0, got - length, 1);
      if (i >= 0) {
        *found = (uint32_t)(a + (uint64_t)i);
        return true;
      }
      a += (uint64_t)(got - length + 1);
    }
    return false;
  }
  int64_t a_end = (int64_t)start - 1;  // last start address to try, going down
  if (a_end > (int64_t)last_start) a_end = (int64_t)last_start;
  while (a_end >= (int64_t)low) {
    int64_t a = a_end - CHUNK + 1;
    if (a < (int64_t)low) a = low;
    int want = (int)(a_end - a) + length;
    int got = reader((uint32_t)a, buffer, want);
    if (got < want) {
      // Part of the chunk cannot be read: take it a page at a time.
      uint32_t page = (uint32_t)a_end & ~(uint32_t)(SEARCH_PAGE - 1);
      if ((int64_t)page > a) {
        a = page;
        want = (int)(a_end - a) + length;
        got = reader((uint32_t)a, buffer, want);
      }
      if (got < length) {
        a_end = a - 1;
        continue;
      }
    }
    long i = scan(pattern, anchor, buffer, got - length < a_end - a ? got - length : (long)(a_end - a), 0, -1);
    if (i >= 0) {
      *found = (uint32_t)(a + i);
      return true;
    }
    a_end = a - 1;
  }
  return false;
}
