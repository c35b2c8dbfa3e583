/* A small C program for the PDB 7 tests: structures, a global, locals, two functions. */
struct point {
  int x, y;
};
struct segment {
  struct point from, to;
  unsigned closed : 1;
};

struct segment g_segment = {{1, 2}, {3, 4}, 1};
static int s_count;

static int length2(const struct segment *s) {
  int dx = s->to.x - s->from.x;
  int dy = s->to.y - s->from.y;
  return dx * dx + dy * dy;
}

int main(void) {
  struct segment local = g_segment;
  local.to.x += 2;
  s_count++;
  return length2(&local) > 0 ? 0 : 1;
}
