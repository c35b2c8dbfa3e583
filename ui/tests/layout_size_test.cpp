// Section rectangles of the default script and of hand-written scripts for several client
// sizes. Every expected rectangle was worked out by hand from the rules of side
// resolution, minimum sums, size groups and distribution; the arithmetic is in the
// comments. Rectangles are "left top right bottom" in the holder's section order.
#include <string>

#include "layout_test_support.h"
#include "util/zone.h"

namespace {

struct SizeCase {
  const char *holder;
  int width, height;
  const char *rects;
};

// Holders as the default script joins them (bars named as found by hand):
//  Animation: animator L T R Y, cmdline L Y R B. sumMin: left 1, top 40+1 = 41.
//    Heights {animator, cmdline}: cmdline fixed 40, animator the rest.
//  CodeTopBottom: source L T X3 Y2, code X2 Y2 X3 Y1, reg L Y2 X2 B, map X3 T R Y1,
//    watch X2 Y1 X1 B, log X1 Y1 R B. sumMin left = reg 140 + watch 120 + log 1 = 261,
//    top = source 1 + code 1 + log 1 = 3. Width groups {reg, watch, log}, {code, map},
//    {source}; height groups {source 50%, code *, log *}, {watch}, {reg}, {map}.
//    X2 = 140, X1 = 260, X3 = W - 30; source gets H/2, code and log share the other
//    half: (1 - 0.5) / 2 = 0.25 each, so Y2 = H/2 and Y1 = Y2 + H/4 (truncated).
//  CodeLeftRight: reg L T X1 B, source X1 T X3 Y1, code X3 T X2 Y1, map X2 T R Y1,
//    log X1 Y1 R B. Width group {reg, source, code, map}: 140 and 30 fixed, source and
//    code (W - 170) / 2 each; sumMin left = 140 + 1 + 1 + 30 = 172, top = 2.
//  Disassemble: reg L T X4 Y1, code X4 T X3 Y1, map X3 T X2 Y1, watch X2 T R Y1,
//    data L Y1 X1 B, log X1 Y1 R B. {reg, code, map, watch}: code = W - 290; {data, log}
//    halves; {code, data} halves the height. sumMin left = 291, top = 2.
//  SourceCode: reg L T X2 B, source X2 T X3 Y1, map X3 T R Y1, watch X2 Y1 X1 B,
//    log X1 Y1 R B. {reg, source, map}: source = W - 170; {watch, log} halve W - 140;
//    {source, log} halve the height. sumMin left = 171, top = 2.
//  MaximizeCode: code L T X B, map X T R B; code = W - 30, sumMin left = 31, top 1.
const SizeCase kDefaultCases[] = {
    {"Cover", 800, 600, "cover 0 0 800 600"},
    // Too small: laid out at the minimum 1 x 1 (both sumMins are 1).
    {"Cover", 0, 0, "cover 0 0 1 1"},
    // 560 - 40 = 520.
    {"Animation", 800, 560, "animator 0 0 800 520; cmdline 0 520 800 560"},
    // Height 30 < 41: bottom at 41; round 1 raises cmdline to 40, round 2 gives
    // animator 41 - 40 = 1.
    {"Animation", 300, 30, "animator 0 0 300 1; cmdline 0 1 300 41"},
    // X3 = 770; Y2 = 300, Y1 = 300 + 150 = 450.
    {"CodeTopBottom", 800, 600,
     "source 0 0 770 300; code 140 300 770 450; reg 0 300 140 600; map 770 0 800 450; "
     "watch 140 450 260 600; log 260 450 800 600"},
    // X3 = 994; Y2 = trunc(368.5) = 368, Y1 = trunc(368 + 184.25) = 552.
    {"CodeTopBottom", 1024, 737,
     "source 0 0 994 368; code 140 368 994 552; reg 0 368 140 737; map 994 0 1024 552; "
     "watch 140 552 260 737; log 260 552 1024 737"},
    // 200 x 2 is laid out at 261 x 3. Widths: {reg, watch, log} 140, 120, 1;
    // {code, map}: 261 - 140 = 121, map 30, code 91, X3 = 231; source 231.
    // Height 3: round 1 gives log and code 0.75 -> raised to 1 (fixed 2), source 1.5;
    // round 2: source 1 * 0.5 = 0.5 -> raised to 1. Y2 = 1, Y1 = 2.
    {"CodeTopBottom", 200, 2,
     "source 0 0 231 1; code 140 1 231 2; reg 0 1 140 3; map 231 0 261 2; "
     "watch 140 2 260 3; log 260 2 261 3"},
    // (800 - 170) / 2 = 315: X3 = 455, X2 = 770; Y1 = 300.
    {"CodeLeftRight", 800, 600,
     "source 140 0 455 300; code 455 0 770 300; reg 0 0 140 600; map 770 0 800 300; "
     "log 140 300 800 600"},
    // (1025 - 170) / 2 = 427.5: X3 = trunc(567.5) = 567, X2 = trunc(567 + 427.5) = 994,
    // so the map is 31 wide; Y1 = trunc(368.5) = 368.
    {"CodeLeftRight", 1025, 737,
     "source 140 0 567 368; code 567 0 994 368; reg 0 0 140 737; map 994 0 1025 368; "
     "log 140 368 1025 737"},
    // 100 x 1 is laid out at 172 x 2: source and code (172 - 170) / 2 = 1 each.
    {"CodeLeftRight", 100, 1,
     "source 140 0 141 1; code 141 0 142 1; reg 0 0 140 2; map 142 0 172 1; "
     "log 140 1 172 2"},
    // X4 = 140, X3 = 800 - 150 = 650, X2 = 680; X1 = 400; Y1 = 300.
    {"Disassemble", 800, 600,
     "code 140 0 650 300; reg 0 0 140 300; map 650 0 680 300; watch 680 0 800 300; "
     "data 0 300 400 600; log 400 300 800 600"},
    // X3 = 875, X2 = 905, X1 = trunc(512.5) = 512, Y1 = 368.
    {"Disassemble", 1025, 737,
     "code 140 0 875 368; reg 0 0 140 368; map 875 0 905 368; watch 905 0 1025 368; "
     "data 0 368 512 737; log 512 368 1025 737"},
    // 100 x 1 at 291 x 2: code 1; data and log 145.5 each, X1 = 145; Y1 = 1.
    {"Disassemble", 100, 1,
     "code 140 0 141 1; reg 0 0 140 1; map 141 0 171 1; watch 171 0 291 1; "
     "data 0 1 145 2; log 145 1 291 2"},
    // X3 = 770; X1 = 140 + (800 - 140) / 2 = 470; Y1 = 300.
    {"SourceCode", 800, 600,
     "source 140 0 770 300; reg 0 0 140 600; map 770 0 800 300; watch 140 300 470 600; "
     "log 470 300 800 600"},
    // X3 = 995; X1 = trunc(140 + 442.5) = 582; Y1 = 368.
    {"SourceCode", 1025, 737,
     "source 140 0 995 368; reg 0 0 140 737; map 995 0 1025 368; watch 140 368 582 737; "
     "log 582 368 1025 737"},
    // 100 x 1 at 171 x 2: source 1, X3 = 141; {watch, log} (171 - 140) / 2 = 15.5,
    // X1 = trunc(155.5) = 155.
    {"SourceCode", 100, 1,
     "source 140 0 141 1; reg 0 0 140 2; map 141 0 171 1; watch 140 1 155 2; "
     "log 155 1 171 2"},
    {"MaximizeCode", 800, 600, "code 0 0 770 600; map 770 0 800 600"},
    {"MaximizeData", 800, 600, "data 0 0 770 600; map 770 0 800 600"},
    {"MaximizeSource", 800, 600, "source 0 0 770 600; map 770 0 800 600"},
    // 10 x 0 at 31 x 1.
    {"MaximizeCode", 10, 0, "code 0 0 1 1; map 1 0 31 1"},
    {"MaximizeLog", 640, 480, "log 0 0 640 480"},
    {"MaximizeWatch", 640, 480, "watch 0 0 640 480"},
    {"MaximizeReg", 640, 480, "reg 0 0 640 480"},
};

TEST(LayoutSize, DefaultScriptHolders) {
  Layout layout = {};
  ASSERT_EQ(read_script(&layout, default_script()), LAYOUT_LOADED);
  EXPECT_EQ(layout.holdernum, 12);
  for (const SizeCase &c : kDefaultCases) {
    Holder *h = holder_named(&layout, c.holder);
    ASSERT_TRUE(h) << c.holder;
    EXPECT_TRUE(layout_relayout(h, c.width, c.height));
    EXPECT_EQ(rects_text(h), c.rects) << c.holder << " " << c.width << "x" << c.height;
  }
  // The panel sits inside the frame: code 140 300 770 450 at 800 x 600.
  Holder *h = holder_named(&layout, "CodeTopBottom");
  ASSERT_TRUE(layout_relayout(h, 800, 600));
  EXPECT_EQ(rect_text(layout_panel_rect(section_named(h, "code"))), "143 306 767 448");
  layout_free(&layout);
}

struct ScriptCase {
  const char *name;
  const char *script;
  SizeCase sizes[3];
};

const ScriptCase kScripts[] = {
    // L -a- X2 -b- X1 -c- R; sumMin left = 140 + 0 + 30 = 170, one width group.
    // 800: c raised to 30, a to 140, b = 800 - 170 = 630.
    // 100: laid out at 170: b = 170 - 170 = 0.
    {"row of fixed, rest and fixed",
     "<holder id=h><section id=a width=140 left=screen right=b><section id=b width=*>"
     "<section id=c width=30 left=b right=screen></holder>",
     {{"h", 800, 50, "a 0 0 140 50; b 140 0 770 50; c 770 0 800 50"},
      {"h", 100, 50, "a 0 0 140 50; b 140 0 140 50; c 140 0 170 50"},
      {"h", 170, 1, "a 0 0 140 1; b 140 0 140 1; c 140 0 170 1"}}},
    // T -a- Y -b- B, a 50 %, b fixed 40. 400: round 1 a = 200, b raised to 40; round 2
    // a = (400 - 40) * 0.5 = 180. b still ends at the bottom: 180 to 400. Neither
    // section names a left or right side: they line up with each other, that is with
    // the borders.
    {"column of a share and a fixed size",
     "<holder id=h><section id=a height=50% top=screen bottom=b>"
     "<section id=b height=40 bottom=screen></holder>",
     {{"h", 300, 400, "a 0 0 300 180; b 0 180 300 400"},
      // 100: a 50, b 40 (fixed 40); round 2 a = 60 * 0.5 = 30.
      {"h", 300, 100, "a 0 0 300 30; b 0 30 300 100"},
      // 20 < sumMin 41: at 41, a = 41 * 0.5 = 20.5, b 40; round 2: a = 0.5 -> 1.
      {"h", 300, 20, "a 0 0 300 1; b 0 1 300 41"}}},
    // Weights .3 + two shares: share = (1 - 0.3) / 2 = 0.35. 1000: 300, 350, 350.
    // 2 (at sumMin 3): 0.9 -> 1, 1.05, 1.05; round 2: 1 * 0.5 each.
    {"row of a percentage and two shares",
     "<holder id=h><section id=a width=30% left=screen right=b><section id=b right=c>"
     "<section id=c right=screen></holder>",
     {{"h", 1000, 10, "a 0 0 300 10; b 300 0 650 10; c 650 0 1000 10"},
      {"h", 2, 10, "a 0 0 1 10; b 1 0 2 10; c 2 0 3 10"},
      // 11: 3.3, 3.85, 3.85; X2 = trunc(3.3) = 3, X1 = trunc(3 + 3.85) = 6.
      {"h", 11, 10, "a 0 0 3 10; b 3 0 6 10; c 6 0 11 10"}}},
    // Weights over 1 are taken as parts of their sum: 0.6 / 1.2 of 500 = 250 each; in
    // single precision 500 * 0.6 = 300 and 300 / 1.2000000477 = 249.99998, truncated
    // to 249.
    {"column of two 60 % parts",
     "<holder id=h><section id=a height=60% top=screen bottom=b>"
     "<section id=b height=60% bottom=screen></holder>",
     {{"h", 10, 500, "a 0 0 10 249; b 0 249 10 500"},
      {"h", 10, 3, "a 0 0 10 1; b 0 1 10 3"},
      {"h", 10, 0, "a 0 0 10 1; b 0 1 10 2"}}},
    // Two sections named x: side parameters find the last one (the narrow one), so y
    // lies right of it; the first x spans the top. {x1 100, y *} in height: y gets
    // 400 - 100 = 300, the narrow x reaches from y's top to the bottom.
    {"a section named twice",
     "<holder id=h><section id=x height=100 bottom=y><section id=y left=x>"
     "<section id=x width=50></holder>",
     {{"h", 600, 400, "x 0 0 600 100; y 50 100 600 400; x 0 100 50 400"},
      // 30 x 60 at 51 x 101: y 1 wide, 1 high.
      {"h", 30, 60, "x 0 0 51 100; y 50 100 51 101; x 0 100 50 101"},
      {"h", 51, 101, "x 0 0 51 100; y 50 100 51 101; x 0 100 50 101"}}},
    // A side naming no section that exists is left out: a fills the holder.
    {"unknown neighbour",
     "<holder id=h><section id=a right=nothing></holder>",
     {{"h", 20, 10, "a 0 0 20 10"}, {"h", 0, 0, "a 0 0 1 1"}, {"h", 5, 7, "a 0 0 5 7"}}},
    // A holder inside a holder is a holder of its own.
    {"nested holder",
     "<holder id=outer><section id=a right=b><holder id=h><section id=c></holder>"
     "<section id=b width=10></holder>",
     {{"outer", 100, 20, "a 0 0 90 20; b 90 0 100 20"},
      {"h", 100, 20, "c 0 0 100 20"},
      {"outer", 0, 0, "a 0 0 1 1; b 1 0 11 1"}}},
};

TEST(LayoutSize, HandWrittenScripts) {
  for (const ScriptCase &c : kScripts) {
    SCOPED_TRACE(c.name);
    Layout layout = {};
    ASSERT_EQ(read_script(&layout, c.script), LAYOUT_LOADED);
    for (const SizeCase &s : c.sizes) {
      Holder *h = holder_named(&layout, s.holder);
      ASSERT_TRUE(h);
      EXPECT_TRUE(layout_relayout(h, s.width, s.height));
      EXPECT_EQ(rects_text(h), s.rects) << s.width << "x" << s.height;
    }
    layout_free(&layout);
  }
}

int edge(const LayoutRect &r, int side) {
  const int edges[4] = {r.left, r.top, r.right, r.bottom};
  return edges[side];
}

// At any size above the minimums, every holder of the default script covers its client
// area with its sections, none over another, and each side the script names stands on
// the border or on the named section's opposite side.
TEST(LayoutSize, DefaultHoldersTileTheClientAlongTheScriptsBars) {
  Layout layout = {};
  ASSERT_EQ(read_script(&layout, default_script()), LAYOUT_LOADED);
  const char *const kSides[4] = {"left", "top", "right", "bottom"};
  const LayoutPoint kSizes[] = {{400, 300}, {800, 600}, {1025, 737}, {1913, 1041}};
  for (int i = 0; i < layout.holdernum; i++) {
    Holder *h = layout.holders[i];
    for (const LayoutPoint &size : kSizes) {
      SCOPED_TRACE(std::string(h->id) + " " + std::to_string(size.x) + "x" + std::to_string(size.y));
      ASSERT_TRUE(layout_relayout(h, size.x, size.y));
      const LayoutRect client = {0, 0, size.x, size.y};
      long area = 0;
      for (int a = 0; a < h->secnum; a++) {
        const Section *s = h->sections[a];
        const LayoutRect &r = s->rect;
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= size.x && r.bottom <= size.y &&
                    r.left <= r.right && r.top <= r.bottom) << s->id << " " << rect_text(r);
        area += (long)(r.right - r.left) * (r.bottom - r.top);
        for (int b = 0; b < a; b++) {
          const LayoutRect &o = h->sections[b]->rect;
          EXPECT_FALSE(r.left < o.right && o.left < r.right && r.top < o.bottom && o.top < r.bottom)
              << s->id << " over " << h->sections[b]->id;
        }
        for (int side = 0; side < 4; side++) {
          const char *named = layout_param(s->node, kSides[side]);
          if (!named) continue;
          const Section *n = strcmp(named, "screen") ? section_named(h, named) : nullptr;
          EXPECT_EQ(edge(r, side), edge(n ? n->rect : client, n ? (side + 2) % 4 : side))
              << s->id << " " << kSides[side] << "=" << named;
        }
      }
      EXPECT_EQ(area, (long)size.x * size.y);
    }
  }
  layout_free(&layout);
}

