// Writing rich text: the tokens markup and plain text become, the line records with their
// measures and style flags, tags, parameters, tint, arranging. Measures come from the
// fixed-width fonts: the context's own 8 x 16 (space 8), GUI 6 x 13 (space 4), SYSTEM
// 9 x 18, BIG 12 x 24; the picture Logo.gif is 40 x 30.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

// The token stream as text, read with its own knowledge of the token layout.
std::string tokens(RichText *dd) {
  int n = rich_length(dd);
  const uint8_t *s = dd->stream;
  auto u16 = [&](int at) { return s[at] | s[at + 1] << 8; };
  auto u32 = [&](int at) { return (uint32_t)(u16(at) | u16(at + 2) << 16); };
  std::string out;
  for (int pos = 0; pos < n;) {
    char t[300];
    uint8_t code = s[pos++];
    const char *closes[] = {"/TAG", "/FONT", "/PAPER", "/COLOR"};
    const char *opens[] = {"TAG %u", "FONT %u", "PAPER 0x%X", "COLOR 0x%X"};
    if (code == 1) {
      snprintf(t, sizeof t, "EOL");
    } else if (code == 2) {
      snprintf(t, sizeof t, "SPECIAL %d", s[pos++]);
    } else if (code == 3) {
      uint32_t len = u32(pos);
      snprintf(t, sizeof t, "TEXT '%.*s'", (int)len, (const char *)s + pos + 4);
      pos += 4 + len;
    } else if (code == 4) {
      snprintf(t, sizeof t, "TAB");
    } else if (code == 5 || code == 6) {
      snprintf(t, sizeof t, "%s %d", code == 5 ? "TAB_d" : "SKIP", u16(pos));
      pos += 2;
    } else if (code == 7) {
      snprintf(t, sizeof t, "IMAGE %u", u32(pos));
      pos += 4;
    } else if (code == 8) {
      snprintf(t, sizeof t, "OVERLAY %u %d %d", u32(pos), (int16_t)u16(pos + 4),
               (int16_t)u16(pos + 6));
      pos += 8;
    } else if (code >= 9 && code <= 12) {
      snprintf(t, sizeof t, opens[code - 9], u32(pos));
      pos += 4;
    } else if (code >= 13 && code <= 16) {
      snprintf(t, sizeof t, "%s", closes[code - 13]);
    } else {
      snprintf(t, sizeof t, "?%d", code);
      pos = n;
    }
    out += (out.empty() ? "" : " ") + std::string(t);
  }
  return out;
}

