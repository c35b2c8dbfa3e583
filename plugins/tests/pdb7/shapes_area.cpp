#include "shapes.h"

namespace geo {

enum class Tint : short { MATT, GLOSS };
Tint g_tint = Tint::GLOSS;

Tint *favourite_tint() { return &g_tint; }

int Square::area() const {
  int side = side_;
  return side * side;
}

int total_area(Shape **shapes, int count) {
  int total = 0;
  for (int i = 0; i < count; i++) total += shapes[i]->area();
  return total;
}

}  // namespace geo
