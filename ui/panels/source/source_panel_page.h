// The source panel's page over its document: the line at its top, where a line stands on
// it, and the moves of the top, in document pixels whatever scroll the document was last
// drawn with.
#pragma once
#include "ui/rich_text/rich_text_records.h"

struct SourcePage {
  int lines;   // text lines of the document
  int top;     // the line at the page's top
  int height;  // of the page, pixels
};

// The top of line in the document; the document's height for the line after the last.
int source_line_y(RichText *dd, int line);
// Where line stands on the page: its top in page pixels, negative above the page.
int source_row_of(RichText *dd, const SourcePage *page, int line);
// top moved into [0, the top that leaves three quarters of a page of text visible at the
// end].
int source_clamp_top(RichText *dd, const SourcePage *page, int top);
// The top once line is the current one: the page stays while the line stands inside it
// clear of its edges, else the line comes about a third of a page down.
int source_top_showing(RichText *dd, const SourcePage *page, int line);
// The top after a scroll by pixels (down when positive).
int source_top_scrolled(RichText *dd, const SourcePage *page, int pixels);
// The line at pixel height y of the page: the first above the text, the last below it; -1
// for none.
int source_line_at_height(RichText *dd, const SourcePage *page, int y);
