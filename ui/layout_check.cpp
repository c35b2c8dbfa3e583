// Trial layouts of a holder before it is used.
#include "ui/layout_check.h"

#include "ui/layout_size.h"

namespace {

// Below the minimums (laid out at them), a small and a large screen.
const int kTrialSizes[][2] = {{0, 0}, {640, 480}, {2560, 1600}};

bool overlap(const LayoutRect &a, const LayoutRect &b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

const char *check_rects(const Holder *h) {
  int width = h->bars[SIDE_RIGHT]->pos, height = h->bars[SIDE_BOTTOM]->pos;
  for (int i = 0; i < h->secnum; i++) {
    const LayoutRect &r = h->sections[i]->rect;
    if (r.left > r.right || r.top > r.bottom) return "a section is turned inside out";
    if (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height)
      return "a section lies outside the holder";
    for (int j = 0; j < i; j++)
      if (overlap(r, h->sections[j]->rect)) return "two sections cover each other";
  }
  return nullptr;
}

}  // namespace

const char *layout_check(Holder *h) {
  for (const auto &size : kTrialSizes) {
    if (!layout_relayout(h, size[0], size[1])) return "a bar is never placed";
    const char *why = check_rects(h);
    if (why) return why;
  }
  return nullptr;
}
