// The animation panel's frame drawn into a bitmap under Wine, read back pixel by pixel: the
// paper, the grid counted from the right and bottom edges, a link in white scaled by its
// strength, particles in yellow scaled by their heat at their projected places; the tick
// counter grows with every frame.
#include <gtest/gtest.h>
#include <windows.h>

#include "ui/panels/animator/animator_draw_win32.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/rich_text/tests/canvas_win32.h"

namespace {

const int kWidth = 300, kHeight = 200;

// Three functions placed by hand: a and b level with each other, a calling b, and c below.
struct Placed {
  uint32_t function;
  const char *name;
  float x, y;
  double heat;
};
const Placed kPlaced[] = {
    {0x1000, "a", -0.5f, 0.5f, 1.0},  // at (75, 50)
    {0x2000, "b", 0.5f, 0.5f, 1.0},   // at (225, 50)
    {0x3000, "c", 0.0f, -0.5f, 0.5},  // at (150, 150)
};

TEST(AnimatorDraw, PaperGridLinksAndParticles) {
  AnimatorGraph g;
  animator_init(&g, 1);
  const AnimatorFrame stack[] = {{0x2000, "b"}, {0x1000, "a"}};
  animator_sample(&g, stack, 2);
  const AnimatorFrame alone[] = {{0x3000, "c"}};
  animator_sample(&g, alone, 1);
  for (const Placed &p : kPlaced) {
    Particle *particle = animator_particle(&g, p.function);
    ASSERT_NE(particle, nullptr) << p.name;
    particle->x = p.x;
    particle->y = p.y;
    particle->z = 0;
    particle->heat = p.heat;
    particle->activity = 0.2;  // no label over the pixels looked at
  }
  Link *link = animator_link(&g, 0x1000, 0x2000);
  ASSERT_NE(link, nullptr);
  link->strength = 1;

  RichGdiMeasurer gdi;
  ASSERT_TRUE(rich_gdi_measurer_init(&gdi, (HFONT)GetStockObject(SYSTEM_FIXED_FONT),
                                     (HFONT)GetStockObject(ANSI_FIXED_FONT), ANIMATOR_PAPER,
                                     GetModuleHandleA(nullptr)));
  AnimatorDocs docs = {rich_create(&gdi.measurer), rich_create(&gdi.measurer), nullptr};
  Canvas canvas(kWidth, kHeight);
  const RECT client = {0, 0, kWidth, kHeight};
  const int ticks = g.tick;
  animator_draw(canvas.dc, &client, &g, &docs, 0);
  GdiFlush();
  EXPECT_EQ(g.tick, ticks + 1);
  canvas.save("animator_draw.bmp");

  struct Pixel {
    int x, y;
    COLORREF color;
    const char *what;
  };
  const Pixel pixels[] = {
      {284, 110, ANIMATOR_PAPER, "paper between grid lines"},
      {299, 110, ANIMATOR_GRID, "grid at the right edge"},
      {269, 110, ANIMATOR_GRID, "grid 30 pixels in from the right"},
      {270, 110, ANIMATOR_PAPER, "paper beside it"},
      {10, 199, ANIMATOR_GRID, "grid at the bottom edge"},
      {10, 169, ANIMATOR_GRID, "grid 30 pixels up from the bottom"},
      {10, 184, ANIMATOR_PAPER, "paper between them"},
      {150, 50, ANIMATOR_LINK, "the link a>b at full strength"},
      {75, 50, ANIMATOR_PARTICLE, "a, hot"},
      {228, 52, ANIMATOR_PARTICLE, "b, within its radius"},
      {150, 150, animator_scale_color(ANIMATOR_PARTICLE, 0.5), "c, half as hot"},
      {150, 100, ANIMATOR_PAPER, "no line from c to anything"},
  };
  for (const Pixel &p : pixels)
    EXPECT_EQ(canvas.at(p.x, p.y), p.color) << p.what << " at " << p.x << "," << p.y;

  rich_destroy(docs.counters);
  rich_destroy(docs.column);
  rich_gdi_measurer_free(&gdi);
  animator_free(&g);
}

}  // namespace
