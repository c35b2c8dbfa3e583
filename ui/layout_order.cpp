// The most-recently-used order of holders and sections, and the switches between them.
#include "ui/layout_order.h"

#include <string.h>

#include "util/path.h"

namespace {

// Holders without a group form one group of their own.
bool same_group(const char *a, const char *b) { return a && b ? !strcmp(a, b) : a == b; }

Section *section_named(const Holder *h, const char *name) {
  if (!name) return nullptr;
  for (int i = 0; i < h->secnum; i++) {
    Section *s = h->sections[i];
    if (s->id && !strcmp(s->id, name)) return s;
  }
  return nullptr;
}

// Moves array[from] to array[to] (to <= from); the ones between move back by one.
template <class T>
void move_forward(T **array, int from, int to) {
  T *item = array[from];
  memmove(array + to + 1, array + to, (size_t)(from - to) * sizeof(T *));
  array[to] = item;
}

template <class T>
int index_of(T *const *array, int count, const T *item) {
  for (int i = 0; i < count; i++)
    if (array[i] == item) return i;
  return -1;
}

// The holder goes to the front, the rest of its group right behind it.
void bring_group_forward(Layout *layout, Holder *h) {
  move_forward(layout->holders, index_of(layout->holders, layout->holdernum, h), 0);
  int n = 1;
  for (int i = 1; i < layout->holdernum; i++)
    if (same_group(layout->holders[i]->group, h->group)) move_forward(layout->holders, i, n++);
  layout->activenum = n;
}

}  // namespace

bool layout_show_section(Layout *layout, Holder *h, const char *name) {
  Section *s = section_named(h, name);
  if (!s) return false;
  if (s == layout->current) return true;
  const LayoutWindows *w = layout->windows;
  layout->previous = layout->current;
  layout->current = s;
  w->changed();
  move_forward(h->sections, index_of(h->sections, h->secnum, s), 0);
  w->attach_panels(h);
  if (layout->holders[0] != h || !w->on_screen(h)) {
    w->take_off(layout->holders[0]);
    bring_group_forward(layout, h);
    w->put_on(h);
  }
  w->resize_main();
  layout_focus_section(layout, s);
  return true;
}

bool layout_activate_holder(Layout *layout, Holder *h) {
  if (!h->secnum) return false;
  const char *current = layout_current_id(layout);
  if (section_named(h, current)) return layout_show_section(layout, h, current);
  return layout_show_section(layout, h, h->sections[0]->id);
}

bool layout_activate_id(Layout *layout, const char *id) {
  for (int i = 0; i < layout->holdernum; i++) {
    Holder *h = layout->holders[i];
    if (h->id && !strcmp(h->id, id) && layout_activate_holder(layout, h)) return true;
  }
  return false;
}

bool layout_switch_group(Layout *layout, const char *group) {
  const char *current = layout_current_id(layout);
  for (int i = 0; current && i < layout->holdernum; i++) {
    Holder *h = layout->holders[i];
    if (same_group(h->group, group) && layout_show_section(layout, h, current)) return true;
  }
  for (int i = 0; i < layout->holdernum; i++)
    if (same_group(layout->holders[i]->group, group))
      return layout_activate_holder(layout, layout->holders[i]);
  return false;
}

void layout_toggle_groups(Layout *layout, const char *a, const char *b) {
  if (!layout->activenum) return;
  const char *active = layout_active_group(layout);
  if (same_group(active, a)) layout_switch_group(layout, b);
  else if (same_group(active, b)) layout_switch_group(layout, a);
}

bool layout_next(Layout *layout) {
  if (!layout->activenum) return false;
  const char *id = layout->holders[layout->activenum - 1]->id;
  return id && layout_activate_id(layout, id);
}

bool layout_swap_panels(Layout *layout) {
  Section *s = layout->previous;
  if (!s || index_of(layout->holders, layout->holdernum, s->holder) < 0) return false;
  return layout_show_section(layout, s->holder, s->id);
}

bool layout_focus_panel(Layout *layout, const char *class_name) {
  char name[KQ_PATH];
  text_copy(name, sizeof name, class_name);
  for (int i = 0; i < layout->holdernum; i++)
    if (section_named(layout->holders[i], name))
      return layout_show_section(layout, layout->holders[i], name);
  return false;
}

void layout_focus_section(Layout *layout, Section *s) {
  layout->windows->focus(s);
  layout->windows->changed();
}

Holder *layout_active_holder(const Layout *layout) {
  return layout->activenum ? layout->holders[0] : nullptr;
}

const char *layout_active_group(const Layout *layout) {
  return layout->activenum ? layout->holders[0]->group : nullptr;
}

const char *layout_current_id(const Layout *layout) {
  return layout->current ? layout->current->id : nullptr;
}