TEST(RichTextWrite, MarkupTokens) {
  struct {
    const char *markup;
    bool ok;
    const char *tokens;
  } cases[] = {
      // The program's own texts.
      {"<font system><color #FFFFFF>Recent files:</color></font>", true,
       "FONT 2 COLOR 0xFFFFFF TEXT 'Recent files:' /COLOR /FONT"},
      {"<color #FFFFFF>7</color> Top\n", true, "COLOR 0xFFFFFF TEXT '7' /COLOR TEXT ' Top' EOL"},
      {"  <image Logo.gif>  \n", true, "TEXT '  ' IMAGE 101 TEXT '  ' EOL"},
      // Control characters of plain text.
      {"x\r\ny", true, "TEXT 'x' SPECIAL 13 EOL TEXT 'y'"},
      {"a\tb\t", true, "TEXT 'a' TAB TEXT 'b' TAB"},
      // Colours: RRGGBB turned round, the background by name, C numbers as they are.
      {"<color #FF0000>r", true, "COLOR 0xFF TEXT 'r'"},
      {"<color #123456>", true, "COLOR 0x563412"},
      {"<color #abcdef>", true, "COLOR 0xEFCDAB"},
      {"<paper bgcolor>p</paper>", true, "PAPER 0xF0E0D0 TEXT 'p' /PAPER"},
      {"<paper BGColor>", true, "PAPER 0xF0E0D0"},
      {"<color 255><color 0x10><color 010><color -1>", true,
       "COLOR 0xFF COLOR 0x10 COLOR 0x8 COLOR 0xFFFFFFFF"},
      {"<color 99999999999>", true, "COLOR 0x7FFFFFFF"},
      // Fonts by name in any case; pictures by name in any case.
      {"<font gui><font Var><font BIG><font small>", true, "FONT 1 FONT 3 FONT 4 FONT 5"},
      {"<image logo.GIF><image App.gif>", true, "IMAGE 101 IMAGE 102"},
      // Tag names are case-sensitive; unknown ones vanish and do not split the text.
      {"a<bold>b</bold>c<COLOR #FF0000>d", true, "TEXT 'abcd'"},
      // What follows the argument other than ">" stays, as text.
      {"<color #FF0000 extra>x", true, "COLOR 0xFF TEXT ' extra>x'"},
      {"<color 1>a</color x>", true, "COLOR 0x1 TEXT 'a' /COLOR TEXT ' x>'"},
      {"<color 1>a</color>>", true, "COLOR 0x1 TEXT 'a' /COLOR TEXT '>'"},
      {"<  color   2>a", true, "COLOR 0x2 TEXT 'a'"},
      {"<color 2 >a", true, "COLOR 0x2 TEXT ' >a'"},
      // A "<" reads a name up to a blank or ">": the rest of a comparison is taken.
      {"a < b", true, "TEXT 'a '"},
      {"a<", true, "TEXT 'a'"},
      {"<<color 5>z", true, "TEXT 'z'"},
      // Failures keep what came before the failing tag.
      {"ab<font nosuch>cd", false, "TEXT 'ab'"},
      {"<font>", false, ""},
      {"<color 1>x<image nosuch.gif>y", false, "COLOR 0x1 TEXT 'x'"},
      {"<image>", false, ""},
      {"ok</font>", false, "TEXT 'ok'"},
      {"</color>", false, ""},
      {"<paper 1></paper></paper>", false, "PAPER 0x1 /PAPER"},
      {"<color 1><color 2><color 3><color 4><color 5><color 6><color 7><color 8><color 9>"
       "<color 10><color 11>",
       false,
       "COLOR 0x1 COLOR 0x2 COLOR 0x3 COLOR 0x4 COLOR 0x5 COLOR 0x6 COLOR 0x7 COLOR 0x8 "
       "COLOR 0x9 COLOR 0xA"},
  };
  for (auto &c : cases) {
    RichDoc doc;
    EXPECT_EQ(rich_put_markup(doc.dd, c.markup), c.ok) << c.markup;
    EXPECT_EQ(tokens(doc.dd), c.tokens) << c.markup;
  }
}

// A name or argument longer than the 260-character buffer is cut, never overflows.
TEST(RichTextWrite, LongMarkupWordsAreCut) {
  RichDoc doc;
  std::string name = "<image " + std::string(1000, 'L') + ">";
  EXPECT_FALSE(rich_put_markup(doc.dd, name.c_str()));
  std::string color = "<color #" + std::string(600, '0') + "FF>x";
  EXPECT_TRUE(rich_put_markup(doc.dd, color.c_str()));
  EXPECT_EQ(tokens(doc.dd), "COLOR 0x0 TEXT 'x'");  // the digits past the cut are lost
}

// The counted form never reads past its count, nor past a zero inside it.
TEST(RichTextWrite, CountedMarkupStopsAtItsEnd) {
  RichDoc doc;
  EXPECT_TRUE(rich_put_markup_count(doc.dd, "<color #FF0000>abc", 17));
  EXPECT_TRUE(rich_put_markup_count(doc.dd, "<font", 3));  // "<fo": an unknown name
  EXPECT_TRUE(rich_put_markup_count(doc.dd, "d\0<font nosuch>", 16));
  EXPECT_EQ(tokens(doc.dd), "COLOR 0xFF TEXT 'abd'");
}

TEST(RichTextWrite, FormattedMarkupIsCutTo260) {
  RichDoc doc;
  EXPECT_TRUE(rich_put_format(doc.dd, "<color #FFFFFF>%i</color> Top\n", 42));
  EXPECT_EQ(tokens(doc.dd), "COLOR 0xFFFFFF TEXT '42' /COLOR TEXT ' Top' EOL");
  RichDoc cut;
  std::string text(300, 'x');
  EXPECT_TRUE(rich_put_format(cut.dd, "%s<font nosuch>", text.c_str()));
  EXPECT_EQ(tokens(cut.dd), "TEXT '" + std::string(259, 'x') + "'");
}

