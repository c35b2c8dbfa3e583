#include "shapes.h"

geo::Pair<int> g_pair = {3, 4};
geo::Pair<double> g_real_pair = {1.5, 2.5};
static int s_calls;
thread_local int t_depth = 1;
static thread_local int t_visits;
geo::Paint g_paint;

int geo::Shape::area() const { return 0; }

int main() {
  geo::Square a(1, 3), b(2, 4);
  geo::Shape *shapes[2] = {&a, &b};
  a.flags.layer = 3;
  a.value.whole = g_pair.sum();
  a.colour = geo::GREEN;
  s_calls++;
  t_visits += t_depth;
  g_paint.tint = geo::favourite_tint();
  return geo::total_area(shapes, 2) + (int)g_real_pair.sum() > 0 ? 0 : 1;
}
