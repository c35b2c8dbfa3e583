// The splitter hit test on the default CodeTopBottom holder, and drags whose results
// were worked out by hand.
#include <vector>

#include "layout_test_support.h"
#include "ui/layout_drag.h"
#include "util/zone.h"

namespace {

// CodeTopBottom at 800 x 600 (see layout_size_test.cpp). Bars by index: 0 L 0, 1 T 0,
// 2 R 800, 3 B 600, 4 X1 260, 5 Y1 450, 6 X2 140, 7 X3 770, 8 Y2 300. Sections, last
// to first as the hit test tries them: log X1 Y1 R B, watch X2 Y1 X1 B, map X3 T R Y1,
// reg L Y2 X2 B, code X2 Y2 X3 Y1, source L T X3 Y2. Grips: a left side 3 pixels
// right of its bar, a right side 3 to the left, a top side 6 down, a bottom side 2 up
// and 3 beyond the section's ends.
TEST(LayoutDrag, HitTest) {
  Layout layout = {};
  ASSERT_EQ(read_script(&layout, default_script()), LAYOUT_LOADED);
  Holder *h = holder_named(&layout, "CodeTopBottom");
  ASSERT_TRUE(layout_relayout(h, 800, 600));
  struct {
    int x, y, axis, bar;
    const char *why;
  } cases[] = {
      {769, 100, 0, 7, "source's right grip 767..769"},
      {771, 100, 0, 7, "map's left grip 770..772"},
      {773, 100, 0, -1, "right of map's left grip"},
      {766, 100, 0, -1, "left of source's right grip"},
      {140, 350, 0, 6, "code's left grip"},
      {139, 350, 0, 6, "reg's right grip"},
      {136, 350, 0, -1, "inside reg"},
      {0, 10, 0, 0, "the left border, source's left grip"},
      {799, 500, 0, 2, "the right border, log's right grip"},
      {800, 500, 0, -1, "right of the client area"},
      {260, 450, 0, 4, "log's left grip"},
      {100, 300, 1, 8, "reg's top grip 300..305"},
      {100, 298, 1, 8, "source's bottom grip 298..299"},
      {771, 298, 1, 8, "source's bottom grip reaches 3 beyond its right end, into map"},
      {773, 298, 1, -1, "4 beyond source's right end"},
      {100, 297, 1, -1, "above source's bottom grip"},
      {500, 452, 1, 5, "log's top grip"},
      {775, 449, 1, 5, "map's bottom grip"},
      {10, 5, 1, 1, "the top border, source's top grip"},
      {10, 598, 1, 3, "the bottom border, reg's bottom grip"},
      {100, 350, 1, -1, "inside reg"},
  };
  for (auto &c : cases)
    EXPECT_EQ(layout_hit_bar(h, LayoutPoint{c.x, c.y}, c.axis), c.bar) << c.why;

  struct {
    int x, y;
    LayoutCursor cursor;
  } cursors[] = {{140, 300, LAYOUT_CURSOR_ALL}, {500, 100, LAYOUT_CURSOR_ARROW},
                 {769, 100, LAYOUT_CURSOR_WE},  {500, 452, LAYOUT_CURSOR_NS}};
  for (auto &c : cursors)
    EXPECT_EQ(layout_drag_move(h, LayoutPoint{c.x, c.y}), c.cursor) << c.x << "," << c.y;
  EXPECT_FALSE(h->drag.active);
  layout_free(&layout);
}

struct DragStep {
  char what;  // b: button pressed, m: moved, e: released, s: client size x by y
  int x, y;
  LayoutCursor cursor;
  const char *rects;
};

struct DragCase {
  const char *name;
  std::string script;
  const char *holder;
  int width, height;
  std::vector<DragStep> steps;
};

const char *kRow =
    "<holder id=h><section id=a width=140 left=screen right=b><section id=b width=*>"
    "<section id=c width=30 left=b right=screen></holder>";
const char *kHalves =
    "<holder id=h><section id=a height=50% top=screen bottom=b>"
    "<section id=b height=50% bottom=screen></holder>";
const char *kTopBottomBefore =
    "source 0 0 770 300; code 140 300 770 450; reg 0 300 140 600; map 770 0 800 450; "
    "watch 140 450 260 600; log 260 450 800 600";
const char *kTopBottomAfter =
    "source 0 0 770 250; code 200 250 770 450; reg 0 250 200 600; map 770 0 800 450; "
    "watch 200 450 260 600; log 260 450 800 600";
const char *kLeftRightAfter =
    "source 200 0 455 300; code 455 0 770 300; reg 0 0 200 600; map 770 0 800 300; "
    "log 200 300 800 600";

const DragCase kDrags[] = {
    // Row a 140 | b * | c 30 at 800: a 140, b 630, c 30; the group's length after the
    // fixed parts is 630, its weights 1. The b|c bar (index 4, at 770) is pressed at 771
    // (offset 1).
    // To 790: b grows to 650; as a share it becomes the weight 650 * 1 / 630 = 1.0317,
    // min 650. c shrinks to 10, below its minimum 30, at which it sat: min = 10.
    // Relayout: weights 1.0317, nothing to share; c 0 -> 10, a 0 -> 140, b 650: 140,
    // 790, 800.
    // To 850: the bar stops at c's far bar, 800: b sat at its minimum 650: min = 660; c
    // at 10: min = 0. Relayout: 140 + 660 = 800, c 0 wide.
    // The window grows to 1000: b, now the chain's only weight, takes the growth
    // (1000 - 140); c keeps its dragged width 0 at the right border.
    {"bar dragged past its neighbour's minimum", kRow, "h", 800, 50,
     {{'b', 771, 20, LAYOUT_CURSOR_WE, "a 0 0 140 50; b 140 0 770 50; c 770 0 800 50"},
      {'m', 791, 20, LAYOUT_CURSOR_WE, "a 0 0 140 50; b 140 0 790 50; c 790 0 800 50"},
      {'m', 851, 20, LAYOUT_CURSOR_WE, "a 0 0 140 50; b 140 0 800 50; c 800 0 800 50"},
      {'e', 851, 20, LAYOUT_CURSOR_WE, "a 0 0 140 50; b 140 0 800 50; c 800 0 800 50"},
      {'s', 1000, 50, LAYOUT_CURSOR_ARROW, "a 0 0 140 50; b 140 0 1000 50; c 1000 0 1000 50"},
      // Released: the mouse only finds the cursor again.
      {'m', 141, 20, LAYOUT_CURSOR_WE, "a 0 0 140 50; b 140 0 1000 50; c 1000 0 1000 50"},
      {'m', 500, 20, LAYOUT_CURSOR_ARROW, "a 0 0 140 50; b 140 0 1000 50; c 1000 0 1000 50"},
      // Narrower than the dragged minimums 140 + 660 + 0: laid out at them, the right
      // border with the sections.
      {'s', 500, 50, LAYOUT_CURSOR_ARROW, "a 0 0 140 50; b 140 0 800 50; c 800 0 800 50"}}},
    // Column a 50 % over b 50 % in 400: 200 each. The bar (index 4) is pressed at y 200
    // and dragged to 300: a: rel = 300 / 200 * 0.5 = 0.75, min = 300; b: rel = 0.25,
    // min = 100. At 800 the shares hold: 600 and 200; back at 400: 300 and 100 again.
    {"shares follow the dragged bar", kHalves, "h", 10, 400,
     {{'b', 5, 200, LAYOUT_CURSOR_NS, "a 0 0 10 200; b 0 200 10 400"},
      {'e', 5, 300, LAYOUT_CURSOR_NS, "a 0 0 10 300; b 0 300 10 400"},
      {'s', 10, 800, LAYOUT_CURSOR_ARROW, "a 0 0 10 600; b 0 600 10 800"},
      {'s', 10, 400, LAYOUT_CURSOR_ARROW, "a 0 0 10 300; b 0 300 10 400"}}},
    // CodeTopBottom at 800 x 600, pressed where reg's right bar (X2, 140) meets code's
    // top bar (Y2, 300): both follow the mouse to (200, 250).
    // X2 to 200: reg sat at its minimum 140: min = 200; code, a share, 570 of 630 in
    // {code, map} (length 630, weights 1): rel = 570 / 630 = 0.905, min = 570; watch sat
    // at 120: min = 60. Y2 to 250: source 250 of 300: rel = 0.5 * 250 / 300 = 0.41667,
    // min = 250; reg, a share, 350 in {reg} (length 300): rel = 1.1667, min = 350; code
    // 200 in {source, code, log} (length 600): rel = 0.33333, min = 200.
    // Relayout: {reg, watch, log} 200 + 60, log 540; {code, map}: code 600 * 0.905 = 543
    // -> 570, map 30; heights: weights 0.41667 + 0.33333 = 0.75 leave log the share 0.25:
    // source 250, code 200, log 150.
    {"both bars at once", default_script(), "CodeTopBottom", 800, 600,
     {{'b', 140, 300, LAYOUT_CURSOR_ALL, kTopBottomBefore},
      {'m', 200, 250, LAYOUT_CURSOR_ALL, kTopBottomAfter},
      {'e', 200, 250, LAYOUT_CURSOR_ALL, kTopBottomAfter}}},
    // CodeLeftRight at 800 x 600 (reg 140 | source 315 | code 315 | map 30, log under all
    // but reg). reg's right bar (X1, 140) is pressed at 139 and dragged to 200.
    // reg sat at its minimum: min = 200. source, a share, 255 of 315 in {reg, source,
    // code, map} (length 630, weights 1): rel = 255 / 630 = 0.40476, min 255; log 600 of
    // 660 in {log}: rel = 0.90909, min 600.
    // Relayout: round 1 map 30 and reg 200 fixed; round 2 of 570: code 570 * 0.59524 =
    // 339.3, source 230.7 -> 255; round 3: code 315. The bars stay where they were.
    // At 1000 the two keep their weights: 770 * 0.40476 = 311.67 and 770 * 0.59524 =
    // 458.33: X3 = trunc(511.67) = 511, X2 = trunc(969.33) = 969.
    {"a dragged share keeps its chain inside", default_script(), "CodeLeftRight", 800, 600,
     {{'b', 139, 100, LAYOUT_CURSOR_WE,
       "source 140 0 455 300; code 455 0 770 300; reg 0 0 140 600; map 770 0 800 300; "
       "log 140 300 800 600"},
      {'m', 199, 100, LAYOUT_CURSOR_WE, kLeftRightAfter},
      {'e', 199, 100, LAYOUT_CURSOR_WE, kLeftRightAfter},
      {'s', 1000, 600, LAYOUT_CURSOR_ARROW,
       "source 200 0 511 300; code 511 0 969 300; reg 0 0 200 600; map 969 0 1000 300; "
       "log 200 300 1000 600"}}},
};

// Each step's cursor and rectangles; the drag allocates nothing.
TEST(LayoutDrag, Drags) {
  for (const DragCase &c : kDrags) {
    SCOPED_TRACE(c.name);
    Layout layout = {};
    ASSERT_EQ(read_script(&layout, c.script), LAYOUT_LOADED);
    Holder *h = holder_named(&layout, c.holder);
    ASSERT_TRUE(layout_relayout(h, c.width, c.height));
    int blocks = zone_block_count();
    bool dragging = false;
    for (size_t i = 0; i < c.steps.size(); i++) {
      const DragStep &s = c.steps[i];
      LayoutPoint p = {s.x, s.y};
      LayoutCursor cursor = LAYOUT_CURSOR_ARROW;
      if (s.what == 'b') cursor = layout_drag_begin(h, p);
      if (s.what == 'm') cursor = layout_drag_move(h, p);
      if (s.what == 'e') cursor = layout_drag_end(h, p);
      if (s.what == 's') {
        EXPECT_TRUE(layout_relayout(h, s.x, s.y));
      }
      EXPECT_EQ(cursor, s.cursor) << i;
      EXPECT_EQ(rects_text(h), s.rects) << "step " << i;
      dragging = s.what == 'b' || (dragging && s.what != 'e');
      EXPECT_EQ(h->drag.active, dragging) << i;
    }
    EXPECT_EQ(zone_block_count(), blocks) << "a drag allocates nothing";
    layout_free(&layout);
  }
}

}  // namespace
