// Reading rich text: points to stream offsets and tags, tag rectangles, lines of offsets,
// characters, plain text of ranges and page steps. Every expected position is worked out
// from the fixed-width fonts: the context's own 8 x 16 (space 8, tab stops every 64),
// BIG 12 x 24. A TEXT_d token at stream offset t holds its characters from t + 5.
#include <gtest/gtest.h>

#include <string>

#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/zone.h"

namespace {

struct PointCase {
  int x, y, exact, nearest;  // the offsets without and with the nearest flag
};

void expect_offsets(RichText *dd, const PointCase *cases, int count, const char *what) {
  for (int i = 0; i < count; i++) {
    const PointCase &c = cases[i];
    EXPECT_EQ(rich_offset_at(dd, c.x, c.y, false), c.exact) << what << " " << c.x << "," << c.y;
    EXPECT_EQ(rich_offset_at(dd, c.x, c.y, true), c.nearest) << what << " " << c.x << "," << c.y;
  }
}

TEST(RichTextRead, OffsetAtPoint) {
  RichDoc doc;
  // Line 0 (y 0-15): TEXT 'ab' at 0 (a 5, b 6) over x 0-16; TAB at 7 over 16-64;
  // TEXT 'cd' at 8 (c 13, d 14) over 64-80; EOL at 15.
  // Line 1 (y 16-31): COLOR at 16; TEXT 'xyz' at 21 (26-28) over 0-24; /COLOR at 29; end 30.
  rich_put_markup(doc.dd, "ab\tcd\n<color #FF0000>xyz</color>");
  PointCase cases[] = {
      {0, 0, 5, 5},     {7, 15, 5, 5},    {8, 0, 6, 6},     {15, 3, 6, 6},
      {16, 0, 7, 7},    {63, 8, 7, 7},    {64, 8, 13, 13},  {79, 0, 14, 14},
      {80, 0, -1, 15},  {500, 15, -1, 15},  // beyond the line: its newline
      {-1, 5, -1, 0},                       // left of the line: its start
      {0, 16, 26, 26},  {23, 31, 28, 28},
      {24, 16, -1, 30},                     // beyond the last line: its end
      {5, 32, -1, 29},                      // below the document: the last token
      {5, -1, 0, 0},                        // above the window: the start
  };
  expect_offsets(doc.dd, cases, sizeof cases / sizeof cases[0], "plain");
  // Scrolled by a line and 8 pixels: the window's (0, 0) is the document's (8, 16).
  rich_set_scroll(doc.dd, 8, 16);
  PointCase scrolled[] = {{0, 0, 27, 27}, {-8, 0, 26, 26}, {0, -16, 0, 0}, {-9, 0, -1, 16}};
  expect_offsets(doc.dd, scrolled, sizeof scrolled / sizeof scrolled[0], "scrolled");
  // Empty documents have no offsets at all.
  RichDoc empty;
  EXPECT_EQ(rich_offset_at(empty.dd, 0, 0, true), -1);
  EXPECT_EQ(rich_line_at(empty.dd, 0, 0, true), -1);
  EXPECT_EQ(rich_tag_at(empty.dd, 0, 0, true), -1);
}

// The hit line is measured in the font in force at its start, which comes from the
// earlier lines that change it, however many plain lines lie between.
TEST(RichTextRead, FontsOfEarlierLines) {
  RichDoc doc;
  // Line 0: FONT 4 at 0, TEXT 'A' at 5, EOL at 11. Then 500 lines "BB" in BIG, 24 high:
  // line k starts at 12 + 8 (k - 1), its B's at +5 and +6. The last line: TEXT 'C' (BIG,
  // 0-12), /FONT, TEXT 'DD' in the context's font (12-20, 20-28).
  rich_put_markup(doc.dd, "<font big>A\n");
  for (int i = 0; i < 500; i++) rich_put_string(doc.dd, "BB\n");
  rich_put_markup(doc.dd, "C</font>DD");
  int last = 12 + 8 * 500;  // TEXT 'C' there, /FONT 6 later, TEXT 'DD' 7 later
  PointCase cases[] = {
      {20, 24, 18, 18},                        // line 1, second B (12-24 in BIG)
      {20, 24 * 250 + 5, 12 + 8 * 249 + 6, 12 + 8 * 249 + 6},
      {25, 24 * 500, -1, 12 + 8 * 499 + 7},    // past "BB" (24): the newline
      {11, 24 * 501, last + 5, last + 5},
      {12, 24 * 501 + 23, last + 7 + 5, last + 7 + 5},
      {21, 24 * 501, last + 7 + 6, last + 7 + 6},
  };
  expect_offsets(doc.dd, cases, sizeof cases / sizeof cases[0], "fonts");
  EXPECT_EQ(doc.dd->hitnum, 2);  // only the first and the last line are replayed
  EXPECT_EQ(rich_line_at(doc.dd, 20, 24 * 250 + 5, false), 250);
  EXPECT_EQ(rich_line_at(doc.dd, 25, 24 * 250 + 5, false), -1);
  EXPECT_EQ(rich_line_at(doc.dd, 25, 24 * 250 + 5, true), 250);
  EXPECT_EQ(rich_line_at(doc.dd, 0, 24 * 600, true), 501);
}

// Hit tests follow tags and fonts only: a colour closed in the hit line but opened in an
// earlier line is passed over, and so is the earlier line.
TEST(RichTextRead, HitTestsPassOverColours) {
  RichDoc doc;
  // Line 0: COLOR 0, TEXT 'ab' 5-11, EOL 12. Line 1: TEXT 'cd' 13-19 (x 0-16), /COLOR 20,
  // TEXT 'ef' 21-27 (e 26 at x 16-24), EOL 28. Line 2: PAPER 29, TEXT 'gh' 34.
  rich_put_markup(doc.dd, "<color 1>ab\ncd</color>ef\n<paper 2>gh");
  EXPECT_EQ(rich_offset_at(doc.dd, 20, 16, false), 26);
  EXPECT_EQ(rich_offset_at(doc.dd, 9, 40, false), 40);
  EXPECT_EQ(doc.dd->statenum, 3);  // every line changes a colour
  EXPECT_EQ(doc.dd->hitnum, 0);
}

// Tag ranges nested as [10, 50) and [20, 30), built from tokens of known sizes:
// TEXT 'abcde' 0-9 (x 0-40), TAG 0 10-14, SKIP 8 at 15 (40-48), TAB 18 (48-64), TAB 19
// (64-128), TAG 1 20-24, four TABs 25-28 (128-192-256-320-384), /TAG 29 (end 30), TEXT
// of 14 characters at 30 (35-48, x 384-496), /TAG 49 (end 50), TEXT 'zz' at 50 (55-56,
// x 496-512).
struct NestedTags : RichDoc {
  NestedTags() {
    rich_put_string(dd, "abcde");
    rich_length(dd);  // a read compiles: the outer tag starts after the text
    rich_open_tag(dd, 0x1000, true);
    rich_skip(dd, 8);
    rich_put_string(dd, "\t\t");
    rich_length(dd);
    rich_open_tag(dd, 0x2000, false);
    rich_put_string(dd, "\t\t\t\t");
    rich_close_tag(dd);
    rich_put_string(dd, "0123456789ABCD");
    rich_close_tag(dd);
    rich_put_string(dd, "zz");
  }
};

TEST(RichTextRead, TagAtPoint) {
  NestedTags doc;
  ASSERT_EQ(doc.dd->tags[0].start, 10);
  ASSERT_EQ(doc.dd->tags[0].end, 50);
  ASSERT_EQ(doc.dd->tags[1].start, 20);
  ASSERT_EQ(doc.dd->tags[1].end, 30);
  struct {
    int x, offset, exact, nearest;
  } cases[] = {
      {130, 25, 1, 1},  // inside both: the inner one
      {425, 40, 0, 0},  // the 6th of the 14 characters: only the outer one
      {44, 15, 0, 0},   // the skip right after the outer tag opens
      {383, 28, 1, 1},
      {20, 7, -1, 1},   // before both: the closest end is the inner's (30 - 7 < 50 - 7)
      {500, 55, -1, 0}, // after both: the outer's end is closer
      {600, -1, -1, 0}, // beyond the line: nearest, the end of the stream (57)
  };
  for (auto &c : cases) {
    EXPECT_EQ(rich_offset_at(doc.dd, c.x, 3, false), c.offset) << c.x;
    EXPECT_EQ(rich_tag_at(doc.dd, c.x, 3, false), c.exact) << c.x;
    EXPECT_EQ(rich_tag_at(doc.dd, c.x, 3, true), c.nearest) << c.x;
  }
  EXPECT_EQ(rich_tag_param(doc.dd, 1), 0x2000u);
  EXPECT_EQ(rich_tag_param(doc.dd, -1), 0u);
  EXPECT_EQ(rich_tag_top(doc.dd, 0), 0);
  EXPECT_EQ(rich_tag_top(doc.dd, -1), 0);
}

// Tags still open hold nothing; between two ends equally far the higher index wins.
TEST(RichTextRead, ClosestEndsAndOpenTags) {
  RichDoc doc;
  // TAG 0 at 0, TEXT 'a' 5-10 (x 0-8), /TAG 11 (end 12); TEXT 'bcd' 12-19 (b 17, c 18,
  // d 19 over x 8-32); TAG 1 20, /TAG 25 (end 26); TAG 2 26, TEXT 'e' 31-36 (e 36, x
  // 32-40), never closed.
  rich_open_tag(doc.dd, 1, true);
  rich_put_string(doc.dd, "a");
  rich_close_tag(doc.dd);
  rich_put_string(doc.dd, "bcd");
  rich_length(doc.dd);
  rich_open_tag(doc.dd, 2, true);
  rich_close_tag(doc.dd);
  rich_open_tag(doc.dd, 3, true);
  rich_put_string(doc.dd, "e");
  struct {
    int x, exact, nearest;
  } cases[] = {
      {2, 0, 0},    // 5
      {8, -1, 0},   // 17: 5 from 12, 9 from 26
      {16, -1, 0},  // 18: 6 and 8
      {24, -1, 1},  // 19: 7 and 7, the higher index
      {32, -1, 1},  // 36, inside the open tag: 10 from 26
  };
  for (auto &c : cases) {
    EXPECT_EQ(rich_tag_at(doc.dd, c.x, 0, false), c.exact) << c.x;
    EXPECT_EQ(rich_tag_at(doc.dd, c.x, 0, true), c.nearest) << c.x;
  }
}

void expect_tag_rect(RichText *dd, int tag, const RichRect &want) {
  RichRect r;
  rich_tag_rect(dd, tag, &r);
  EXPECT_EQ(r.left, want.left) << tag;
  EXPECT_EQ(r.top, want.top) << tag;
  EXPECT_EQ(r.right, want.right) << tag;
  EXPECT_EQ(r.bottom, want.bottom) << tag;
}

TEST(RichTextRead, TagRectangles) {
  NestedTags nested;
  struct {
    int tag;
    RichRect r;
  } cases[] = {{0, {40, 0, 496, 17}}, {1, {128, 0, 384, 17}}};
  for (auto &c : cases) expect_tag_rect(nested.dd, c.tag, c.r);
  // Over three lines: "x" then a tag over "abc" (line 0, 32 wide), "defgh" (line 1, 40
  // wide) and "ij" (line 2, 16 wide). Line 3 (y 48): a tag that starts right at the
  // line's start over "mn" (x 0-16); "o" put before the next tag opens lies in its range
  // but not in its rectangle, which starts at its token (x 24) and ends after "p" (32);
  // a last tag is never closed and runs to the end, over "r" and line 4 ("q").
  RichDoc doc;
  rich_put_string(doc.dd, "x");
  rich_length(doc.dd);
  int multi = rich_open_tag(doc.dd, 0, true);
  rich_put_string(doc.dd, "abc\ndefgh\nij");
  rich_close_tag(doc.dd);
  rich_put_string(doc.dd, "\n");
  rich_length(doc.dd);
  int first = rich_open_tag(doc.dd, 0, true);
  rich_put_string(doc.dd, "mn");
  rich_close_tag(doc.dd);
  rich_put_string(doc.dd, "o");
  int late = rich_open_tag(doc.dd, 0, true);
  rich_put_string(doc.dd, "p");
  rich_close_tag(doc.dd);
  int open = rich_open_tag(doc.dd, 0, true);
  rich_put_string(doc.dd, "r\nq");
  EXPECT_EQ(doc.dd->tags[first].start, doc.dd->lines[3].start);
  EXPECT_EQ(doc.dd->tags[late].start, doc.dd->tags[first].end);
  struct {
    int tag;
    RichRect r;
  } lines[] = {{multi, {0, 0, 40, 49}},
               {first, {0, 48, 16, 65}},
               {late, {24, 48, 32, 65}},
               {open, {0, 48, 40, 81}}};
  for (auto &c : lines) expect_tag_rect(doc.dd, c.tag, c.r);
  EXPECT_EQ(rich_tag_top(doc.dd, first), 48);
  // Scrolling moves the rectangle the other way.
  rich_set_scroll(doc.dd, 10, 20);
  expect_tag_rect(doc.dd, first, {-10, 28, 6, 45});
  EXPECT_EQ(rich_tag_top(doc.dd, first), 28);
}

TEST(RichTextRead, LinesOfOffsetsAndRectangles) {
  RichDoc doc;
  // Line 0: TEXT 'ab' 0-6, EOL 7 (end 8); line 1: TEXT 'c' 8-13, EOL 14 (end 15); line 2
  // empty at 15.
  rich_put_string(doc.dd, "ab\nc\n");
  struct {
    int offset, line;
  } cases[] = {{-5, 0}, {0, 0}, {7, 0}, {8, 1}, {14, 1}, {15, 2}, {99, 2}};
  for (auto &c : cases) EXPECT_EQ(rich_line_of_offset(doc.dd, c.offset), c.line) << c.offset;
  EXPECT_EQ(rich_line_start(doc.dd, 1), 8);
  rich_set_scroll(doc.dd, 3, 4);
  RichRect r;
  rich_line_rect(doc.dd, 1, &r);
  EXPECT_EQ(r.left, -3);
  EXPECT_EQ(r.top, 12);
  EXPECT_EQ(r.right, 5);
  EXPECT_EQ(r.bottom, 28);
  EXPECT_EQ(rich_line_top(doc.dd, 2), 28);
}

// Plain text of ranges, with characters counted through the same tokens.
TEST(RichTextRead, TextOfRangesAndCharacters) {
  RichDoc doc;
  // TEXT 'x' 0-5 (x at 5), SPECIAL 6-7, EOL 8, TEXT 'y' 9-14 (y at 14): 4 characters.
  rich_put_string(doc.dd, "x\r\ny");
  struct {
    int a, b;
    const char *text;
  } cases[] = {{0, 15, "x\r\ny"}, {15, 0, "x\r\ny"}, {6, 9, "\r\n"}, {9, 15, "y"},
               {5, 6, "x"},       {6, 6, ""},       {-10, 100, "x\r\ny"}};
  for (auto &c : cases) {
    char *text = rich_text_range(doc.dd, c.a, c.b);
    EXPECT_STREQ(text, c.text) << c.a << "-" << c.b;
    text = (char *)zone_free(text);
  }
  int offsets[] = {5, 6, 8, 14, 15, 15};
  for (int n = 0; n < 6; n++) EXPECT_EQ(rich_char_offset(doc.dd, n), offsets[n]) << n;
  int before[][2] = {{0, 0}, {5, 0}, {6, 1}, {7, 2}, {8, 2}, {9, 3}, {14, 3}, {15, 4}};
  for (auto &b : before) EXPECT_EQ(rich_chars_before(doc.dd, b[0]), b[1]) << b[0];

  // Column moves below 20 pixels read as a space, from 20 as a tab; skips as spaces;
  // styles and pictures give nothing; a run gives the characters inside the range.
  RichDoc mixed;
  // TEXT 'hello' 0-9 (h 5 .. o 9), TAB_d 10 at 10, TAB_d 30 at 13, SKIP at 16, TAB 19,
  // COLOR 20, IMAGE 25, TEXT 'w' 30-35, /COLOR 36.
  rich_put_string(mixed.dd, "hello");
  rich_tab_column(mixed.dd, 10);
  rich_tab_column(mixed.dd, 30);
  rich_skip(mixed.dd, 4);
  rich_put_markup(mixed.dd, "\t<color 1><image App.gif>w</color>");
  struct {
    int a, b;
    const char *text;
  } more[] = {{0, 37, "hello \t \tw"}, {6, 9, "ell"}, {7, 13, "llo "}, {7, 14, "llo \t"},
              {11, 35, "\t \t"}, {11, 36, "\t \tw"},
              {20, 30, ""}};
  for (auto &c : more) {
    char *text = rich_text_range(mixed.dd, c.a, c.b);
    EXPECT_STREQ(text, c.text) << c.a << "-" << c.b;
    text = (char *)zone_free(text);
  }
  EXPECT_EQ(rich_chars_before(mixed.dd, 37), 8);  // 5 letters, the skip, the tab, w
  EXPECT_EQ(rich_char_offset(mixed.dd, 6), 19);   // after the skip (5), the tab (6)
}

TEST(RichTextRead, PageSteps) {
  RichDoc doc;
  rich_put_string(doc.dd, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9");  // ten lines of 16
  struct {
    int line, pixels, result;
  } cases[] = {
      {2, 48, 4},     // lines 2-4 end within 32 + 48
      {2, 47, 3},
      {2, 0, 2},      // at least the line itself
      {-1, 100, 9},   // from the end
      {-3, 32, 8},
      {5, -48, 3},    // tops at or below 80 + 16 - 48: lines 3, 4, 5
      {5, -49, 3},
      {5, -65, 2},
      {5, -5, 5},
      {0, -100, 0},
      {10, 0, -1},
      {-11, 0, -1},
  };
  for (auto &c : cases)
    EXPECT_EQ(rich_page_step(doc.dd, c.line, c.pixels), c.result) << c.line << " " << c.pixels;
}

}  // namespace
