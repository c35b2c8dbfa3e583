// Reading rich text: lines and their rectangles, points to text positions and tags, tag
// rectangles, plain text of a range, and drawing. Every read first compiles pending text
// and brings the open last line up to date. Window coordinates are document pixels minus
// the scroll origin.
#pragma once
#include <stdint.h>

#include "rich_text_records.h"

int rich_line_count(RichText *dd);
int rich_length(RichText *dd);
int rich_height(RichText *dd);
int rich_width(RichText *dd);
// Index arguments outside the document are a fault of the caller (an assertion).
void rich_line_rect(RichText *dd, int index, RichRect *r);
int rich_line_top(RichText *dd, int index);
uint32_t rich_line_param(RichText *dd, int index);  // the line must carry one
bool rich_has_param(RichText *dd, int index);       // false outside the document
int rich_line_start(RichText *dd, int index);
// The line that holds the stream offset: the first whose end lies after it; the last
// line for offsets at or past the end.
int rich_line_of_offset(RichText *dd, int offset);

// Characters count one per character of text and one per newline, carriage return, tab
// and skip. The stream offset of character n (the stream length past the last one), and
// the number of characters before a stream offset.
int rich_char_offset(RichText *dd, int n);
int rich_chars_before(RichText *dd, int offset);

// The stream offset at a point, -1 for none. Without nearest the point must lie on a
// token; with it, a point left of a line gives the line's start, right of it its newline
// (the end, on the last line), above the document 0 and below it the last token.
int rich_offset_at(RichText *dd, int x, int y, bool nearest);
int rich_line_at(RichText *dd, int x, int y, bool nearest);
// The innermost tag holding the offset at the point; with nearest and none holding it,
// the tag whose end is closest. -1 for none.
int rich_tag_at(RichText *dd, int x, int y, bool nearest);
// Follows the mouse: a link under the point becomes the hovered tag, no tag at all ends
// the hovering; both rectangles are invalidated and the cursor set. Gives the hovered tag.
int rich_hover(RichText *dd, const RichWindow *window, int x, int y);

// The rectangle of a tag (one pixel taller than its lines), in window coordinates.
void rich_tag_rect(RichText *dd, int index, RichRect *r);
int rich_tag_top(RichText *dd, int index);         // 0 for a negative index
uint32_t rich_tag_param(RichText *dd, int index);  // 0 for a negative index

// The line a page of pixels away from line index (negative: counted from the end): for
// pixels >= 0 the last line from it on that still ends within them, for pixels < 0 the
// first line above it of those that start within them. -1 for an index out of range.
int rich_page_step(RichText *dd, int index, int pixels);

// The plain text of the stream offsets [a, b) (in either order): newlines as "\r\n",
// tabs, a column move as a space below 20 pixels and a tab from there, a skip as a space.
// A new zone block; the caller frees it.
char *rich_text_range(RichText *dd, int a, int b);

void rich_draw(RichText *dd, const RichDrawer *drawer);
