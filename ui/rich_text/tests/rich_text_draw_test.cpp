// Drawing rich text through a recording drawer: what is drawn where, in which font and
// colours; selection pieces, links under the mouse, marked tags, papers, pictures, and
// lines outside the clip box. Fixed-width fonts: the context's own 8 x 16 (tab stops every
// 64), SMALL 4 x 8, BIG 12 x 24; Logo.gif 40 x 30.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

std::string color_text(uint32_t c) {
  char t[16];
  if (c == RICH_TRANSPARENT) return "none";
  snprintf(t, sizeof t, "0x%X", c);
  return t;
}

// Records the output calls with the font and colours in force at each.
struct Recorder {
  RichDrawer drawer;
  RichWindow window;
  RichRect clip;
  uint32_t base = 0x000000;
  RichHandle font = 0;
  uint32_t text = 0, paper = RICH_TRANSPARENT;
  std::vector<std::string> ops;

  explicit Recorder(RichRect c) : clip(c) {
    drawer = {this, begin, end, set_font, colors, draw_text, fill, image, underline};
    window = {this, invalidate, hand_cursor};
  }
  static Recorder *of(void *context) { return (Recorder *)context; }
  void add(const char *fmt, int a, int b, int c = 0, int d = 0) {
    char t[100];
    snprintf(t, sizeof t, fmt, a, b, c, d);
    ops.push_back(t);
  }
  static void begin(void *context, int x, int y, RichRect *clip, uint32_t *text_color) {
    Recorder *r = of(context);
    r->add("begin %d,%d", x, y);
    *clip = r->clip;
    *text_color = r->base;
  }
  static void end(void *context) { of(context)->ops.push_back("end"); }
  static void set_font(void *context, RichHandle font) { of(context)->font = font; }
  static void colors(void *context, uint32_t text, uint32_t paper) {
    of(context)->text = text;
    of(context)->paper = paper;
  }
  static void draw_text(void *context, int x, int y, const char *text, int count) {
    Recorder *r = of(context);
    char t[200];
    snprintf(t, sizeof t, "text %d,%d '%.*s' font %u ", x, y, count, text, r->font);
    r->ops.push_back(t + ("color " + color_text(r->text)) + " paper " + color_text(r->paper));
  }
  static void fill(void *context, const RichRect *rect, uint32_t color) {
    Recorder *r = of(context);
    r->add("fill %d,%d-%d,%d", rect->left, rect->top, rect->right, rect->bottom);
    r->ops.back() += " " + color_text(color);
  }
  static void image(void *context, RichHandle image, int x, int y) {
    of(context)->add("image %d %d,%d", (int)image, x, y);
  }
  static void underline(void *context, int x0, int x1, int y) {
    of(context)->add("underline %d-%d %d", x0, x1, y);
  }
  static void invalidate(void *context, const RichRect *rect) {
    of(context)->add("invalidate %d,%d-%d,%d", rect->left, rect->top, rect->right, rect->bottom);
  }
  static void hand_cursor(void *context, bool hand) {
    of(context)->ops.push_back(hand ? "cursor hand" : "cursor arrow");
  }
};

const RichRect kScreen = {0, 0, 640, 480};

void expect_ops(const std::vector<std::string> &got, const std::vector<std::string> &want,
                const char *what) {
  EXPECT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size() || i < want.size(); i++)
    EXPECT_EQ(i < got.size() ? got[i] : "(none)", i < want.size() ? want[i] : "(none)")
        << what << " #" << i;
}

// A selection from 7 to 12 inside one run (its characters at 5-20): three pieces, the
// middle one in the selection colours.
TEST(RichTextDraw, SelectionSplitsARun) {
  RichDoc doc;
  rich_put_string(doc.dd, "0123456789ABCDEF");
  rich_set_selection(doc.dd, 12, 7);
  Recorder rec(kScreen);
  rich_draw(doc.dd, &rec.drawer);
  expect_ops(rec.ops,
             {"begin 0,0", "text 0,0 '01' font 0 color 0x0 paper none",
              "text 16,0 '23456' font 0 color 0xFFFFFF paper 0xFF",
              "text 56,0 '789ABCDEF' font 0 color 0x0 paper none", "end"},
             "selection");
  // Other selection colours.
  rich_set_selection_colors(doc.dd, 0x111111, 0x222222);
  rich_set_selection(doc.dd, 0, 6);
  rec.ops.clear();
  rich_draw(doc.dd, &rec.drawer);
  expect_ops(rec.ops,
             {"begin 0,0", "text 0,0 '0' font 0 color 0x111111 paper 0x222222",
              "text 8,0 '123456789ABCDEF' font 0 color 0x0 paper none", "end"},
             "colours");
}

// "go " (x 0-24), a link over "here" (24-56), a plain tag over " now" (56-88).
struct LinkDoc : RichDoc {
  int link, plain;
  LinkDoc() {
    rich_put_string(dd, "go ");
    rich_length(dd);
    link = rich_open_tag(dd, 0x401000, true);
    rich_put_string(dd, "here");
    rich_close_tag(dd);
    plain = rich_open_tag(dd, 0x402000, false);
    rich_put_string(dd, " now");
    rich_close_tag(dd);
  }
};