struct LineWant {
  int x, y, width, height, start, end, flags;
};

void expect_lines(RichText *dd, const LineWant *want, int count, const char *what) {
  ASSERT_EQ(rich_line_count(dd), count) << what;
  for (int i = 0; i < count; i++) {
    const RichLine &l = dd->lines[i];
    const LineWant &w = want[i];
    EXPECT_EQ(l.x, w.x) << what << " line " << i;
    EXPECT_EQ(l.y, w.y) << what << " line " << i;
    EXPECT_EQ(l.width, w.width) << what << " line " << i;
    EXPECT_EQ(l.height, w.height) << what << " line " << i;
    EXPECT_EQ(l.start, w.start) << what << " line " << i;
    EXPECT_EQ(l.end, w.end) << what << " line " << i;
    EXPECT_EQ(l.flags, w.flags) << what << " line " << i;
  }
}

TEST(RichTextWrite, LinesMeasuresAndStyleFlags) {
  struct {
    const char *markup;
    LineWant lines[4];
    int count, width, height;
  } cases[] = {
      // GUI: a is 6, a space 4, so tab stops every 32: a to 6, the tab to 32, b to 38.
      {"<font gui>a\tb", {{0, 0, 38, 13, 0, 18, LNF_FONTS}}, 1, 38, 13},
      // A tab at the origin advances a whole step; six letters (36) go on to 64.
      {"<font gui>\tb\nabcdef\tb</font>",
       {{0, 0, 38, 13, 0, 13, LNF_FONTS}, {0, 13, 70, 13, 13, 32, LNF_FONTS}}, 2, 70, 26},
      // A font closed two lines later: both ends carry the font flag, the line between
      // not. The newline after the close takes the height of a space in the context's
      // font (16) but the line keeps the 24 of its "c".
      {"<font big>a\nb\nc</font>\nd",
       {{0, 0, 12, 24, 0, 12, LNF_FONTS},
        {0, 24, 12, 24, 12, 19, 0},
        {0, 48, 12, 24, 19, 27, LNF_FONTS},
        {0, 72, 8, 16, 27, 33, 0}},
       4, 12, 88},
      // Colours and papers count together; balanced lines carry nothing.
      {"<color 1>a</color><paper 2>b\n</paper>c",
       {{0, 0, 16, 16, 0, 24, LNF_COLORS}, {0, 16, 8, 16, 24, 31, LNF_COLORS}}, 2, 16, 32},
      // A close first freezes the count below zero: opening again cannot balance it.
      {"<color 1>\n</color><color 2>x",
       {{0, 0, 0, 16, 0, 6, LNF_COLORS}, {0, 16, 8, 16, 6, 18, LNF_COLORS}}, 2, 8, 32},
      // A picture raises the line to its height; an empty last line has none.
      {"<image Logo.gif>x\n",
       {{0, 0, 48, 30, 0, 12, 0}, {0, 30, 0, 0, 12, 12, 0}}, 2, 48, 30},
  };
  for (auto &c : cases) {
    RichDoc doc;
    ASSERT_TRUE(rich_put_markup(doc.dd, c.markup)) << c.markup;
    expect_lines(doc.dd, c.lines, c.count, c.markup);
    EXPECT_EQ(rich_width(doc.dd), c.width) << c.markup;
    EXPECT_EQ(rich_height(doc.dd), c.height) << c.markup;
  }
}

// Column moves, skips and tabs against the column origin; the width operands are 16-bit.
TEST(RichTextWrite, ColumnsAndSkips) {
  RichDoc doc;
  rich_tab_column(doc.dd, 100);      // origin 100, pen 100
  rich_put_string(doc.dd, "a\tb");   // a to 108; tab stop 164 (64 past the origin); b to 172
  rich_tab_column(doc.dd, 50);       // origin 150, the pen stays at 172
  rich_skip(doc.dd, 10);             // 182
  rich_overlay_image(doc.dd, 101, -3, 4);  // no measuring
  rich_image(doc.dd, 102);           // 198
  EXPECT_EQ(tokens(doc.dd),
            "TAB_d 100 TEXT 'a' TAB TEXT 'b' TAB_d 50 SKIP 10 OVERLAY 101 -3 4 IMAGE 102");
  EXPECT_EQ(rich_width(doc.dd), 198);
  EXPECT_EQ(doc.dd->lines[0].height, 16);
}

