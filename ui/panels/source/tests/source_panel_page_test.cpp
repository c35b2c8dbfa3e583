// The source panel's page over a real document: where the current line lands and which
// line stands at the top, the same whatever scroll the document was last drawn with.
#include "ui/panels/source/source_panel_page.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

TEST(SourcePage, CurrentLineShownWhateverTheLastDrawingsScroll) {
  struct Case {
    int lines, page_rows, top, line;
    int want_top;  // worked out by hand from the page's rules
  };
  const Case cases[] = {
      // A short file that fits: the page stays at the top, the line 20 rows down.
      {24, 30, 0, 19, 0},
      // A short file taller than the page: the line comes a third of a page down, unless
      // the file's end would stand higher than a quarter of a page from the bottom.
      {24, 12, 0, 19, 15},
      {24, 15, 0, 19, 12},
      // Inside the page, clear of its edges: the page stays.
      {24, 12, 5, 12, 5},
      // Near the top edge, or above the page: a third of a page up.
      {200, 30, 100, 102, 92},
      {200, 30, 100, 40, 30},
      // Near the end of a long file: the last top.
      {200, 30, 0, 199, 177},
  };
  for (const Case &c : cases) {
    RichDoc doc;
    std::string text = "line 1";
    for (int i = 2; i <= c.lines; i++) text += "\nline " + std::to_string(i);
    rich_put_string(doc.dd, text.c_str());
    const int h = source_line_y(doc.dd, 1) - source_line_y(doc.dd, 0);
    ASSERT_GT(h, 0);
    SourcePage page = {c.lines, c.top, c.page_rows * h};
    // The document as the panel draws it: scrolled to some page's top, or not at all.
    for (int drawn_at : {0, c.top, c.want_top, c.lines / 2}) {
      SCOPED_TRACE(testing::Message() << c.lines << " lines, " << c.page_rows << " rows, "
                                      << c.line << " from " << c.top << ", drawn at "
                                      << drawn_at);
      rich_set_scroll(doc.dd, 0, drawn_at * h);
      EXPECT_EQ(c.line * h, source_line_y(doc.dd, c.line));
      page.top = c.top;
      page.top = source_top_showing(doc.dd, &page, c.line);
      EXPECT_EQ(c.want_top, page.top);
      const int row = source_row_of(doc.dd, &page, c.line);
      EXPECT_EQ((c.line - c.want_top) * h, row);
      EXPECT_TRUE(row >= 0 && row + h <= page.height) << row;
      EXPECT_EQ(c.line, source_line_at_height(doc.dd, &page, row + h / 2));
      EXPECT_EQ(c.want_top, source_top_scrolled(doc.dd, &page, 0));
    }
  }
}

}  // namespace