TEST(RichTextDraw, HoveredLink) {
  LinkDoc doc;
  Recorder rec(kScreen);
  struct {
    int x, hover;
    std::vector<std::string> ops;
  } moves[] = {
      {30, doc.link, {"invalidate 24,0-56,17", "cursor hand"}},
      {40, doc.link, {"cursor hand"}},
      // A tag that is no link leaves the hovering as it was.
      {60, doc.link, {"invalidate 24,0-56,17", "invalidate 24,0-56,17", "cursor hand"}},
      {5, -1, {"invalidate 24,0-56,17", "cursor arrow"}},
      {200, -1, {"cursor arrow"}},
  };
  for (auto &m : moves) {
    rec.ops.clear();
    EXPECT_EQ(rich_hover(doc.dd, &rec.window, m.x, 5), m.hover) << m.x;
    expect_ops(rec.ops, m.ops, "hover");
  }
  // Hovered, the link is underlined and red; marked as well, it takes the selection
  // colours, which win over the link's.
  rich_hover(doc.dd, &rec.window, 30, 5);
  for (bool marked : {false, true}) {
    rich_mark_tag(doc.dd, doc.link, marked);
    rec.ops.clear();
    rich_draw(doc.dd, &rec.drawer);
    std::string here = marked ? "color 0xFFFFFF paper 0xFF" : "color 0xFF paper none";
    expect_ops(rec.ops,
               {"begin 0,0", "text 0,0 'go ' font 0 color 0x0 paper none",
                "text 24,0 'here' font 0 " + here, "underline 24-56 15",
                "text 56,0 ' now' font 0 color 0x0 paper none", "end"},
               marked ? "marked" : "hovered");
  }
}

// Papers fill the gaps of tabs over the whole line height; a transparent paper none.
// Pictures and text sit on the line's bottom; overlays come after everything else.
TEST(RichTextDraw, PapersPicturesAndOverlays) {
  RichDoc doc;
  rich_put_markup(doc.dd, "<paper #00FF00>a\tb</paper>c\t");
  Recorder rec(kScreen);
  rich_draw(doc.dd, &rec.drawer);
  expect_ops(rec.ops,
             {"begin 0,0", "text 0,0 'a' font 0 color 0x0 paper 0xFF00", "fill 8,0-64,16 0xFF00",
              "text 64,0 'b' font 0 color 0x0 paper 0xFF00",
              "text 72,0 'c' font 0 color 0x0 paper none", "end"},
             "papers");

  RichDoc pic;
  rich_put_markup(pic.dd, "<image Logo.gif>x");
  rich_overlay_image(pic.dd, 102, 5, -2);
  rich_put_markup(pic.dd, "<font small>y</font>\n<color #0000FF>z");
  rec.ops.clear();
  rich_draw(pic.dd, &rec.drawer);
  expect_ops(rec.ops,
             {"begin 0,0", "image 101 0,0", "text 40,14 'x' font 0 color 0x0 paper none",
              "text 48,22 'y' font 5 color 0x0 paper none",
              "text 0,30 'z' font 0 color 0xFF0000 paper none", "image 102 53,-2", "end"},
             "pictures");

  RichDoc empty;
  rec.ops.clear();
  rich_draw(empty.dd, &rec.drawer);
  EXPECT_TRUE(rec.ops.empty());
}

// A hundred lines in BIG (24 high), a colour from line 10 to line 60, a selection from
// line 40 into line 50; only lines 50 and 51 lie in the clip box, scrolled to them.
TEST(RichTextDraw, OnlyLinesInTheClipBox) {
  RichDoc doc;
  for (int i = 0; i < 100; i++) {
    if (i == 0) rich_put_markup(doc.dd, "<font big>");
    if (i == 10) rich_put_markup(doc.dd, "<color #FF0000>");
    rich_put_format(doc.dd, "line %d", i);
    if (i == 60) rich_put_markup(doc.dd, "</color>");
    rich_put_char(doc.dd, '\n');
  }
  // "lin" of line 50 is selected.
  int line50 = rich_chars_before(doc.dd, rich_line_start(doc.dd, 50));
  rich_set_selection(doc.dd, rich_line_start(doc.dd, 40), rich_char_offset(doc.dd, line50 + 3));
  rich_set_scroll(doc.dd, 0, 24 * 50);
  Recorder rec({0, 24 * 50, 640, 24 * 52});
  rich_draw(doc.dd, &rec.drawer);
  expect_ops(rec.ops,
             {"begin 0,1200", "text 0,1200 'lin' font 4 color 0xFFFFFF paper 0xFF",
              "text 36,1200 'e 50' font 4 color 0xFF paper none",
              "text 0,1224 'line 51' font 4 color 0xFF paper none", "end"},
             "clipped");
}

}  // namespace