// A tag takes the text put since the last token; parents follow the nesting; the line
// flags see tags that do not close in the line.
TEST(RichTextWrite, TagRecords) {
  RichDoc doc;
  rich_put_string(doc.dd, "ab");
  EXPECT_EQ(rich_open_tag(doc.dd, 7, true), 0);
  rich_put_string(doc.dd, "cd");
  EXPECT_EQ(rich_open_tag(doc.dd, 8, false), 1);
  rich_put_string(doc.dd, "e\n");
  rich_close_tag(doc.dd);
  rich_close_tag(doc.dd);
  EXPECT_EQ(rich_open_tag(doc.dd, 9, false), 2);
  rich_close_tag(doc.dd);
  // TEXT 'ab' 0-6, TAG 0 7-11, TEXT 'cd' 12-18, TAG 1 19-23, TEXT 'e' 24-29, EOL 30,
  // /TAG 31, /TAG 32, TAG 2 33-37, /TAG 38.
  EXPECT_EQ(tokens(doc.dd), "TEXT 'ab' TAG 0 TEXT 'cd' TAG 1 TEXT 'e' EOL /TAG /TAG TAG 2 /TAG");
  struct {
    int start, end, flags, parent;
    uint32_t param;
  } want[] = {{0, 33, TGF_LINK, -1, 7}, {12, 32, 0, 0, 8}, {33, 39, 0, -1, 9}};
  ASSERT_EQ(doc.dd->tagnum, 3);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(doc.dd->tags[i].start, want[i].start) << i;
    EXPECT_EQ(doc.dd->tags[i].end, want[i].end) << i;
    EXPECT_EQ(doc.dd->tags[i].flags, want[i].flags) << i;
    EXPECT_EQ(doc.dd->tags[i].parent, want[i].parent) << i;
    EXPECT_EQ(doc.dd->tags[i].param, want[i].param) << i;
  }
  EXPECT_EQ(doc.dd->lines[0].flags, LNF_TAGS);
  EXPECT_EQ(doc.dd->lines[1].flags, LNF_TAGS);
  rich_mark_tag(doc.dd, 1, true);
  rich_mark_tag(doc.dd, 2, true);
  rich_mark_tag(doc.dd, 2, false);
  EXPECT_EQ(doc.dd->tags[1].flags, TGF_MARKED);
  EXPECT_EQ(doc.dd->tags[2].flags, 0);
  rich_mark_tag(doc.dd, 0, true);
  rich_unmark_tags(doc.dd);
  EXPECT_EQ(doc.dd->tags[0].flags, TGF_LINK);
  EXPECT_EQ(doc.dd->tags[1].flags, 0);
}

// Only the last line can change its style flags, and only it leaves or joins the lines
// readers replay.
TEST(RichTextWrite, ReplayedLinesFollowTheOpenLine) {
  RichDoc doc;
  rich_put_markup(doc.dd, "a\n<font big>b");
  rich_update(doc.dd);
  ASSERT_EQ(doc.dd->statenum, 1);
  EXPECT_EQ(doc.dd->statelines[0], 1);
  ASSERT_EQ(doc.dd->hitnum, 1);
  EXPECT_EQ(doc.dd->hitlines[0], 1);
  rich_put_markup(doc.dd, "</font>c");
  rich_update(doc.dd);
  EXPECT_EQ(doc.dd->statenum, 0);
  EXPECT_EQ(doc.dd->hitnum, 0);
  // A colour changes what is drawn, not where: hit tests pass over the line.
  rich_put_markup(doc.dd, "<color 1>\nd\n");
  rich_update(doc.dd);
  ASSERT_EQ(doc.dd->statenum, 1);
  EXPECT_EQ(doc.dd->statelines[0], 1);
  EXPECT_EQ(doc.dd->hitnum, 0);
}

