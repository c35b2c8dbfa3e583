// Reading rich text: points to text positions and tags, tag rectangles, lines of
// positions, plain text of ranges and page steps. Every expected position is worked out
// from the fixed-width fonts: the context's own 8 x 16 (space 8, tab stops every 64),
// BIG 12 x 24. Stream offsets are compared as the characters before them, so that no case
// depends on how many bytes a token takes.
#include <gtest/gtest.h>

#include <string>

#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/zone.h"

namespace {

int chars_at(RichText *dd, int x, int y, bool nearest) {
  int offset = rich_offset_at(dd, x, y, nearest);
  return offset < 0 ? -1 : rich_chars_before(dd, offset);
}

struct PointCase {
  int x, y, exact, nearest;  // the characters before the offset, without and with nearest
};

void expect_points(RichText *dd, const PointCase *cases, int count, const char *what) {
  for (int i = 0; i < count; i++) {
    const PointCase &c = cases[i];
    EXPECT_EQ(chars_at(dd, c.x, c.y, false), c.exact) << what << " " << c.x << "," << c.y;
    EXPECT_EQ(chars_at(dd, c.x, c.y, true), c.nearest) << what << " " << c.x << "," << c.y;
  }
}

std::string text_of(RichText *dd, int a, int b) {
  char *text = rich_text_range(dd, a, b);
  std::string s = text;
  zone_free(text);
  return s;
}

TEST(RichTextRead, OffsetAtPoint) {
  RichDoc doc;
  // Line 0 (y 0-15): a b (x 0-16), the tab (16-64), c d (64-80), the newline: characters
  // 0 to 5. Line 1 (y 16-31): x y z (0-24), characters 6 to 8; 9 is the end.
  rich_put_markup(doc.dd, "ab\tcd\n<color #FF0000>xyz</color>");
  PointCase cases[] = {
      {0, 0, 0, 0},     {7, 15, 0, 0},    {8, 0, 1, 1},     {15, 3, 1, 1},
      {16, 0, 2, 2},    {63, 8, 2, 2},    {64, 8, 3, 3},    {79, 0, 4, 4},
      {80, 0, -1, 5},   {500, 15, -1, 5},  // beyond the line: its newline
      {-1, 5, -1, 0},                      // left of the line: its start
      {0, 16, 6, 6},    {23, 31, 8, 8},
      {24, 16, -1, 9},                     // beyond the last line: its end
      {5, 32, -1, 9},                      // below the document: the last token
      {5, -1, 0, 0},                       // above the window: the start
  };
  expect_points(doc.dd, cases, sizeof cases / sizeof cases[0], "plain");
  // Scrolled by a line and 8 pixels: the window's (0, 0) is the document's (8, 16).
  rich_set_scroll(doc.dd, 8, 16);
  PointCase scrolled[] = {{0, 0, 7, 7}, {-8, 0, 6, 6}, {0, -16, 0, 0}, {-9, 0, -1, 6}};
  expect_points(doc.dd, scrolled, sizeof scrolled / sizeof scrolled[0], "scrolled");
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
  // Line 0: "A" in BIG and its newline (characters 0, 1). Then 500 lines "BB" in BIG, 24
  // high: line k holds characters 3k - 1 to 3k + 1. The last line: "C" (BIG, x 0-12),
  // then "DD" in the context's font (12-20, 20-28).
  rich_put_markup(doc.dd, "<font big>A\n");
  for (int i = 0; i < 500; i++) rich_put_string(doc.dd, "BB\n");
  rich_put_markup(doc.dd, "C</font>DD");
  PointCase cases[] = {
      {20, 24, 3, 3},                          // line 1, second B (12-24 in BIG)
      {20, 24 * 250 + 5, 750, 750},
      {25, 24 * 500, -1, 1501},                // past "BB" (24): the newline
      {11, 24 * 501, 1502, 1502},
      {12, 24 * 501 + 23, 1503, 1503},
      {21, 24 * 501, 1504, 1504},
  };
  expect_points(doc.dd, cases, sizeof cases / sizeof cases[0], "fonts");
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
  // Characters: a b newline (0-2); c d e f newline (3-7, e at x 16-24); g h (8, 9).
  rich_put_markup(doc.dd, "<color 1>ab\ncd</color>ef\n<paper 2>gh");
  EXPECT_EQ(chars_at(doc.dd, 20, 16, false), 5);
  EXPECT_EQ(chars_at(doc.dd, 9, 40, false), 9);
  EXPECT_EQ(doc.dd->statenum, 3);  // every line changes a colour
  EXPECT_EQ(doc.dd->hitnum, 0);
}

// Tags nested: "abcde" (characters 0-4, x 0-40); the outer tag opens over a skip of 8
// (character 5, x 40-48) and two tabs (6, 7: to 64 and 128); the inner one over four tabs
// (8-11: to 384); the outer goes on over 14 characters (12-25, x 384-496); "zz" after
// both (26, 27, x 496-512).
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
  EXPECT_EQ(text_of(doc.dd, doc.dd->tags[0].start, doc.dd->tags[0].end),
            " \t\t\t\t\t\t0123456789ABCD");
  EXPECT_EQ(text_of(doc.dd, doc.dd->tags[1].start, doc.dd->tags[1].end), "\t\t\t\t");
  struct {
    int x, at, exact, nearest;
  } cases[] = {
      {130, 8, 1, 1},   // inside both: the inner one
      {425, 17, 0, 0},  // the 6th of the 14 characters: only the outer one
      {44, 5, 0, 0},    // the skip right after the outer tag opens
      {383, 11, 1, 1},
      {20, 2, -1, 1},   // before both: the inner's end is the closer one
      {500, 26, -1, 0}, // after both: the outer's end is closer
      {600, -1, -1, 0}, // beyond the line: nearest, the end of the stream
  };
  for (auto &c : cases) {
    EXPECT_EQ(chars_at(doc.dd, c.x, 3, false), c.at) << c.x;
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
  // Tag 0 over "a" (x 0-8); "bcd" (x 8-32); tag 1 empty after it; tag 2 over "e" (x
  // 32-40), never closed. Ends are stream offsets apart: b, c and d lie 5, 6 and 7 bytes
  // after tag 0's end and 9, 8 and 7 before tag 1's.
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
  } cases[] = {{2, 0, 0}, {8, -1, 0}, {16, -1, 0}, {24, -1, 1}, {32, -1, 1}};
  for (auto &c : cases) {
    EXPECT_EQ(rich_tag_at(doc.dd, c.x, 0, false), c.exact) << c.x;
    EXPECT_EQ(rich_tag_at(doc.dd, c.x, 0, true), c.nearest) << c.x;
  }
}

