#include <stdio.h>
#include "shapes.h"

byte_t g_flags[16];
static int s_round;

static void fill(struct shape *s, int size) {
  s->corners[1].x = size;
  s->corners[2].y = size * 2;
  s->color = GREEN;
  s->visible = 1;
  s->layer = 3;
  s->area = shape_area;
}

int main(void) {
  struct shape local;
  int total = 0;
  for (int i = 0; i < 3; i++) {
    fill(&g_shapes[i], i + 1);
    g_shapes[i].next = i < 2 ? &g_shapes[i + 1] : 0;
  }
  local = g_shapes[0];
  total = shape_walk(&local, 5);
  s_round++;
  g_flags[0] = (byte_t)total;
  printf("%d %f\n", total, local.area(&local));
  return 0;
}