TEST(RichTextWrite, LineParameters) {
  RichDoc doc;
  rich_put_string(doc.dd, "a\nb\nc\nd");
  EXPECT_EQ(rich_set_line_param(doc.dd, 1, 0x401000), 1);
  EXPECT_EQ(rich_set_line_param(doc.dd, -1, 0x402000), 3);
  rich_set_missing_params(doc.dd, 0x1234);  // lines 0 and 2; the last line keeps its own
  uint32_t want[] = {0x1234, 0x401000, 0x1234, 0x402000};
  for (int i = 0; i < 4; i++) {
    EXPECT_TRUE(rich_has_param(doc.dd, i)) << i;
    EXPECT_EQ(rich_line_param(doc.dd, i), want[i]) << i;
  }
  EXPECT_FALSE(rich_has_param(doc.dd, 4));
  EXPECT_FALSE(rich_has_param(doc.dd, -1));
  rich_put_string(doc.dd, "\ne\nf");
  rich_set_missing_params(doc.dd, 0x5555);  // the old last line has one; line 4 not yet
  EXPECT_EQ(rich_line_param(doc.dd, 3), 0x402000u);
  EXPECT_EQ(rich_line_param(doc.dd, 4), 0x5555u);
  EXPECT_FALSE(rich_has_param(doc.dd, 5));
}

// With a tint, every colour and paper written is blended towards the tint colour.
TEST(RichTextWrite, Tint) {
  struct {
    uint8_t strength;
    uint32_t tint;
    const char *markup, *tokens;
  } cases[] = {
      {0, 0xFFFFFF, "<color #FF0000>", "COLOR 0xFF"},
      {255, 0x000000, "<color #FFFFFF><paper 0x123456>", "COLOR 0x0 PAPER 0x0"},
      // red (255*128 + 0*127)/255 = 128, green (0*128 + 255*127)/255 = 127, blue 0
      {128, 0x0000FF, "<color #00FF00>", "COLOR 0x7F80"},
      {200, 0x0000FF, "<paper -1>", "PAPER 0xFFFFFFFF"},  // transparent stays transparent
  };
  for (auto &c : cases) {
    RichDoc doc;
    rich_set_tint(doc.dd, c.strength, c.tint);
    rich_put_markup(doc.dd, c.markup);
    EXPECT_EQ(tokens(doc.dd), c.tokens) << c.markup;
  }
}

TEST(RichTextWrite, ClearStartsAgain) {
  RichDoc doc;
  rich_put_markup(doc.dd, "<font big>a\nb");
  rich_open_tag(doc.dd, 1, true);
  rich_set_selection(doc.dd, 9, 3);
  EXPECT_EQ(doc.dd->selstart, 3);
  EXPECT_EQ(doc.dd->selend, 9);
  rich_arrange(doc.dd, 0, 0, 100, 100, 2, 2);
  rich_clear(doc.dd);
  EXPECT_EQ(rich_length(doc.dd), 0);
  EXPECT_EQ(rich_line_count(doc.dd), 1);
  EXPECT_EQ(doc.dd->tagnum, 0);
  EXPECT_EQ(doc.dd->selstart, -1);
  EXPECT_EQ(doc.dd->halign, 0);
  EXPECT_EQ(rich_width(doc.dd) + rich_height(doc.dd), 0);
  // The font and the tag went with it: text is measured in the context's font again, and
  // ten fonts may be opened anew.
  rich_put_string(doc.dd, "ab");
  for (int i = 0; i < STACK_LEN; i++) rich_open_font(doc.dd, 2);
  EXPECT_EQ(rich_width(doc.dd), 16);
}

