// Writing rich text: what markup and plain text show when drawn, the line records with their
// measures and style flags, tags, parameters, tint, arranging. Measures come from the
// fixed-width fonts: the context's own 8 x 16 (space 8), GUI 6 x 13 (space 4), SYSTEM
// 9 x 18, BIG 12 x 24; the picture Logo.gif is 40 x 30.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "ui/rich_text/tests/drawn_runs.h"
#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/zone.h"

namespace {

// What a document shows, as drawn: each run of text in quotes, each picture as I and its
// handle, after the font (F), colour (C) and paper (P) it changes to ("-": back to none);
// "@x" where it does not start where the last one ended, "/" before a new line.
const uint32_t kBase = 0xABCDEF;  // the context's text colour, a value no markup here sets

std::string seen(RichText *dd) {
  std::string out;
  RichHandle font = 0;
  uint32_t color = kBase, paper = RICH_TRANSPARENT;
  int pen = 0, line = 0;
  auto style = [&](char kind, uint32_t value, uint32_t *shown, uint32_t none) {
    if (value == *shown) return;
    char t[16];
    snprintf(t, sizeof t, value == none ? " %c-" : " %c0x%X", kind, value);
    out += t;
    *shown = value;
  };
  const RichMeasurer *m = dd->measurer;
  for (const DrawnRun &r : drawn_runs(dd, kBase)) {
    int at = rich_line_at(dd, r.x, r.y, true), width, height;
    if (at != line) out += " /", pen = 0, line = at;
    if (r.image) {
      m->image_size(m->context, r.image, &width, &height);
    } else {  // the styles of text; pictures are drawn as they are
      if (r.font != font) out += " F" + std::to_string(font = r.font);
      style('C', r.color, &color, kBase);
      style('P', r.paper, &paper, RICH_TRANSPARENT);
      m->text_size(m->context, r.font, r.text.data(), (int)r.text.size(), &width, &height);
    }
    out += r.image ? " I" + std::to_string(r.image) : " '" + r.text + "'";
    if (r.x != pen) out += "@" + std::to_string(r.x);
    pen = r.x + width;
  }
  return out.empty() ? "" : out.substr(1);
}

TEST(RichTextWrite, Markup) {
  struct {
    const char *markup;
    bool ok;
    const char *seen;
  } cases[] = {
      // The program's own texts.
      {"<font system><color #FFFFFF>Recent files:</color></font>", true,
       "F2 C0xFFFFFF 'Recent files:'"},
      {"<color #FFFFFF>7</color> Top\n", true, "C0xFFFFFF '7' C- ' Top'"},
      {"  <image Logo.gif>  \n", true, "'  ' I101 '  '"},
      // A carriage return is kept but starts no line; tabs go to the next stop.
      {"x\r\ny\tz", true, "'x' / 'y' 'z'@64"},
      // Colours: RRGGBB turned round, the background by name, C numbers as they are.
      {"<color #FF0000>r", true, "C0xFF 'r'"},
      {"<color #abcdef>x", true, "C0xEFCDAB 'x'"},
      {"<paper bgcolor>p</paper>q", true, "P0xF0E0D0 'p' P- 'q'"},
      {"<paper BGColor>x", true, "P0xF0E0D0 'x'"},
      {"<color 010>x", true, "C0x8 'x'"},
      // Fonts by name in any case; pictures by name in any case.
      {"<font gui>a<font Var>b<font BIG>c<font small>d", true, "F1 'a' F3 'b' F4 'c' F5 'd'"},
      {"<image logo.GIF><image App.gif>", true, "I101 I102"},
      // Tag names are case-sensitive; unknown ones vanish and do not split the text.
      {"a<bold>b</bold>c<COLOR #FF0000>d", true, "'abcd'"},
      // What follows the argument other than ">" stays, as text.
      {"<color #FF0000 extra>x", true, "C0xFF ' extra>x'"},
      {"<color 1>a</color x>", true, "C0x1 'a' C- ' x>'"},
      {"<color 1>a</color>>", true, "C0x1 'a' C- '>'"},
      {"<  color   2>a", true, "C0x2 'a'"},
      {"<color 2 >a", true, "C0x2 ' >a'"},
      // A "<" reads a name up to a blank or ">": the rest of a comparison is taken.
      {"a < b", true, "'a '"},
      {"a<", true, "'a'"},
      {"<<color 5>z", true, "'z'"},
      // Failures keep what came before the failing tag.
      {"ab<font nosuch>cd", false, "'ab'"},
      {"<font>", false, ""},
      {"<color 1>x<image nosuch.gif>y", false, "C0x1 'x'"},
      {"<image>", false, ""},
      {"ok</font>", false, "'ok'"},
      {"</color>", false, ""},
      {"<paper 1>a</paper></paper>b", false, "P0x1 'a'"},
  };
  for (auto &c : cases) {
    RichDoc doc;
    EXPECT_EQ(rich_put_markup(doc.dd, c.markup), c.ok) << c.markup;
    EXPECT_EQ(seen(doc.dd), c.seen) << c.markup;
  }
  // An eleventh open of one kind fails; the ten before it stay open.
  RichDoc deep;
  std::string colors;
  for (int i = 1; i <= 11; i++) colors += "<color " + std::to_string(i) + ">";
  EXPECT_FALSE(rich_put_markup(deep.dd, colors.c_str()));
  rich_put_string(deep.dd, "x");
  EXPECT_EQ(seen(deep.dd), "C0xA 'x'");
}

// A name or argument longer than the 260-character buffer is cut, never overflows.
TEST(RichTextWrite, LongMarkupWordsAreCut) {
  RichDoc doc;
  std::string name = "<image " + std::string(1000, 'L') + ">";
  EXPECT_FALSE(rich_put_markup(doc.dd, name.c_str()));
  std::string color = "<color #" + std::string(600, '0') + "FF>x";
  EXPECT_TRUE(rich_put_markup(doc.dd, color.c_str()));
  EXPECT_EQ(seen(doc.dd), "C0x0 'x'");  // the digits past the cut are lost
}

// The counted form never reads past its count, nor past a zero inside it.
TEST(RichTextWrite, CountedMarkupStopsAtItsEnd) {
  RichDoc doc;
  EXPECT_TRUE(rich_put_markup_count(doc.dd, "<color #FF0000>abc", 17));
  EXPECT_TRUE(rich_put_markup_count(doc.dd, "<font", 3));  // "<fo": an unknown name
  EXPECT_TRUE(rich_put_markup_count(doc.dd, "d\0<font nosuch>", 16));
  EXPECT_EQ(seen(doc.dd), "C0xFF 'abd'");
}

TEST(RichTextWrite, FormattedMarkupIsCutTo260) {
  RichDoc doc;
  EXPECT_TRUE(rich_put_format(doc.dd, "<color #FFFFFF>%i</color> Top\n", 42));
  EXPECT_EQ(seen(doc.dd), "C0xFFFFFF '42' C- ' Top'");
  RichDoc cut;
  std::string text(300, 'x');
  EXPECT_TRUE(rich_put_format(cut.dd, "%s<font nosuch>", text.c_str()));
  EXPECT_EQ(seen(cut.dd), "'" + std::string(259, 'x') + "'");
}

// Each line as "x,y widthxheight flags 'text'", the flags T, F and C for tags, fonts and
// colours that do not balance; lines follow each other without a gap.
std::string lines_of(RichText *dd) {
  std::string out;
  for (int i = 0; i < rich_line_count(dd); i++) {
    const RichLine &l = dd->lines[i];
    if (i) {
      EXPECT_EQ(l.start, dd->lines[i - 1].end) << i;
    }
    char *text = rich_text_range(dd, l.start, l.end), t[64];
    snprintf(t, sizeof t, "%s%d,%d %dx%d %s%s%s '", i ? "; " : "", l.x, l.y, l.width, l.height,
             l.flags & LNF_TAGS ? "T" : "", l.flags & LNF_FONTS ? "F" : "",
             l.flags & LNF_COLORS ? "C" : l.flags & LNF_STYLE ? "" : "-");
    out += t + std::string(text) + "'";
    zone_free(text);
  }
  return out;
}

TEST(RichTextWrite, LinesMeasuresAndStyleFlags) {
  struct {
    const char *markup, *lines;
    int width, height;
  } cases[] = {
      // GUI: a is 6, a space 4, so tab stops every 32: a to 6, the tab to 32, b to 38.
      {"<font gui>a\tb", "0,0 38x13 F 'a\tb'", 38, 13},
      // A tab at the origin advances a whole step; six letters (36) go on to 64.
      {"<font gui>\tb\nabcdef\tb</font>", "0,0 38x13 F '\tb\r\n'; 0,13 70x13 F 'abcdef\tb'",
       70, 26},
      // A font closed two lines later: both ends carry the font flag, the line between
      // not. The newline after the close takes the height of a space in the context's
      // font (16) but the line keeps the 24 of its "c".
      {"<font big>a\nb\nc</font>\nd",
       "0,0 12x24 F 'a\r\n'; 0,24 12x24 - 'b\r\n'; 0,48 12x24 F 'c\r\n'; 0,72 8x16 - 'd'", 12,
       88},
      // Colours and papers count together; balanced lines carry nothing.
      {"<color 1>a</color><paper 2>b\n</paper>c", "0,0 16x16 C 'ab\r\n'; 0,16 8x16 C 'c'", 16,
       32},
      // A close first freezes the count below zero: opening again cannot balance it.
      {"<color 1>\n</color><color 2>x", "0,0 0x16 C '\r\n'; 0,16 8x16 C 'x'", 8, 32},
      // A picture raises the line to its height; an empty last line has none.
      {"<image Logo.gif>x\n", "0,0 48x30 - 'x\r\n'; 0,30 0x0 - ''", 48, 30},
  };
  for (auto &c : cases) {
    RichDoc doc;
    ASSERT_TRUE(rich_put_markup(doc.dd, c.markup)) << c.markup;
    EXPECT_EQ(lines_of(doc.dd), c.lines) << c.markup;
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
  // The overlay is drawn after the rest, at the pen it was put at (182) moved by -3.
  EXPECT_EQ(seen(doc.dd), "'a'@100 'b'@164 I102@182 I101@179");
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
  struct {
    const char *text;
    int flags, parent;
    uint32_t param;
  } want[] = {{"abcde\r\n", TGF_LINK, -1, 7}, {"cde\r\n", 0, 0, 8}, {"", 0, -1, 9}};
  ASSERT_EQ(doc.dd->tagnum, 3);
  for (int i = 0; i < 3; i++) {
    char *text = rich_text_range(doc.dd, doc.dd->tags[i].start, doc.dd->tags[i].end);
    EXPECT_STREQ(text, want[i].text) << i;
    zone_free(text);
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
    const char *markup, *seen;
  } cases[] = {
      {0, 0xFFFFFF, "<color #FF0000>x", "C0xFF 'x'"},
      {255, 0x000000, "<color #FFFFFF><paper 0x123456>x", "C0x0 P0x0 'x'"},
      // red (255*128 + 0*127)/255 = 128, green (0*128 + 255*127)/255 = 127, blue 0
      {128, 0x0000FF, "<color #00FF00>x", "C0x7F80 'x'"},
      {200, 0x0000FF, "<paper -1>x", "'x'"},  // transparent stays transparent
  };
  for (auto &c : cases) {
    RichDoc doc;
    rich_set_tint(doc.dd, c.strength, c.tint);
    rich_put_markup(doc.dd, c.markup);
    EXPECT_EQ(seen(doc.dd), c.seen) << c.markup;
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
  EXPECT_EQ(seen(doc.dd), "I101 I101 I101 I103");
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
               {"-99999999999", 0x80000000}, {"99999999999", 0x7FFFFFFF}, {"010", 8},
               {"-1", 0xFFFFFFFF}};
  for (auto &c : cases) EXPECT_EQ(rich_color_value(&f.measurer, c.text), c.value) << c.text;
}

}  // namespace
