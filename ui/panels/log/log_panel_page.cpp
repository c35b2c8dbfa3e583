#include "ui/panels/log/log_panel_page.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Lines are counted in pieces of this size: a go-to on a large file is a read per piece,
// not per line.
enum { PIECE = 4096, SEARCH_BYTES = KQ_PATH - 1 };

int find(const char *text, int length, const char *what, int what_length) {
  for (int i = 0; i + what_length <= length; i++)
    if (!memcmp(text + i, what, what_length)) return i;
  return -1;
}

}  // namespace

int log_step_forward(const LogSource *src, uint64_t pos, int n, uint64_t *out) {
  char piece[PIECE];
  int passed = 0;
  while (passed < n) {
    const int got = src->read(src->context, pos, piece, PIECE);
    if (got <= 0) break;
    for (int i = 0; i < got; i++)
      if (piece[i] == '\n' && ++passed == n) {
        *out = pos + i + 1;
        return passed;
      }
    pos += got;
  }
  *out = pos;
  return passed;
}

// The line feed just before a line start belongs to the line above: n lines back are n + 1
// line feeds passed.
int log_step_back(const LogSource *src, uint64_t pos, int n, uint64_t *out) {
  char piece[PIECE];
  int feeds = 0;
  while (pos > 0) {
    const int want = pos < PIECE ? (int)pos : PIECE;
    const uint64_t from = pos - want;
    if (src->read(src->context, from, piece, want) != want) break;
    for (int i = want - 1; i >= 0; i--)
      if (piece[i] == '\n' && ++feeds == n + 1) {
        *out = from + i + 1;
        return n;
      }
    pos = from;
  }
  *out = 0;
  return feeds;
}

uint64_t log_line_start(const LogSource *src, uint64_t pos) {
  uint64_t start = 0;
  log_step_back(src, pos, 0, &start);
  return start;
}

uint64_t log_last_page_top(const LogSource *src, uint64_t size, int lines) {
  if (!size) return 0;
  uint64_t top = 0;
  log_step_back(src, log_line_start(src, size - 1), lines > 1 ? lines - 1 : 0, &top);
  return top;
}

bool log_read_line(const LogSource *src, uint64_t start, uint64_t size, LogLine *line) {
  if (start >= size) return false;
  const int got = src->read(src->context, start, line->text, KQ_PATH + 1);
  if (got <= 0) return false;
  const char *feed = (const char *)memchr(line->text, '\n', got);
  line->start = start;
  line->longer = !feed && got > KQ_PATH;
  line->length = feed ? (int)(feed - line->text) : line->longer ? KQ_PATH : got;
  if (line->longer) log_step_forward(src, start, 1, &line->next);
  else line->next = start + line->length + (feed ? 1 : 0);
  if (!line->longer && line->length && line->text[line->length - 1] == '\r') line->length--;
  line->text[line->length] = 0;
  line->last = line->next >= size;
  return true;
}

int log_read_page(const LogSource *src, const LogView *view, LogLine *lines, int max) {
  int count = 0;
  uint64_t pos = view->top;
  while (count < max && log_read_line(src, pos, view->size, &lines[count]))
    pos = lines[count++].next;
  return count;
}

void log_clamp(const LogSource *src, LogView *view) {
  const uint64_t last = log_last_page_top(src, view->size, view->lines);
  if (view->top >= last) view->follow = true;
  if (view->follow) view->top = last;
}

bool log_refresh(const LogSource *src, LogView *view) {
  const uint64_t size = src->size(src->context);
  if (size == view->size) return false;
  view->size = size;
  log_clamp(src, view);
  return true;
}

void log_scroll_lines(const LogSource *src, LogView *view, int n) {
  view->follow = false;
  if (n > 0) log_step_forward(src, view->top, n, &view->top);
  else if (n < 0) log_step_back(src, view->top, -n, &view->top);
  log_clamp(src, view);
}

void log_go_start(const LogSource *src, LogView *view) {
  view->follow = false;
  view->top = 0;
  log_clamp(src, view);
}

void log_go_end(const LogSource *src, LogView *view) {
  view->follow = false;
  view->top = view->size;
  log_clamp(src, view);
}

bool log_go_to(const LogSource *src, LogView *view, const char *text) {
  while (*text == ' ') text++;
  const bool percent = *text == '%';
  if (percent) text++;
  char *end = nullptr;
  unsigned long number = strtoul(text, &end, 10);
  if (end == text) return false;
  view->follow = false;
  if (percent) {
    if (number > 100) number = 100;
    view->top = log_line_start(src, view->size * number / 100);
  } else {
    log_step_forward(src, 0, number > 1 ? (int)(number - 1) : 0, &view->top);
  }
  log_clamp(src, view);
  return true;
}

bool log_search(const LogSource *src, LogView *view, const char *text, bool forward) {
  const int length = (int)strlen(text);
  if (!length) return false;
  uint64_t pos = view->top;
  LogLine line;
  if (forward && !log_read_line(src, pos, view->size, &line)) return false;
  if (forward) pos = line.next;
  for (;;) {
    if (!forward && (!pos || log_step_back(src, pos, 1, &pos) < 1)) return false;
    if (!log_read_line(src, pos, view->size, &line)) return false;
    const int shown = line.length < SEARCH_BYTES ? line.length : SEARCH_BYTES;
    const int at = find(line.text, shown, text, length);
    if (at >= 0) {
      view->follow = false;
      view->top = pos;
      view->select_start = pos + at;
      view->select_end = pos + at + length;
      log_clamp(src, view);
      return true;
    }
    if (forward) pos = line.next;
  }
}
