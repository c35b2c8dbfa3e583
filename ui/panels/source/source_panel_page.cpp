#include "ui/panels/source/source_panel_page.h"

#include "ui/rich_text/rich_text_read.h"

namespace {

// A current line within this many lines of the top, or this many of the bottom, moves the
// page.
enum { NEAR_TOP = 4, NEAR_BOTTOM = 2 };

}  // namespace

// The document answers in the coordinates of its last drawing: the scroll is taken back out.
int source_line_y(RichText *dd, int line) {
  return line < rich_line_count(dd) ? rich_line_top(dd, line) + dd->scrolly : rich_height(dd);
}

int source_row_of(RichText *dd, const SourcePage *page, int line) {
  return source_line_y(dd, line) - source_line_y(dd, page->top);
}

int source_clamp_top(RichText *dd, const SourcePage *page, int top) {
  const int bottom = rich_height(dd) - page->height * 3 / 4;
  int last = 0;
  while (last + 1 < page->lines && source_line_y(dd, last + 1) <= bottom) last++;
  return top > last ? last : top < 0 ? 0 : top;
}

int source_top_showing(RichText *dd, const SourcePage *page, int line) {
  const int y = source_line_y(dd, line), line_height = source_line_y(dd, line + 1) - y;
  if (line > page->top + NEAR_TOP &&
      y + (NEAR_BOTTOM + 1) * line_height < source_line_y(dd, page->top) + page->height)
    return page->top;
  int top = line;
  while (top > 0 && y - source_line_y(dd, top - 1) <= page->height / 3) top--;
  return source_clamp_top(dd, page, top);
}

int source_top_scrolled(RichText *dd, const SourcePage *page, int pixels) {
  const int y = source_line_y(dd, page->top) + pixels;
  int top = page->top;
  while (pixels > 0 && top + 1 < page->lines && source_line_y(dd, top + 1) <= y) top++;
  while (pixels < 0 && top > 0 && source_line_y(dd, top) > y) top--;
  return source_clamp_top(dd, page, top);
}

int source_line_at_height(RichText *dd, const SourcePage *page, int y) {
  const int target = source_line_y(dd, page->top) + y;
  int low = 0, high = page->lines - 1;  // the last line whose top is not below target
  while (low < high) {
    const int middle = (low + high + 1) / 2;
    if (source_line_y(dd, middle) <= target) low = middle;
    else high = middle - 1;
  }
  return page->lines ? low : -1;
}