// A section given a width moves its far bar, or its near one when the far one is the
// holder's border; the next relayout keeps it. A section between borders cannot.
TEST(LayoutSize, ASectionTakesAWidth) {
  Layout layout = {};
  ASSERT_EQ(read_script(&layout, default_script()), LAYOUT_LOADED);
  const struct {
    const char *holder;
    int width;
    bool moved;
    const char *watch;
  } cases[] = {{"CodeTopBottom", 200, true, "140 450 340 600"},
               {"Disassemble", 140, true, "660 0 800 300"},
               {"MaximizeWatch", 100, false, "0 0 800 600"}};
  for (auto &c : cases) {
    Holder *h = holder_named(&layout, c.holder);
    ASSERT_TRUE(h && layout_relayout(h, 800, 600)) << c.holder;
    EXPECT_EQ(c.moved, layout_resize_section(h, section_named(h, "watch"), 0, c.width));
    ASSERT_TRUE(layout_relayout(h, 800, 600));
    EXPECT_EQ(rect_text(section_named(h, "watch")->rect), c.watch) << c.holder;
  }
  layout_free(&layout);
}

// A relayout runs on every mouse move of a drag: it must not take or give back a block.
TEST(LayoutSize, RelayoutAllocatesNothing) {
  Layout layout = {};
  ASSERT_EQ(read_script(&layout, default_script()), LAYOUT_LOADED);
  int blocks = zone_block_count();
  size_t size = zone_total_size(), extent = zone_total_extent();
  for (int i = 0; i < layout.holdernum; i++) {
    Holder *h = layout.holders[i];
    for (int w = 0; w < 1200; w += 97) layout_relayout(h, w, w * 3 / 4);
    for (int b = 0; b < h->barnum; b++) layout_move_bar(h, b, h->bars[b]->pos + 5);
    layout_relayout(h, 800, 600);
  }
  EXPECT_EQ(zone_block_count(), blocks);
  EXPECT_EQ(zone_total_size(), size);
  EXPECT_EQ(zone_total_extent(), extent);
  layout_free(&layout);
}

}  // namespace