std::string rect_text(const RichRect &r) {
  char t[64];
  snprintf(t, sizeof t, "%d %d %d %d", r.left, r.top, r.right, r.bottom);
  return t;
}

std::string tag_rect(RichText *dd, int tag) {
  RichRect r;
  rich_tag_rect(dd, tag, &r);
  return rect_text(r);
}

TEST(RichTextRead, TagRectangles) {
  NestedTags nested;
  EXPECT_EQ(tag_rect(nested.dd, 0), "40 0 496 17");
  EXPECT_EQ(tag_rect(nested.dd, 1), "128 0 384 17");
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
  EXPECT_EQ(tag_rect(doc.dd, multi), "0 0 40 49");
  EXPECT_EQ(tag_rect(doc.dd, first), "0 48 16 65");
  EXPECT_EQ(tag_rect(doc.dd, late), "24 48 32 65");
  EXPECT_EQ(tag_rect(doc.dd, open), "0 48 40 81");
  EXPECT_EQ(rich_tag_top(doc.dd, first), 48);
  // Scrolling moves the rectangle the other way.
  rich_set_scroll(doc.dd, 10, 20);
  EXPECT_EQ(tag_rect(doc.dd, first), "-10 28 6 45");
  EXPECT_EQ(rich_tag_top(doc.dd, first), 28);
}

TEST(RichTextRead, LinesOfOffsetsAndRectangles) {
  RichDoc doc;
  rich_put_string(doc.dd, "ab\nc\n");  // characters a b newline c newline, then the end
  struct {
    int n, line;
  } cases[] = {{0, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}};
  for (auto &c : cases)
    EXPECT_EQ(rich_line_of_offset(doc.dd, rich_char_offset(doc.dd, c.n)), c.line) << c.n;
  EXPECT_EQ(rich_line_of_offset(doc.dd, -5), 0);
  EXPECT_EQ(rich_line_of_offset(doc.dd, rich_length(doc.dd) + 99), 2);
  EXPECT_EQ(rich_chars_before(doc.dd, rich_line_start(doc.dd, 1)), 3);
  rich_set_scroll(doc.dd, 3, 4);
  RichRect r;
  rich_line_rect(doc.dd, 1, &r);
  EXPECT_EQ(rect_text(r), "-3 12 5 28");
  EXPECT_EQ(rich_line_top(doc.dd, 2), 28);
}

// Plain text of ranges, with characters counted through the same tokens: the position of
// each character counts back to it.
TEST(RichTextRead, TextOfRangesAndCharacters) {
  RichDoc doc;
  rich_put_string(doc.dd, "x\r\ny");  // 4 characters
  auto range = [](RichText *dd, int a, int b) {
    return text_of(dd, rich_char_offset(dd, a), rich_char_offset(dd, b));
  };
  struct {
    int a, b;
    const char *text;
  } cases[] = {{0, 4, "x\r\ny"}, {4, 0, "x\r\ny"}, {1, 3, "\r\n"}, {3, 4, "y"},
               {0, 1, "x"},       {1, 1, ""},        {-10, 100, "x\r\ny"}};
  for (auto &c : cases) EXPECT_EQ(range(doc.dd, c.a, c.b), c.text) << c.a << "-" << c.b;
  EXPECT_EQ(rich_chars_before(doc.dd, rich_length(doc.dd)), 4);
  for (int n = 0; n < 4; n++) {
    EXPECT_EQ(rich_chars_before(doc.dd, rich_char_offset(doc.dd, n)), n);
    EXPECT_LT(rich_char_offset(doc.dd, n), rich_char_offset(doc.dd, n + 1));
  }

  // Column moves below 20 pixels read as a space, from 20 as a tab, and count as no
  // character; skips as spaces; styles and pictures give nothing; a run gives the
  // characters inside the range.
  RichDoc mixed;
  rich_put_string(mixed.dd, "hello");
  rich_tab_column(mixed.dd, 10);
  rich_tab_column(mixed.dd, 30);
  rich_skip(mixed.dd, 4);
  rich_put_markup(mixed.dd, "\t<color 1><image App.gif>w</color>");
  struct {
    int a, b;
    const char *text;
  } more[] = {{0, 8, "hello \t \tw"}, {1, 4, "ell"}, {2, 5, "llo \t"}, {4, 7, "o \t \t"}};
  for (auto &c : more) EXPECT_EQ(range(mixed.dd, c.a, c.b), c.text) << c.a << "-" << c.b;
  EXPECT_EQ(rich_chars_before(mixed.dd, rich_length(mixed.dd)), 8);  // letters, skip, tab, w
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
