#include "ui/panels/balloon/balloon_geometry.h"

#include <math.h>
#include <stdint.h>

namespace {

const int kPointerReach = 1000;

// a × b / c rounded half away from zero, as the system's MulDiv does.
int mul_div(int a, int b, int c) {
  if (!c) return -1;
  const int64_t p = (int64_t)a * b;
  const int64_t half = (c < 0 ? -(int64_t)c : c) / 2;
  return (int)(((p < 0) != (c < 0) ? p - half : p + half) / c);
}

}  // namespace

void balloon_measure(int header_width, int header_height, BalloonRow *rows, int count,
                     int *width, int *height) {
  int h = header_height + BALLOON_HEADER_TOP, widest = header_width + 10;
  for (int i = 0; i < count; i++) {
    BalloonRow &r = rows[i];
    r.width = r.key_width + r.title_width;
    if (r.width > widest) widest = r.width;
    r.top = h;
    r.height = r.key_height > r.title_height ? r.key_height : r.title_height;
    h += r.height + BALLOON_ROW_GAP;
  }
  *height = h + BALLOON_BOTTOM;
  *width = widest + BALLOON_SIDES;
}

BalloonPoint balloon_place(const BalloonPlace *p) {
  const BalloonRect &s = p->screen;
  const BalloonRect e = {p->target.left - BALLOON_TARGET_GROW, p->target.top - BALLOON_TARGET_GROW,
                         p->target.right + BALLOON_TARGET_GROW,
                         p->target.bottom + BALLOON_TARGET_GROW};
  BalloonPoint at = {e.left + (e.right - e.left - p->width) / 2,
                     e.top + (e.bottom - e.top - p->height) / 2};
  if (p->caret) {
    at.y = p->caret_y - p->height / 2;
    if (at.y + p->height + 2 > s.bottom) at.y = s.bottom - p->height - 2;
    if (at.y - 2 < s.top) at.y = s.top + 2;
  }
  if (p->width < e.left - s.left) at.x = e.left - p->width;
  else if (p->width < s.right - e.right) at.x = e.right;
  else if (p->height < e.top - s.top) at.y = e.top - p->height;
  else if (p->height < s.bottom - e.bottom) at.y = e.bottom;
  return at;
}

void balloon_pointer(const BalloonRect *r, BalloonPoint c, BalloonPoint d, int k,
                     BalloonPoint points[3]) {
  const float a = atan2f((float)-d.y, (float)d.x), cs = cosf(a), sn = sinf(a);
  const BalloonPoint local[3] = {{kPointerReach, 0}, {0, k}, {0, -k}};
  for (int i = 0; i < 3; i++)
    points[i] = {c.x + (int)((float)local[i].x * cs + (float)local[i].y * sn),
                 c.y + (int)((float)local[i].y * cs - (float)local[i].x * sn)};
  BalloonPoint &tip = points[0];
  if (tip.x > r->right) {
    tip.y = c.y + mul_div(tip.y - c.y, r->right - c.x, tip.x - c.x);
    tip.x = r->right;
  }
  if (tip.y > r->bottom) {
    tip.x = c.x + mul_div(tip.x - c.x, r->bottom - c.y, tip.y - c.y);
    tip.y = r->bottom;
  }
  if (tip.x < r->left) {
    tip.y = c.y + mul_div(tip.y - c.y, r->left - c.x, tip.x - c.x);
    tip.x = r->left;
  }
  if (tip.y < r->top) {
    tip.x = c.x + mul_div(tip.x - c.x, r->top - c.y, tip.y - c.y);
    tip.y = r->top;
  }
}

int balloon_hit(const BalloonRow *rows, int count, int client_width, int x, int y) {
  if (x < BALLOON_MARGIN || x >= client_width - BALLOON_MARGIN) return -1;
  for (int i = count - 1; i >= 0; i--)
    if (y >= rows[i].top && y < rows[i].top + rows[i].height) return i;
  return -1;
}
