// The source panel's text and documents, free of windows: the C colouring scanner, the
// gutter and text documents with each code line's address as its line parameter, the
// choice between a source file and a module's dump text, and the line moves and searches.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/sources.h"
#include "ui/rich_text/rich_text_records.h"
#include "util/path.h"

// Colours (0x00BBGGRR).
enum : uint32_t { SOURCE_LINK = 0x500000, SOURCE_COMMENT = 0xA000 };

enum SourceTokenKind {
  SOURCE_END,
  SOURCE_EOL,
  SOURCE_COMMENT_TOKEN,
  SOURCE_SPACE,
  SOURCE_PREPROCESSOR,
  SOURCE_LITERAL,
  SOURCE_IDENTIFIER,
  SOURCE_PUNCTUATION
};

// The scanner's place; depth and quote carry a comment or a string across line feeds.
struct SourceScanner {
  const char *text;
  int pos;
  int depth;   // open "/*" comments
  char quote;  // the quote of an open string, 0 for none
};
struct SourceToken {
  int kind;
  int start, length;
};

void source_scan_start(SourceScanner *s, const char *text);
// The next token; SOURCE_END at the terminating NUL.
SourceToken source_scan(SourceScanner *s);

// The gutter's marks: each line with code gets the code mark, a breakpoint at its address
// the breakpoint mark 4 pixels right of it, the instruction pointer's line its mark.
struct SourceMarks {
  RichHandle code, breakpoint, ip, ip_taken;  // 0: none drawn
  bool (*has_breakpoint)(void *context, uint32_t address);
  void *context;
  int ip_line;      // -1 for none
  bool ip_jumps;    // the instruction there is a jump that will be taken
  RichHandle font;  // the line numbers' font
};

// What the documents are built from. The line pairs count lines from 1 (a source's line
// table, or a module's export lines in its dump text).
struct SourceView {
  const char *text;  // NUL-terminated
  const SourceLine *lines;
  int line_count;
  // The entry a name stands for (its handle), 0 for none.
  uint32_t (*find_entry)(void *context, const char *name);
  void *context;
  const SourceMarks *marks;
};

// Clears both documents and writes one line in each per text line; gives the line count.
int source_write(RichText *gutter, RichText *dd, const SourceView *view);
// Clears the gutter and writes the number and marks of each of dd's lines; the numbers
// stand right of the marks. Called again when breakpoints or the instruction pointer move.
void source_write_gutter(RichText *gutter, RichText *dd, int lines, const SourceMarks *marks);

// The line whose address is the greatest line address not above address; -1 for none.
int source_line_at(RichText *dd, uint32_t address);
// The address of the first line with code at or after line, else of the nearest one
// before it; 0 when no line has code.
uint32_t source_line_address(RichText *dd, int line);
// A line index moved into [0, count): a negative one counts from the end.
int source_clamp_line(int index, int count);
// The line a go-to text names: "n" is line n (0 the first, a negative one counted from the
// end), "n%" that share of the text. False when the text is not a number.
bool source_goto_line(const char *text, int count, int *index);

// Where needle next stands, searching forward from the start of the line after line or
// backward over the text before line; the offset, or -1 for none.
int source_search(const char *text, int line, const char *needle, bool forward);
// The line (from 0) of a text offset.
int source_line_of_offset(const char *text, int offset);

// What the panel shows for an address: the whole source file that holds it, else a copy of
// its module's dump text. The text is a zone block; the line pairs are borrowed from the
// source or the module.
struct SourceShown {
  char *text;
  bool module;  // the text is a module's dump
  char title[KQ_PATH];
  const SourceLine *lines;
  int line_count;
};
// False (shown unchanged) when neither a readable source nor a module holds address.
bool source_show_address(SourceShown *shown, uint32_t address);
void source_shown_free(SourceShown *shown);
// The whole file as a NUL-terminated zone block; null when it cannot be read.
char *source_read_file(const char *path, size_t *length);
