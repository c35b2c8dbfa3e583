// The relayout of a holder and the effect of moving a bar.
#include "ui/layout_size.h"

namespace {

// Float positions are truncated to pixels; what no screen holds, and a not-a-number left
// by degenerate weights, is cut into range instead of overflowing the conversion.
const float kMaxPixel = 16777216.0f;

int to_pixel(float v) {
  if (!(v == v)) return 0;
  if (v > kMaxPixel) return (int)kMaxPixel;
  if (v < -kMaxPixel) return -(int)kMaxPixel;
  return (int)v;
}

// Shares the chain's length out by the relative weights; members that would fall below
// their minimum sit at it and leave the rest to the others in the next round.
bool distribute(SizeGroup *g) {
  if (!g->count) return true;
  int a = g->axis;
  const Bar *near = g->members[0]->side[a];
  const Bar *far = g->members[g->count - 1]->side[a + 2];
  if (near->pos < 0 || far->pos < 0) return false;
  float length = (float)(far->pos - near->pos);
  float weights;
  for (;;) {
    weights = 0.0f;
    int shares = 0;
    for (int i = g->count - 1; i >= 0; i--) {
      const Section *s = g->members[i];
      if (s->size[a] == s->spec[a].min) continue;
      if (s->spec[a].rel != -1.0f) weights += s->spec[a].rel;
      else shares++;
    }
    float share = 0.0f;
    if (weights < 1.0f) {
      if (shares) share = (1.0f - weights) / (float)shares;
      weights = 1.0f;
    }
    float fixed = 0.0f;
    for (int i = g->count - 1; i >= 0; i--) {
      Section *s = g->members[i];
      const SizeSpec &spec = s->spec[a];
      if (s->size[a] == spec.min) continue;
      s->size[a] = length * (spec.rel == -1.0f ? share : spec.rel) / weights;
      if (s->size[a] < spec.min) {
        s->size[a] = spec.min;
        fixed += spec.min;
      }
    }
    if (fixed == 0.0f) break;
    length -= fixed;
  }
  g->length = length;
  g->weights = weights;
  return true;
}

bool place(Bar *b, float p) {
  if (b->pos >= 0) return true;
  b->pos = to_pixel(p);
  int a = b->axis;
  for (int i = 0; i < b->middle; i++) {
    Section *s = b->sections[i];
    if (s->size[a] == -1.0f && !distribute(s->group[a])) return false;
    if (!place(s->side[a + 2], (float)b->pos + s->size[a])) return false;
  }
  return true;
}

// The minimum sums again after the minimums changed; the order of the sections at each
// bar stays as the load left it.
float sum_again(Bar *b) {
  if (b->sumMin >= 0.0f) return b->sumMin;
  b->sumMin = 0.0f;
  for (int i = 0; i < b->middle; i++) {
    Section *s = b->sections[i];
    s->key = sum_again(s->side[b->axis + 2]) + s->spec[b->axis].min;
    if (s->key > b->sumMin) b->sumMin = s->key;
  }
  return b->sumMin;
}

int border_pos(int client, float sum_min) {
  return to_pixel(sum_min > (float)client ? sum_min : (float)client);
}

}  // namespace

bool layout_relayout(Holder *h, int width, int height) {
  h->width = width;
  h->height = height;
  for (int i = 0; i < h->barnum; i++) h->bars[i]->pos = -1;
  for (int i = 0; i < h->secnum; i++) h->sections[i]->size[0] = h->sections[i]->size[1] = -1.0f;
  h->bars[SIDE_RIGHT]->pos = border_pos(width, h->bars[SIDE_LEFT]->sumMin);
  h->bars[SIDE_BOTTOM]->pos = border_pos(height, h->bars[SIDE_TOP]->sumMin);
  bool ok = place(h->bars[SIDE_LEFT], 0.0f) && place(h->bars[SIDE_TOP], 0.0f);
  for (int i = 0; i < h->secnum; i++) {
    Section *s = h->sections[i];
    s->rect.left = s->side[SIDE_LEFT]->pos;
    s->rect.top = s->side[SIDE_TOP]->pos;
    s->rect.right = s->side[SIDE_RIGHT]->pos;
    s->rect.bottom = s->side[SIDE_BOTTOM]->pos;
    for (int side = 0; side < 4; side++) ok = ok && s->side[side]->pos >= 0;
  }
  return ok;
}

void layout_move_bar(Holder *h, int index, int pos) {
  if (index < 0 || index >= h->barnum) return;
  Bar *b = h->bars[index];
  int a = b->axis;
  // No section is turned inside out and none leaves the holder: the bar stops at the
  // bars beyond its sections and inside the area of the last relayout.
  int low = 0, high = h->bars[a + 2]->pos;
  for (int i = 0; i < b->secnum; i++) {
    const Section *s = b->sections[i];
    if (i < b->middle) high = s->side[a + 2]->pos < high ? s->side[a + 2]->pos : high;
    else low = s->side[a]->pos > low ? s->side[a]->pos : low;
  }
  if (low <= high) pos = pos < low ? low : pos > high ? high : pos;
  b->pos = pos;
  for (int i = b->secnum - 1; i >= 0; i--) {
    Section *s = b->sections[i];
    const SizeGroup *g = s->group[a];
    SizeSpec &spec = s->spec[a];
    // Below 0 only where an earlier relayout overran the holder; a size is never
    // negative.
    int extent = s->side[a + 2]->pos - s->side[a]->pos;
    float cur = extent > 0 ? (float)extent : 0.0f;
    float size = s->size[a];
    if (size == spec.min) {
      // The section sat at its minimum: the minimum follows it. Its weight may not claim
      // more of the chain than it now covers (a size of 0 claims all of it).
      spec.min = cur;
      bool claims_more = g->length > 0.0f &&
                         (size > 0.0f ? cur / size * spec.rel * g->length / g->weights > cur
                                      : cur > 0.0f && spec.rel > 0.0f);
      if (claims_more) spec.rel = cur * g->weights / g->length;
    } else {
      // The weight follows the new extent. A share of what is left becomes the weight
      // it had in the chain, scaled the same way (scaled as it stands it would turn
      // negative and let the other shares overrun the chain). The minimum becomes the
      // new extent, also below the old minimum, which would push the bar back.
      if (spec.rel != -1.0f) spec.rel = cur / size * spec.rel;
      else if (g->length > 0.0f) spec.rel = cur * g->weights / g->length;
      spec.min = cur;
    }
  }
  // A later, smaller client area is laid out at no less than the new minimums.
  for (int i = 0; i < h->barnum; i++) h->bars[i]->sumMin = -1.0f;
  sum_again(h->bars[SIDE_LEFT]);
  sum_again(h->bars[SIDE_TOP]);
}

LayoutRect layout_panel_rect(const Section *s) {
  return LayoutRect{s->rect.left + 3, s->rect.top + 6, s->rect.right - 3, s->rect.bottom - 2};
}

bool layout_resize_section(Holder *h, Section *s, int axis, int length) {
  const Bar *near = s->side[axis], *far = s->side[axis + 2];
  // The first four bars are the holder's borders, which never move.
  if (far->index >= 4) layout_move_bar(h, far->index, near->pos + length);
  else if (near->index >= 4) layout_move_bar(h, near->index, far->pos - length);
  else return false;
  return true;
}
