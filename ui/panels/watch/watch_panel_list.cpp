#include "ui/panels/watch/watch_panel_list.h"

#include <string.h>

#include "settings/changes.h"
#include "symbols/eval/expression.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"
#include "util/zone.h"

WatchList g_watches = {nullptr, 0, -1};

namespace {

const int kReevaluateFlags[] = {CHG_MODULES, CHG_REGISTERS, CHG_STATE, CHG_MEMORY, 0};

// The value's text, or the evaluator's reason when there is none.
char *value_text(const char *expression) {
  ValueDescriptor value;
  char text[WATCH_VALUE_MAX + 1] = "";
  if (expression_evaluate(expression, &value)) {
    expression_format_value(&value, text, sizeof text);
  } else {
    const char *error = expression_last_error();
    text_copy(text, sizeof text, error ? error : "?");
  }
  return zone_strdup(text);
}

int find(const char *expression) {
  for (int i = 0; i < g_watches.count; i++)
    if (!strcmp(g_watches.entries[i].expression, expression)) return i;
  return -1;
}

bool in_list(int index) { return index >= 0 && index < g_watches.count; }

void free_entry(WatchEntry *e) {
  e->expression = (char *)zone_free(e->expression);
  e->value = (char *)zone_free(e->value);
}

}  // namespace

bool watch_add(const char *expression, int position) {
  if (!expression || !expression[0] || find(expression) >= 0) return false;
  if (position < 0) position += g_watches.count + 1;
  if (position < 0) position = 0;
  if (position > g_watches.count) position = g_watches.count;
  g_watches.entries = (WatchEntry *)zone_insert(g_watches.entries, position, 1, sizeof(WatchEntry));
  WatchEntry *e = &g_watches.entries[position];
  e->expression = zone_strdup(expression);
  e->value = value_text(expression);
  e->changed = false;
  g_watches.count++;
  g_watches.selected = position;
  changes_raise(CHG_WATCHES);
  return true;
}

bool watch_edit(int index, const char *expression) {
  if (!in_list(index) || !expression || !expression[0]) return false;
  const int same = find(expression);
  if (same >= 0 && same != index) return false;
  WatchEntry *e = &g_watches.entries[index];
  free_entry(e);
  e->expression = zone_strdup(expression);
  e->value = value_text(expression);
  e->changed = false;
  changes_raise(CHG_WATCHES);
  return true;
}

bool watch_delete(int index) {
  if (!in_list(index)) return false;
  free_entry(&g_watches.entries[index]);
  g_watches.entries = (WatchEntry *)zone_delete(g_watches.entries, index, 1, sizeof(WatchEntry));
  g_watches.count--;
  if (g_watches.selected >= g_watches.count) g_watches.selected = g_watches.count - 1;
  changes_raise(CHG_WATCHES);
  return true;
}

bool watch_move(int index, int delta) {
  const int other = index + delta;
  if (!in_list(index) || !in_list(other)) return false;
  WatchEntry swap = g_watches.entries[index];
  g_watches.entries[index] = g_watches.entries[other];
  g_watches.entries[other] = swap;
  if (g_watches.selected == index) g_watches.selected = other;
  changes_raise(CHG_WATCHES);
  return true;
}

bool watch_select_step(int delta) {
  const int last = g_watches.count - 1, was = g_watches.selected;
  int to = was < 0 ? (delta > 0 ? 0 : last) : was + delta;
  to = to > last ? last : to < 0 ? 0 : to;
  if (last < 0 || to == was) return false;
  g_watches.selected = to;
  return true;
}

void watch_clear() {
  for (int i = 0; i < g_watches.count; i++) free_entry(&g_watches.entries[i]);
  g_watches.entries = (WatchEntry *)zone_free(g_watches.entries);
  g_watches.count = 0;
  g_watches.selected = -1;
}

void watch_reevaluate() {
  for (int i = g_watches.count - 1; i >= 0; i--) {
    WatchEntry *e = &g_watches.entries[i];
    char *now = value_text(e->expression);
    e->changed = strcmp(now, e->value) != 0;
    zone_free(e->value);
    e->value = now;
  }
}

bool watch_flags_call_for_reevaluation() { return changes_test_any(kReevaluateFlags); }

void watch_write(RichText *dd, const WatchView *view) {
  rich_clear(dd);
  for (int i = 0; i < g_watches.count; i++) {
    const WatchEntry *e = &g_watches.entries[i];
    const bool selected = view->focused && i == g_watches.selected;
    if (selected) rich_open_paper(dd, WATCH_SELECTED_PAPER);
    rich_open_font(dd, view->expression_font);
    rich_open_color(dd, selected ? WATCH_SELECTED_TEXT : WATCH_EXPRESSION);
    rich_put_string(dd, e->expression);
    rich_put_string(dd, ": ");
    rich_close_color(dd);
    rich_close_font(dd);
    rich_open_font(dd, view->value_font);
    rich_open_color(dd, selected ? WATCH_SELECTED_TEXT : WATCH_VALUE);
    if (e->changed && !selected) rich_open_paper(dd, WATCH_CHANGED_PAPER);
    rich_put_string(dd, e->value);
    if (e->changed && !selected) rich_close_paper(dd);
    rich_close_color(dd);
    rich_close_font(dd);
    if (selected) rich_close_paper(dd);
    rich_set_line_param(dd, -1, (uint32_t)i);
    rich_put_char(dd, '\n');
  }
  rich_update(dd);
}

int watch_preferred_width(int width, int d, int client_width, int widest_line) {
  width += d;
  if (width > client_width + d) width = client_width + d;
  if (width > widest_line) width = widest_line;
  return width < 0 ? 0 : width;
}
