// What the code panel shows of its line window: the top line, the last line that fits,
// the line a page above, the cursor and the selection, and the moves between them. Every
// move rebuilds the window around the new top line and writes the listing again.
#pragma once
#include <stdint.h>

#include "ui/panels/code/code_panel_listing.h"
#include "x86/disasm.h"

struct CodeScreen {
  CodeWindow window;
  RichText *listing;
  const CodeView *view;
  int top, bottom, page_above, cursor;  // line indices; CODE_NONE while the window is empty
  uint32_t select_start, select_end;    // in the order made
  int scroll_x, width, height;
  RichRect cursor_rect;  // the cursor line's command in the listing
};

// The cursor line's address; 0 while the window is empty.
uint32_t code_cursor_address(const CodeScreen *s);
// Puts the cursor on line i and remembers where it stands in the listing.
void code_place_cursor(CodeScreen *s, int i);
// Finds top, page-above and bottom for the anchor, writes the listing from top and puts
// the cursor on the line in the middle of the old cursor rectangle (the top line when
// none is there), so that the cursor keeps its place while the content moves.
void code_refresh(CodeScreen *s);
// Rebuilds the window n lines below the top line (above for negative n); false when
// the window is empty.
bool code_scroll(CodeScreen *s, int n);
// Moves the cursor n lines; beyond the page the view scrolls instead.
bool code_move_cursor(CodeScreen *s, int n);
// Brings address a third down the page with the cursor on it (or on the nearest line).
void code_go_to(CodeScreen *s, uint32_t address);
// Marks the selected commands in the listing.
void code_show_selection(CodeScreen *s);
// The selection ordered; false when it is empty.
bool code_selection(const CodeScreen *s, uint32_t *low, uint32_t *high);

// The debuggee's bytes around a window's anchor, from anchor - CODE_SPAN for up to
// CODE_SNAPSHOT bytes, as they were when the window was last built: a change broadcast
// rebuilds the window only when they are no longer the same.
enum { CODE_SNAPSHOT = 2 * CODE_SPAN };
struct CodeSnapshot {
  uint32_t start;
  int size;
  uint8_t bytes[CODE_SNAPSHOT];
};
// Reads the bytes around anchor through read; true (and kept) when they differ from the
// snapshot.
bool code_snapshot_changed(CodeSnapshot *snapshot, MemoryReader read, uint32_t anchor);
