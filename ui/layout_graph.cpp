// Building the bar graph of the holders from a parsed script, and freeing it.
#include "ui/layout_graph.h"

#include <string.h>

#include "util/log.h"
#include "util/zone.h"

namespace {

const char *const kSideNames[4] = {"left", "top", "right", "bottom"};

template <class T>
void push(T ***array, int *count, T *item) {
  *array = (T **)zone_append(*array, &item, sizeof item);
  (*count)++;
}

char *copy_text(const char *text) { return text ? zone_strdup(text) : nullptr; }

Bar *new_bar(Holder *h, int axis) {
  Bar *b = (Bar *)zone_alloc(sizeof(Bar));
  memset(b, 0, sizeof *b);
  b->holder = h;
  b->index = h->barnum;
  b->axis = axis;
  b->pos = -1;
  b->sumMin = -1.0f;
  push(&h->bars, &h->barnum, b);
  return b;
}

void attach(Section *s, int side, Bar *b) {
  s->side[side] = b;
  push(&b->sections, &b->secnum, s);
}

Holder *new_holder(Layout *layout, LayoutNode *node, uint32_t background) {
  Holder *h = (Holder *)zone_alloc(sizeof(Holder));
  memset(h, 0, sizeof *h);
  h->bgcolor = background;
  h->drag.bar[0] = h->drag.bar[1] = -1;
  for (int side = 0; side < 4; side++) new_bar(h, side % 2);
  push(&layout->holders, &layout->holdernum, h);
  h->id = copy_text(layout_param(node, "id"));
  const char *colour = layout_param(node, "bgcolor");
  if (colour) layout_colour(colour, &h->bgcolor);
  h->group = copy_text(layout_param(node, "group"));
  node->object = h;
  return h;
}

void new_section(Holder *h, LayoutNode *node) {
  Section *s = (Section *)zone_alloc(sizeof(Section));
  memset(s, 0, sizeof *s);
  s->holder = h;
  s->node = node;
  s->framed = true;
  for (int axis = 0; axis < 2; axis++) {
    s->spec[axis].rel = -1.0f;
    s->spec[axis].min = 1.0f;
    s->size[axis] = -1.0f;
  }
  push(&h->sections, &h->secnum, s);
  s->id = copy_text(layout_param(node, "id"));
  const char *width = layout_param(node, "width");
  if (width) layout_size_spec(width, &s->spec[0]);
  const char *height = layout_param(node, "height");
  if (height) layout_size_spec(height, &s->spec[1]);
  const char *framed = layout_param(node, "framed");
  if (framed) s->framed = layout_truth(framed);
  node->object = s;
}

// The next node in file order (parents before children).
LayoutNode *next_in_file(LayoutNode *node) {
  if (node->childnum) return node->children[0];
  for (; node->parent; node = node->parent) {
    LayoutNode *p = node->parent;
    int i = 0;
    while (p->children[i] != node) i++;
    if (i + 1 < p->childnum) return p->children[i + 1];
  }
  return nullptr;
}

Section *find_section(Holder *h, const char *id) {
  for (int i = h->secnum - 1; i >= 0; i--) {
    Section *s = h->sections[i];
    if (s->id && !strcmp(s->id, id)) return s;
  }
  return nullptr;
}

// The side parameters: the border, or a neighbour linked both ways where the neighbour
// has no link on its opposite side yet.
void read_sides(Holder *h) {
  for (int i = h->secnum - 1; i >= 0; i--) {
    Section *s = h->sections[i];
    for (int side = 0; side < 4; side++) {
      const char *value = layout_param(s->node, kSideNames[side]);
      if (!value) continue;
      if (!strcmp(value, "screen")) {
        attach(s, side, h->bars[side]);
        continue;
      }
      Section *n = find_section(h, value);
      if (!n) {
        log_warning("Unknown section %s", value);
        continue;
      }
      s->neighbour[side] = n;
      Section **back = &n->neighbour[(side + 2) % 4];
      if (!*back) *back = s;
    }
  }
}

// A side shares the bar of the neighbour beyond it; without one it lines up with the
// section beside it, or takes the border. A neighbour link that comes back to a side
// still being resolved gets a bar of its own; sections that only line up with each other
// (one above the other, no side named) line up with the border.
void resolve(Section *s, int side) {
  if (s->side[side]) return;
  Bar *bar = nullptr;
  Section *n = s->neighbour[side];
  if (n == s) {
    bar = s->lining & (1 << side) ? s->holder->bars[side] : new_bar(s->holder, side % 2);
  } else if (n) {
    s->neighbour[side] = s;
    int opposite = (side + 2) % 4;
    resolve(n, opposite);
    bar = n->side[opposite];
  } else {
    s->neighbour[side] = s;
    s->lining |= (uint8_t)(1 << side);
    Section *beside = s->neighbour[(side + 1) % 4];
    if (!beside || beside == s) beside = s->neighbour[(side + 3) % 4];
    if (beside && beside != s) {
      resolve(beside, side);
      bar = beside->side[side];
    } else {
      bar = s->holder->bars[side];
    }
  }
  if (!s->side[side]) attach(s, side, bar);
}

void swap(Section **a, Section **b) {
  Section *t = *a;
  *a = *b;
  *b = t;
}

// Sections that begin at the bar go first, the one with the greatest key at the front.
void sum_min(Bar *b) {
  if (b->sumMin >= 0.0f) return;
  b->sumMin = 0.0f;
  int far = b->axis + 2;
  int middle = 0;
  for (int i = 0; i < b->secnum; i++)
    if (b->sections[i]->side[far] != b) swap(&b->sections[i], &b->sections[middle++]);
  b->middle = middle;
  for (int i = 0; i < middle; i++) {
    Section *s = b->sections[i];
    Bar *f = s->side[far];
    sum_min(f);
    s->key = f->sumMin + s->spec[b->axis].min;
    if (s->key > b->sumMin) b->sumMin = s->key;
    for (int j = 0; j < i; j++) {
      if (b->sections[j]->key < s->key) {
        swap(&b->sections[j], &b->sections[i]);
        break;
      }
    }
  }
}

// Each chain starts at a section without a group and follows the greatest keys up to a
// bar already visited (pos 0).
const char *build_groups(Bar *b) {
  if (b->pos >= 0) return nullptr;
  b->pos = 0;
  int axis = b->axis;
  for (int i = 0; i < b->middle; i++) {
    Section *s = b->sections[i];
    Bar *f = s->side[axis + 2];
    if (!s->group[axis]) {
      SizeGroup *g = (SizeGroup *)zone_alloc(sizeof(SizeGroup));
      memset(g, 0, sizeof *g);
      g->axis = axis;
      s->group[axis] = g;
      push(&g->members, &g->count, s);
      for (Bar *x = f; x->pos == -1;) {
        if (x->middle < 1) return "scan->middle";
        Section *t = x->sections[0];
        if (t->group[axis]) return "its sections run in a circle";
        t->group[axis] = g;
        push(&g->members, &g->count, t);
        x = t->side[axis + 2];
      }
    }
    const char *why = build_groups(f);
    if (why) return why;
  }
  return nullptr;
}

void free_group(SizeGroup *g) {
  for (int i = 0; i < g->count; i++) g->members[i]->group[g->axis] = nullptr;
  zone_free(g->members);
  zone_free(g);
}

void free_holder(Layout *layout, Holder *h) {
  for (int i = 0; i < h->barnum; i++) {
    zone_free(h->bars[i]->sections);
    zone_free(h->bars[i]);
  }
  zone_free(h->bars);
  for (int i = 0; i < h->secnum; i++) {
    Section *s = h->sections[i];
    if (layout->current == s) layout->current = nullptr;
    if (layout->previous == s) layout->previous = nullptr;
    for (int axis = 0; axis < 2; axis++)
      if (s->group[axis]) free_group(s->group[axis]);
    zone_free(s->id);
    zone_free(s);
  }
  zone_free(h->sections);
  zone_free(h->id);
  zone_free(h->group);
  zone_free(h);
}

}  // namespace

