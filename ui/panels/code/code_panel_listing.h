// The code panel's listing: a rich-text document of the line window's commands with their
// addresses, bytes, links and comments, the module, region and symbol headers above them
// and the marks of source lines and breakpoints. Every document line written for a code
// line carries that line's index as its parameter.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ui/panels/code/code_panel_lines.h"
#include "ui/rich_text/rich_text_records.h"

// Colours (0x00BBGGRR) and places (pixels) of the listing.
enum : uint32_t {
  CODE_ADDRESS = 0x000064,   // addresses and numbers
  CODE_LINK = 0x780000,      // symbols and addresses inside modules
  CODE_LABEL = 0x0000FF,     // a symbol's name above its command
  CODE_BYTES = 0xAAAAAA,     // the command's bytes
  CODE_COMMENT = 0x00A000,   // comments, strings and separators
  CODE_REGION = 0x00FFFF,    // the paper of region headers
  CODE_CUT_TINT = 0xC8FFFF,  // what a cut command's colours lean towards
};
enum {
  CODE_CUT_STRENGTH = 160, CODE_MARK_X = 4, CODE_ADDRESS_X = 20, CODE_COMMAND_X = 64,
  CODE_BYTES_SKIP = 8, CODE_BYTES_X = 110, CODE_COMMENT_X = 320, CODE_MODULE_SKIP = 40,
  CODE_BAND = 1000, CODE_STRING = 259, CODE_STRING_MIN = 4,
};

// What the listing asks beyond the symbol stores.
enum CodeRegionStart { CODE_NO_REGION = 0, CODE_REGION_START = 1, CODE_MODULE_START = 2 };
struct CodeMarks {
  void *context;
  // Whether a memory region starts at address, and whether it is a module's first one;
  // the region's description into text.
  CodeRegionStart (*region_at)(void *context, uint32_t address, char *text, size_t textlen);
  bool (*breakpoint_at)(void *context, uint32_t address);
  // The comment of [low, high) into text; false for none. Null while there is no comment
  // store.
  bool (*comment)(void *context, uint32_t low, uint32_t high, char *text, size_t textlen);
};

struct CodeView {
  const CodeSource *source;
  const CodeMarks *marks;
  bool show_bytes;            // the setting ViewCPUBytes
  RichHandle base_font;       // the fixed system font
  RichHandle source_picture;  // overlaid where a source line starts
  RichHandle breakpoint_picture;
};

// Writes the command text with its numbers and known names as links (parameter: the
// address they stand for).
void code_write_command(RichText *dd, const char *text);
// Writes code line i with its headers and separator; remembers its document line.
void code_render_line(RichText *dd, CodeWindow *w, int i, const CodeView *view);
// Clears the listing and writes lines from, from + direction ... while the document is
// lower than height; gives the last line written (from itself when none fits).
int code_fill_listing(RichText *dd, CodeWindow *w, int from, int direction, int height,
                      const CodeView *view);
