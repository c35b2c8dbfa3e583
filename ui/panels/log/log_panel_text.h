// The log panel's words and document: the kinds of lines from the filter words of the
// LogFilter setting, and the shown page written as rich text, free of windows.
#pragma once
#include <stdint.h>

#include "ui/panels/log/log_panel_page.h"
#include "ui/rich_text/rich_text_records.h"

enum { LOG_FILTER_WORDS = 32, LOG_KINDS = 4 };

// Kinds: 0 error, 1 warning, 2 information, 3 any other word.
struct LogFilterWord {
  char word[KQ_PATH];
  int length, kind;
};
struct LogFilter {
  LogFilterWord words[LOG_FILTER_WORDS];
  int count;
};

// Colours (0x00BBGGRR).
enum : uint32_t { LOG_TEXT = 0x646464, LOG_NUMBER = 0x9B00, LOG_LINK = 0 };
extern const uint32_t kLogKindPaper[LOG_KINDS];

// Splits text at commas, trims the blanks round each word and drops empty ones; gives the
// number of words kept (at most LOG_FILTER_WORDS).
int log_parse_filter(LogFilter *filter, const char *text);
// The kind of a line: at its first letter or digit (which must start the line or follow
// white space), the first filter word the text begins with, followed by no letter or digit.
// The number field that opens each line of kq's own log is passed over. -1 for none.
int log_line_kind(const LogFilter *filter, const char *text, int length);

// The filter dialog's rows: every line of the file from its start (at most 259 bytes of
// each) that has a kind, with its number counted from 0 over all lines, its start and its
// text with every character below 32 made a blank. Gives the number of rows.
struct LogFilterRow {
  int number, kind;
  uint64_t start;
  const char *text;
};
int log_filter_rows(const LogSource *src, uint64_t size, const LogFilter *filter,
                    void (*row)(void *context, const LogFilterRow *r), void *context);

struct LogStyle {
  const LogFilter *filter;
  bool hyperlink_symbols;  // runs starting with a letter may name entries, not only '_'
  // The entry a name stands for (its handle), 0 for none.
  uint32_t (*find_entry)(void *context, const char *name);
  void *context;
  RichHandle line_mark, longer_mark, last_mark;  // 0: none drawn
};

// Clears dd and writes the lines: each tinted by its kind, marked, its text 16 pixels in,
// names of entries as links, numbers in their colour, a run of NULs as one "?"; each
// line's parameter is its start position (the low 32 bits).
void log_write_page(RichText *dd, const LogLine *lines, int count, const LogStyle *style);