int layout_build(Layout *layout, uint32_t background) {
  for (LayoutNode *node = layout->tree; node; node = next_in_file(node)) {
    if (node->kind == LAYOUT_HOLDER) new_holder(layout, node, background);
    else if (node->kind == LAYOUT_SECTION) new_section((Holder *)node->parent->object, node);
  }
  return layout->holdernum;
}

const char *layout_connect(Holder *h) {
  if (h->secnum > LAYOUT_MAX_SECTIONS) return "it has more than 256 sections";
  read_sides(h);
  for (int i = h->secnum - 1; i >= 0; i--)
    for (int side = 0; side < 4; side++) resolve(h->sections[i], side);
  sum_min(h->bars[SIDE_LEFT]);
  sum_min(h->bars[SIDE_TOP]);
  h->bars[SIDE_RIGHT]->pos = 0;
  h->bars[SIDE_BOTTOM]->pos = 0;
  const char *why = build_groups(h->bars[SIDE_LEFT]);
  if (!why) why = build_groups(h->bars[SIDE_TOP]);
  for (int i = 0; !why && i < h->secnum; i++)
    if (!h->sections[i]->group[0] || !h->sections[i]->group[1])
      why = "a section is not reached from the borders";
  return why;
}

void layout_free(Layout *layout) {
  for (int i = 0; i < layout->holdernum; i++) free_holder(layout, layout->holders[i]);
  layout->holders = (Holder **)zone_free(layout->holders);
  layout->holdernum = 0;
  layout->activenum = 0;
  layout->tree = layout_free_tree(layout->tree);
}
