// The splitter hit test and the drag of bars.
#include "ui/layout_drag.h"

#include "ui/layout_size.h"

namespace {

// A zone edge: the position of one of the section's side bars plus a distance.
struct ZoneEdge {
  int side, delta;
};

// The grip of a section's side, in the order the sides are tried. The bars lie on the
// sections' edges, so each grip reaches a few pixels into the section.
struct HitZone {
  int side;
  ZoneEdge x0, x1, y0, y1;  // left and top inside, right and bottom outside
};

const HitZone kZones[4] = {
    {SIDE_LEFT, {SIDE_LEFT, 0}, {SIDE_LEFT, 3}, {SIDE_TOP, 0}, {SIDE_BOTTOM, 0}},
    {SIDE_RIGHT, {SIDE_RIGHT, -3}, {SIDE_RIGHT, 0}, {SIDE_TOP, 0}, {SIDE_BOTTOM, 0}},
    {SIDE_TOP, {SIDE_LEFT, 0}, {SIDE_RIGHT, 0}, {SIDE_TOP, 0}, {SIDE_TOP, 6}},
    {SIDE_BOTTOM, {SIDE_LEFT, -3}, {SIDE_RIGHT, 3}, {SIDE_BOTTOM, -2}, {SIDE_BOTTOM, 0}},
};

// By the bars dragged or hit: [vertical one present][horizontal one present].
const LayoutCursor kCursors[2][2] = {{LAYOUT_CURSOR_ARROW, LAYOUT_CURSOR_NS},
                                     {LAYOUT_CURSOR_WE, LAYOUT_CURSOR_ALL}};

int edge(const Section *s, ZoneEdge e) { return s->side[e.side]->pos + e.delta; }

bool in_grip(const Section *s, const Bar *b, LayoutPoint p) {
  for (const HitZone &z : kZones) {
    if (s->side[z.side] != b) continue;
    return p.x >= edge(s, z.x0) && p.x < edge(s, z.x1) && p.y >= edge(s, z.y0) &&
           p.y < edge(s, z.y1);
  }
  return false;
}

LayoutCursor drag_cursor(const LayoutDrag &d) { return kCursors[d.bar[0] >= 0][d.bar[1] >= 0]; }

void follow_mouse(Holder *h, LayoutPoint p) {
  const LayoutDrag &d = h->drag;
  if (d.bar[0] >= 0) layout_move_bar(h, d.bar[0], p.x - d.offset[0]);
  if (d.bar[1] >= 0) layout_move_bar(h, d.bar[1], p.y - d.offset[1]);
  layout_relayout(h, h->width, h->height);
}

}  // namespace

int layout_hit_bar(const Holder *h, LayoutPoint p, int axis) {
  for (int b = h->barnum - 1; b >= 0; b--) {
    const Bar *bar = h->bars[b];
    if (bar->axis != axis) continue;
    for (int i = h->secnum - 1; i >= 0; i--)
      if (in_grip(h->sections[i], bar, p)) return b;
  }
  return -1;
}

LayoutCursor layout_drag_begin(Holder *h, LayoutPoint p) {
  LayoutDrag &d = h->drag;
  d.active = true;
  int at[2] = {p.x, p.y};
  for (int axis = 0; axis < 2; axis++) {
    d.bar[axis] = layout_hit_bar(h, p, axis);
    d.offset[axis] = d.bar[axis] >= 0 ? at[axis] - h->bars[d.bar[axis]]->pos : 0;
  }
  return drag_cursor(d);
}

LayoutCursor layout_drag_move(Holder *h, LayoutPoint p) {
  if (h->drag.active) {
    follow_mouse(h, p);
    return drag_cursor(h->drag);
  }
  LayoutDrag hit = {false, {layout_hit_bar(h, p, 0), layout_hit_bar(h, p, 1)}, {0, 0}};
  return drag_cursor(hit);
}

LayoutCursor layout_drag_end(Holder *h, LayoutPoint p) {
  LayoutCursor cursor = layout_drag_move(h, p);
  h->drag.active = false;
  h->drag.bar[0] = h->drag.bar[1] = -1;
  return cursor;
}
