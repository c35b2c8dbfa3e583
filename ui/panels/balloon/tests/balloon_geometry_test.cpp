// The command balloon's rows, its place beside the target, the pointer towards the target
// and the row under a point.
#include <gtest/gtest.h>
#include <math.h>

#include "ui/panels/balloon/balloon_geometry.h"

namespace {

TEST(Balloon, RowsUnderTheHeader) {
  BalloonRow rows[3] = {
      {30, 8, 60, 13, 0, 0, 0}, {40, 18, 200, 13, 0, 0, 0}, {10, 8, 20, 8, 0, 0, 0}};
  int width = 0, height = 0;
  balloon_measure(50, 18, rows, 3, &width, &height);
  EXPECT_EQ(rows[0].top, 18 + 68);
  EXPECT_EQ(rows[0].height, 13);
  EXPECT_EQ(rows[1].top, 86 + 13 + 4);
  EXPECT_EQ(rows[1].height, 18);
  EXPECT_EQ(rows[2].top, 103 + 18 + 4);
  EXPECT_EQ(height, 125 + 8 + 4 + 60);
  EXPECT_EQ(width, 240 + 140);
  balloon_measure(300, 18, rows, 0, &width, &height);  // the header alone
  EXPECT_EQ(width, 310 + 140);
  EXPECT_EQ(height, 18 + 68 + 60);
}

TEST(Balloon, PlaceBesideTheTarget) {
  const BalloonRect screen = {0, 0, 1280, 1024};
  struct Case {
    const char *what;
    BalloonRect target;
    int width, height;
    bool caret;
    int caret_y, x, y;
  };
  const Case cases[] = {
      {"room on the left", {600, 300, 900, 500}, 300, 200, false, 0, 282, 300},
      {"near the left edge: right", {10, 300, 300, 500}, 300, 200, false, 0, 318, 300},
      {"wide target: above", {10, 400, 1270, 600}, 300, 200, false, 0, 490, 182},
      {"tall and wide: below", {10, 100, 1270, 600}, 300, 200, false, 0, 490, 618},
      {"no room: centred", {0, 0, 1280, 1024}, 300, 200, false, 0, 490, 412},
      {"caret in the middle", {600, 300, 900, 500}, 300, 200, true, 450, 282, 350},
      {"caret near the bottom", {600, 300, 900, 1020}, 300, 200, true, 1015, 282, 822},
      {"caret near the top", {600, 0, 900, 500}, 300, 200, true, 5, 282, 2},
  };
  for (const Case &c : cases) {
    const BalloonPlace p = {screen, c.target, c.width, c.height, c.caret, c.caret_y};
    const BalloonPoint at = balloon_place(&p);
    EXPECT_EQ(at.x, c.x) << c.what;
    EXPECT_EQ(at.y, c.y) << c.what;
    if (c.caret) {
      EXPECT_LE(at.y + c.height, screen.bottom - 2) << c.what;
    }
  }
}

// Every direction: the tip lies on the window rectangle's edge, on the target's side.
TEST(Balloon, PointerTipStaysOnTheWindow) {
  const BalloonRect rects[] = {{0, 0, 400, 300}, {0, 0, 200, 600}, {-5, -5, 120, 120}};
  for (const BalloonRect &r : rects) {
    const BalloonPoint c = {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
    for (int degrees = 0; degrees < 360; degrees += 5) {
      const double a = degrees * 3.14159265358979323846 / 180;
      const BalloonPoint d = {(int)lround(cos(a) * 500), (int)lround(sin(a) * 500)};
      BalloonPoint points[3];
      balloon_pointer(&r, c, d, 20, points);
      const BalloonPoint tip = points[0];
      EXPECT_GE(tip.x, r.left) << degrees;
      EXPECT_LE(tip.x, r.right) << degrees;
      EXPECT_GE(tip.y, r.top) << degrees;
      EXPECT_LE(tip.y, r.bottom) << degrees;
      EXPECT_TRUE(tip.x == r.left || tip.x == r.right || tip.y == r.top || tip.y == r.bottom)
          << degrees;
      EXPECT_GE((tip.x - c.x) * d.x + (tip.y - c.y) * d.y, 0) << degrees;
      // The base stands across the direction, k on either side of the centre.
      EXPECT_NEAR(hypot(points[1].x - c.x, points[1].y - c.y), 20, 1.5) << degrees;
      EXPECT_NEAR(points[1].x + points[2].x, 2 * c.x, 1) << degrees;
    }
  }
}

TEST(Balloon, RowUnderThePoint) {
  BalloonRow rows[3] = {};
  rows[0].top = 86, rows[0].height = 13;
  rows[1].top = 103, rows[1].height = 18;
  rows[2].top = 110, rows[2].height = 4;  // overlapping: the later row wins
  struct Case {
    int x, y, row;
  };
  const Case cases[] = {{100, 86, 0},  {100, 98, 0},  {100, 99, -1}, {100, 103, 1},
                        {100, 111, 2}, {100, 114, 1}, {49, 90, -1},  {50, 90, 0},
                        {349, 90, 0},  {350, 90, -1}, {100, 300, -1}};
  for (const Case &c : cases)
    EXPECT_EQ(balloon_hit(rows, 3, 400, c.x, c.y), c.row) << c.x << "," << c.y;
}

}  // namespace