// Pictures are loaded once per name, whatever its case, and given back at shut-down.
TEST(RichTextWrite, PictureCache) {
  RichDoc doc;
  EXPECT_TRUE(rich_image_by_name(doc.dd, "Logo.gif"));
  EXPECT_TRUE(rich_image_by_name(doc.dd, "LOGO.GIF"));
  EXPECT_TRUE(rich_put_markup(doc.dd, "<image logo.gif><image KaquinDebugger.gif>"));
  EXPECT_FALSE(rich_image_by_name(doc.dd, "Missing.gif"));
  EXPECT_FALSE(rich_image_by_name(doc.dd, ""));
  EXPECT_EQ(doc.fixed.loads, 2);
  EXPECT_EQ(rich_images_count(), 2);
  EXPECT_EQ(tokens(doc.dd), "IMAGE 101 IMAGE 101 IMAGE 101 IMAGE 103");
  rich_images_free(&doc.fixed.measurer);
  EXPECT_EQ(doc.fixed.frees, 2);
  EXPECT_EQ(rich_images_count(), 0);
}

TEST(RichTextWrite, ArrangeAndAlignRows) {
  // Two lines 100 and 60 wide, 16 high (a skip and a letter each), centred in
  // (0, 0, 200, 100): y starts at 50 - 32/2 = 34, x at 100 - 50 and 100 - 30.
  RichDoc doc;
  rich_skip(doc.dd, 92);
  rich_put_string(doc.dd, "x\n");
  rich_skip(doc.dd, 52);
  rich_put_string(doc.dd, "x");
  struct {
    int h, v, x0, y0, x1, y1;
  } cases[] = {{1, 1, 50, 34, 70, 50}, {0, 0, 0, 0, 0, 16}, {2, 2, 100, 68, 140, 84},
               {2, 0, 100, 0, 140, 16}};
  for (auto &c : cases) {
    rich_arrange(doc.dd, 0, 0, 200, 100, c.h, c.v);
    EXPECT_EQ(doc.dd->lines[0].x, c.x0) << c.h << c.v;
    EXPECT_EQ(doc.dd->lines[0].y, c.y0) << c.h << c.v;
    EXPECT_EQ(doc.dd->lines[1].x, c.x1) << c.h << c.v;
    EXPECT_EQ(doc.dd->lines[1].y, c.y1) << c.h << c.v;
    EXPECT_EQ(doc.dd->halign, c.h);
    EXPECT_EQ(doc.dd->valign, c.v);
  }
  // An empty document only keeps the alignment.
  RichDoc empty;
  rich_arrange(empty.dd, 10, 10, 20, 20, 1, 2);
  EXPECT_EQ(empty.dd->lines[0].y, 0);
  EXPECT_EQ(empty.dd->valign, 2);

  // Rows: a holds 16, 16, 16; b holds 24 (BIG), 8 (SMALL). Both get 24 and 16 in the
  // first two rows, and a is stacked again: 0, 24, 40.
  RichDoc a, b;
  rich_put_string(a.dd, "1\n2\n3");
  rich_put_markup(b.dd, "<font big>1</font>\n<font small>2</font>");
  rich_align_rows(a.dd, b.dd);
  int ay[] = {0, 24, 40}, ah[] = {24, 16, 16}, bh[] = {24, 16};
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(a.dd->lines[i].y, ay[i]) << i;
    EXPECT_EQ(a.dd->lines[i].height, ah[i]) << i;
  }
  for (int i = 0; i < 2; i++) EXPECT_EQ(b.dd->lines[i].height, bh[i]) << i;
  EXPECT_EQ(rich_height(a.dd), 56);
  EXPECT_EQ(rich_height(b.dd), 40);
}

TEST(RichTextWrite, ColorValues) {
  RichFixed f;
  rich_fixed_init(&f);
  struct {
    const char *text;
    uint32_t value;
  } cases[] = {{"#FF0000", 0x0000FF}, {"#00FF00", 0x00FF00}, {"#0000FF", 0xFF0000},
               {"#12", 0x120000},    {"#", 0},              {"#GG", 0},
               {"bgcolor", 0xF0E0D0}, {"BGCOLOR", 0xF0E0D0}, {"0x80", 0x80},
               {"12abc", 12},        {"", 0},               {"-2", 0xFFFFFFFE},
               {"-99999999999", 0x80000000}};
  for (auto &c : cases) EXPECT_EQ(rich_color_value(&f.measurer, c.text), c.value) << c.text;
}

}  // namespace
