// The log panel's view of a text file that may be large and may grow while it is shown:
// only a top byte position is kept, and only the lines of the shown page are read, through
// a reader seam, so the same code runs on a Win32 handle and on host test files.
#pragma once
#include <stdint.h>

#include "util/path.h"

// Reads the file. read gives the bytes read at offset (fewer at the end, 0 past it or on
// failure); size gives the file's size now.
struct LogSource {
  void *context;
  int (*read)(void *context, uint64_t offset, char *out, int count);
  uint64_t (*size)(void *context);
};

// The page: the top line's position, the size last seen and whether growth keeps the end
// in view. lines is the page's height in lines (at least 1).
struct LogView {
  uint64_t size, top;
  bool follow;
  int lines;
  uint64_t select_start, select_end;  // the found text, in file bytes
};

// One shown line: at most 260 bytes from its start; longer when the line went on.
struct LogLine {
  uint64_t start, next;  // next: where the following line starts
  char text[KQ_PATH + 1];
  int length;
  bool longer, last;  // last: the file's last line
};

// Moves a byte position by n lines: forward, just after the n-th line feed (or at the
// end); backward, to the start of the n-th line before the one holding pos (or 0).
// Gives the lines actually passed.
int log_step_forward(const LogSource *src, uint64_t pos, int n, uint64_t *out);
int log_step_back(const LogSource *src, uint64_t pos, int n, uint64_t *out);
// The start of the line that holds pos.
uint64_t log_line_start(const LogSource *src, uint64_t pos);
// The top of the last page: the page's height in lines up to the line of the last byte.
uint64_t log_last_page_top(const LogSource *src, uint64_t size, int lines);

// Reads the line that starts at start, as the page shows it (a final CR is dropped); false
// at or past the end.
bool log_read_line(const LogSource *src, uint64_t start, uint64_t size, LogLine *line);
// Reads up to max lines from the view's top; gives their number.
int log_read_page(const LogSource *src, const LogView *view, LogLine *lines, int max);

// Holds the top within the file: a top at or past the last page's top follows the end
// from then on, and a following view stays on the last page.
void log_clamp(const LogSource *src, LogView *view);
// Reads the size again; true when it changed (the page must be read again).
bool log_refresh(const LogSource *src, LogView *view);

// Explicit moves: each stops following first and clamps after.
void log_scroll_lines(const LogSource *src, LogView *view, int n);  // negative: up
void log_go_start(const LogSource *src, LogView *view);
void log_go_end(const LogSource *src, LogView *view);
// "%p" goes to the line at p percent of the size, a number n to line n (from 1); false
// for a text that is neither.
bool log_go_to(const LogSource *src, LogView *view, const char *text);
// From the line after (or before) the top, each line's first 259 bytes are searched for
// text (case-sensitive); a hit makes that line the top and selects it. False when no line
// holds it; the view is then unchanged.
bool log_search(const LogSource *src, LogView *view, const char *text, bool forward);
