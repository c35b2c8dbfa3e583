// The jump arrows of the code panel's line window, with the lanes that keep overlapping
// arrows apart.
#pragma once
#include "ui/panels/code/code_panel_lines.h"
#include "ui/rich_text/rich_text_records.h"

enum { CODE_ARROW_REACH = 512, CODE_LANE_STEP = 10 };

// One arrow per line that a jump inside the window lands on exactly, from jumps at most
// CODE_ARROW_REACH lines away; shorter arrows get the inner lanes.
void code_add_arrows(CodeWindow *w);
void code_free_arrows(CodeWindow *w);
// Where line i stands on a page of the given height drawn from listing: its document
// line's top, or for a line not written a page above or below (by its side of the anchor),
// so that an arrow to it leaves the page that way.
int code_line_top(RichText *listing, const CodeWindow *w, int i, int height);
