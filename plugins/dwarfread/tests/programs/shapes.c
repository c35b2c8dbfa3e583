#include "shapes.h"

struct shape g_shapes[3];
volatile int g_counter;
static short s_calls;
static const char s_label[] = "shapes";

double shape_area(const struct shape *s) {
  int width = s->corners[1].x - s->corners[0].x;
  int height = s->corners[2].y - s->corners[0].y;
  s_calls++;
  return (double)width * height;
}

int shape_walk(struct shape *first, int limit) {
  int count = 0;
  struct point origin = {0, 0};
  for (struct shape *s = first; s && count < limit; s = s->next) {
    origin.x += s->corners[0].x;
    count++;
  }
  g_counter += origin.x + s_label[0];
  return count;
}
