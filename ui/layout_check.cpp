// Trial layouts of a holder before it is used.
#include "ui/layout_check.h"

#include <string.h>

#include "ui/layout_size.h"
#include "util/zone.h"

namespace {

// Below the minimums (laid out at them), a small screen and a large one.
const int kTrialSizes[][2] = {{0, 0}, {640, 480}, {2520, 2520}};

// For each bar, the bars it reaches along its axis through sections that begin at it:
// row i of barnum flags for bar i.
uint8_t *reachable_bars(const Holder *h) {
  const int n = h->barnum;
  uint8_t *reach = (uint8_t *)zone_alloc((size_t)n * (size_t)n);
  memset(reach, 0, (size_t)n * (size_t)n);
  const Bar **stack = (const Bar **)zone_alloc((size_t)n * sizeof(Bar *));
  for (int i = 0; i < n; i++) {
    uint8_t *row = reach + (size_t)i * (size_t)n;
    int depth = 0;
    stack[depth++] = h->bars[i];
    row[i] = 1;
    while (depth) {
      const Bar *b = stack[--depth];
      for (int k = 0; k < b->middle; k++) {
        const Bar *far = b->sections[k]->side[b->axis + 2];
        if (row[far->index]) continue;
        row[far->index] = 1;
        stack[depth++] = far;
      }
    }
  }
  zone_free(stack);
  return reach;
}

// Sections never cover each other when, on one axis, a chain of sections leads from the
// far bar of one to the near bar of the other: every section of the chain has a size of
// 0 or more, so whatever the client size and however the bars are dragged, the one ends
// before the other begins. Sections that only happen to lie apart at some sizes part or
// collide at others.
const char *check_apart(const Holder *h) {
  uint8_t *reach = reachable_bars(h);
  auto reaches = [&](const Bar *from, const Bar *to) {
    return reach[(size_t)from->index * (size_t)h->barnum + (size_t)to->index] != 0;
  };
  const char *why = nullptr;
  for (int i = 0; !why && i < h->secnum; i++) {
    for (int j = 0; !why && j < i; j++) {
      const Section *a = h->sections[i], *b = h->sections[j];
      bool apart = false;
      for (int axis = 0; axis < 2; axis++)
        apart = apart || reaches(a->side[axis + 2], b->side[axis]) ||
                reaches(b->side[axis + 2], a->side[axis]);
      if (!apart) why = "two sections are not kept apart by bars";
    }
  }
  zone_free(reach);
  return why;
}

const char *check_rects(const Holder *h) {
  int width = h->bars[SIDE_RIGHT]->pos, height = h->bars[SIDE_BOTTOM]->pos;
  for (int i = 0; i < h->secnum; i++) {
    const LayoutRect &r = h->sections[i]->rect;
    if (r.left > r.right || r.top > r.bottom) return "a section is turned inside out";
    if (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height)
      return "a section lies outside the holder";
  }
  return nullptr;
}

}  // namespace

const char *layout_check(Holder *h) {
  const char *why = check_apart(h);
  for (int i = 0; !why && i < (int)(sizeof kTrialSizes / sizeof kTrialSizes[0]); i++) {
    if (!layout_relayout(h, kTrialSizes[i][0], kTrialSizes[i][1])) return "a bar is never placed";
    why = check_rects(h);
  }
  return why;
}
