// Fuzz target for layout scripts: the reader, then every holder of a script that loads
// laid out, dragged and switched. The first 8 bytes steer (client size, drags, points);
// the rest is the script, read in place so that ASan sees any read past its end.
// Invariants: a parsed tree is well formed; in a loaded layout every relayout places
// every bar, every section lies inside the holder's area (the client size, or the
// minimums when larger) and no two sections of a holder overlap; after drags every bar
// is still placed and no position is negative; hit tests name bars of the axis asked;
// the holder list stays a permutation; nothing leaks. (After a drag a chain may overrun
// its far bar: the weights a drag leaves are taken from the chain's old length.)
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ui/layout_drag.h"
#include "ui/layout_load.h"
#include "ui/layout_order.h"
#include "ui/layout_size.h"
#include "util/zone.h"

namespace {

void check(bool ok, int line) {
  if (ok) return;
  fprintf(stderr, "layout_fuzz.cpp:%d: invariant broken\n", line);
  abort();
}
#define CHECK(x) check((x), __LINE__)

void check_tree(const LayoutNode *node) {
  for (int i = 0; i < node->childnum; i++) {
    const LayoutNode *c = node->children[i];
    CHECK(c->parent == node);
    CHECK(c->kind == LAYOUT_HOLDER || (c->kind == LAYOUT_SECTION && node->kind == LAYOUT_HOLDER));
    for (char **p = c->params; p[0]; p += 2) {
      CHECK(p[1] != nullptr);
      CHECK(strlen(p[0]) >= 1 && strlen(p[0]) <= LAYOUT_WORD_MAX);
      CHECK(strlen(p[1]) <= LAYOUT_WORD_MAX);
    }
    check_tree(c);
  }
}

bool overlap(const LayoutRect &a, const LayoutRect &b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void check_holder(Holder *h, int width, int height) {
  CHECK(layout_relayout(h, width, height));
  int right = h->bars[SIDE_RIGHT]->pos, bottom = h->bars[SIDE_BOTTOM]->pos;
  CHECK(right >= width && bottom >= height);
  for (int i = 0; i < h->barnum; i++) CHECK(h->bars[i]->pos >= 0);
  for (int i = 0; i < h->secnum; i++) {
    const LayoutRect &r = h->sections[i]->rect;
    CHECK(0 <= r.left && r.left <= r.right && r.right <= right);
    CHECK(0 <= r.top && r.top <= r.bottom && r.bottom <= bottom);
    for (int j = 0; j < i; j++) CHECK(!overlap(r, h->sections[j]->rect));
  }
}

void no_window(Holder *) {}
bool never_on_screen(Holder *) { return false; }
void no_main() {}
void no_focus(Section *) {}
const LayoutWindows kNoWindows = {no_window, never_on_screen, no_window, no_window,
                                  no_main,   no_focus,        no_main};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 8) return 0;
  int width = data[0] * 8 + (data[1] & 7), height = data[2] * 8 + (data[3] & 7);
  const uint8_t *steer = data + 4;
  const char *text = (const char *)data + 8;
  size_t len = size - 8;
  int blocks = zone_block_count();

  char error[260];
  LayoutNode *root = layout_parse(text, len, error, sizeof error);
  if (root) check_tree(root);
  else CHECK(error[0] != 0 && strlen(error) < sizeof error);
  layout_free_tree(root);

  Layout layout = {};
  layout.windows = &kNoWindows;
  LayoutResult result = layout_read_text(&layout, text, len, 0);
  CHECK((result == LAYOUT_LOADED) == (layout.holdernum > 0));
  CHECK((result == LAYOUT_SYNTAX_ERROR) == (root == nullptr));
  for (int i = 0; i < layout.holdernum; i++) {
    Holder *h = layout.holders[i];
    check_holder(h, width, height);
    check_holder(h, 0, 0);
    check_holder(h, height, width);
    check_holder(h, width, height);
    // Drags: press on or near a bar, move, release; then lay out again at that size.
    for (int d = 0; d < 4 && h->barnum > 4; d++) {
      const Bar *b = h->bars[4 + (steer[d] >> 2) % (h->barnum - 4)];
      int along = b->axis ? width / 2 : height / 2;
      int delta = (int8_t)steer[(d + 1) % 4];
      LayoutPoint press = {b->axis ? along : b->pos + (steer[d] & 3),
                           b->axis ? b->pos + (steer[d] & 3) : along};
      layout_drag_begin(h, press);
      layout_drag_move(h, LayoutPoint{press.x + delta, press.y + delta});
      layout_drag_end(h, LayoutPoint{press.x + 2 * delta, press.y - delta});
      CHECK(!h->drag.active);
      CHECK(layout_relayout(h, width, height));
      for (int k = 0; k < h->secnum; k++)
        CHECK(h->sections[k]->rect.left >= 0 && h->sections[k]->rect.top >= 0);
    }
    for (int p = 0; p < 4; p++) {
      LayoutPoint at = {width * steer[p] / 255, height * steer[3 - p] / 255};
      for (int axis = 0; axis < 2; axis++) {
        int bar = layout_hit_bar(h, at, axis);
        CHECK(bar == -1 || (bar >= 0 && bar < h->barnum && h->bars[bar]->axis == axis));
      }
    }
  }
  if (layout.holdernum) {
    Holder **before = (Holder **)zone_dup(layout.holders);
    for (int i = 0; i < layout.holdernum; i++) {
      Holder *h = layout.holders[(steer[i % 4] + i) % layout.holdernum];
      if (h->secnum) layout_show_section(&layout, h, h->sections[steer[i % 4] % h->secnum]->id);
      layout_next(&layout);
      layout_swap_panels(&layout);
      if (layout.current) CHECK(layout.current->holder == layout.holders[0]);
      CHECK(layout.activenum >= 0 && layout.activenum <= layout.holdernum);
    }
    for (int i = 0; i < layout.holdernum; i++) {
      int found = 0;
      for (int j = 0; j < layout.holdernum; j++) found += layout.holders[j] == before[i];
      CHECK(found == 1);
    }
    zone_free(before);
  }
  layout_free(&layout);
  CHECK(zone_block_count() == blocks);
  return 0;
}
