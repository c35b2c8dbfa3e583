#include "ui/panels/inspector/inspector_model.h"

#include <stdio.h>
#include <string.h>

#include "symbols/address_name.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

InspectorEnvironment g_env;

// An array of millions of elements would freeze the window for nothing a list can show.
enum { ARRAY_ROWS_MAX = 0x10000 };

const char kUp[] = "..";

void push_item(InspectorModel *m, const char *name, char *value, int kind, uint32_t address,
               uint32_t size, TypeRecord *type) {
  InspectorItem item = {zone_strdup(name), value, kind, address, size, type};
  m->items = (InspectorItem *)zone_append(m->items, &item, sizeof item);
  m->item_count++;
}

void add_item(InspectorModel *m, const char *name, const char *value, int kind,
              uint32_t address, uint32_t size, TypeRecord *type) {
  push_item(m, name, zone_strdup(value ? value : kUp), kind, address, size, type);
}

void clear_items(InspectorModel *m) {
  for (int i = 0; i < m->item_count; i++) {
    zone_free(m->items[i].name);
    zone_free(m->items[i].value);
  }
  m->items = (InspectorItem *)zone_free(m->items);
  m->item_count = 0;
}

int kind_of_type(const TypeRecord *type) {
  switch (type ? type->kind : 0) {
    case TK_POINTER: return IK_POINTER;
    case TK_ARRAY: return IK_ARRAY;
    case TK_STRUCT: return IK_STRUCT;
    case TK_FRAME: return IK_FRAME;
    default: return IK_VALUE;
  }
}

// The typed-value text of a place; an evaluated value (a watch) is written as it came.
void format(ValueDescriptor *value, char *text, int size) {
  text[0] = 0;
  if (value->type) expression_format_value(value, text, size);
}

// A value of a place: its text is written once the level is shown (the levels passed
// through on the way there only need the names).
void add_value_item(InspectorModel *m, const char *name, uint32_t address, TypeRecord *type) {
  push_item(m, name, nullptr, kind_of_type(type), address, (uint32_t)type_size(type), type);
}

void write_values(InspectorModel *m) {
  for (int i = 0; i < m->item_count; i++) {
    InspectorItem *item = &m->items[i];
    if (item->value) continue;
    char text[KQ_PATH + 1];
    inspector_value_text(item, text, sizeof text);
    item->value = zone_strdup(text);
  }
}

bool has_members(const TypeRecord *type) {
  return type && (type->kind == TK_STRUCT || type->kind == TK_FRAME) && type->data;
}

void add_members(InspectorModel *m, const InspectorLevel *level) {
  int shift;
  TypeRecord *member;
  const char *name;
  for (int i = 0; (name = type_member(level->type, i, &shift, &member)); i++)
    add_value_item(m, name, level->address + (uint32_t)shift, member);
}

const CallStack *call_stack() { return g_env.call_stack ? g_env.call_stack() : nullptr; }

void add_root(InspectorModel *m) {
  add_item(m, "@WATCH", nullptr, IK_WATCHES, 0, 0, nullptr);
  const CallStack *stack = call_stack();
  const uint32_t end = stack ? stack->end_frame : 0;
  add_item(m, "@STACK", nullptr, IK_STACK, end, stack ? stack->start_ebp - end : 0, nullptr);
  for (int id = 0; id < tab_count(&g_sources.table); id++) {
    if (!tab_in_use(&g_sources.table, id)) continue;
    const SourceRecord *s = *(SourceRecord **)tab_slot(&g_sources.table, id);
    add_item(m, s->given_name, nullptr, IK_SOURCE, s->low, s->high - s->low, nullptr);
  }
}

void add_frames(InspectorModel *m) {
  const CallStack *stack = call_stack();
  for (int i = 0; stack && i < stack->count; i++) {
    const EntryRecord *e = entry_nearest(stack->code[i]);
    char name[KQ_PATH + 16], where[KQ_PATH];
    if (e && e->type && e->type != type_base(BT_VOID)) {
      snprintf(name, sizeof name, "[%X] %s", (unsigned)stack->frame[i], e->name);
      add_item(m, name, "...", IK_FRAME, stack->frame[i], 0, e->type);
    } else {
      address_name(0, stack->code[i], true, where, sizeof where);
      snprintf(name, sizeof name, "[%X] %s", (unsigned)stack->frame[i], where);
      add_item(m, name, "unknown format", IK_FRAME, stack->frame[i], 0, nullptr);
    }
  }
}

void add_frame_words(InspectorModel *m, uint32_t address) {
  for (uint32_t i = 0; i < INSPECTOR_FRAME_WORDS; i++) {
    char name[16];
    snprintf(name, sizeof name, "[%X]", (unsigned)(address + 4 * i));
    add_value_item(m, name, address + 4 * i, type_base(BT_DWORD));
  }
}

// count elements of type from address on, "[0]" onwards.
void add_elements(InspectorModel *m, uint32_t address, TypeRecord *type, uint32_t count) {
  const uint32_t step = (uint32_t)type_size(type);
  for (uint32_t i = 0; i < count; i++) {
    char name[16];
    snprintf(name, sizeof name, "[%u]", (unsigned)i);
    add_value_item(m, name, address + i * step, type);
  }
}

void add_array(InspectorModel *m, const InspectorLevel *level) {
  TypeRecord *element = type_deref(level->type);
  const int step = type_size(element);
  if (!level->type || level->type->kind != TK_ARRAY || step <= 0) return;
  const uint32_t count = (uint32_t)type_size(level->type) / (uint32_t)step;
  const uint32_t rows = count < ARRAY_ROWS_MAX ? count : (uint32_t)ARRAY_ROWS_MAX;
  add_elements(m, level->address, element, rows);
}

void add_pointed(InspectorModel *m, const InspectorLevel *level) {
  uint32_t target = 0;
  if (!g_env.read_memory || !g_env.read_memory(level->address, &target, sizeof target))
    target = 0;
  add_elements(m, target, type_deref(level->type), INSPECTOR_POINTER_ELEMENTS);
}

// A watch's value is written from what the evaluation gave (a register has no place), at
// once, and only when the list is shown.
void add_watches(InspectorModel *m, bool shown) {
  for (int i = 0; i < g_watches.count; i++) {
    const char *expression = g_watches.entries[i].expression;
    ValueDescriptor value;
    if (!expression_evaluate(expression, &value)) {
      const char *error = expression_last_error();
      add_item(m, expression, error ? error : "", IK_ERROR, 0, 0, nullptr);
      continue;
    }
    char text[KQ_PATH + 1];
    if (shown) format(&value, text, sizeof text);
    push_item(m, expression, shown ? zone_strdup(text) : nullptr, kind_of_type(value.type),
              value.address, (uint32_t)type_size(value.type), value.type);
  }
}

// The source a level was opened on, looked up again: it may have gone with its module.
const SourceRecord *source_of_level(const char *name, const InspectorLevel *level) {
  for (int id = 0; id < tab_count(&g_sources.table); id++) {
    if (!tab_in_use(&g_sources.table, id)) continue;
    const SourceRecord *s = *(SourceRecord **)tab_slot(&g_sources.table, id);
    if (s->low == level->address && !strcmp(s->given_name, name)) return s;
  }
  return nullptr;
}

void add_source_entries(InspectorModel *m, const char *name, const InspectorLevel *level) {
  const SourceRecord *source = source_of_level(name, level);
  const EntryRecord *e;
  for (int i = 0; source && (e = source_entry(source, i)); i++)
    add_value_item(m, e->name, e->address, e->type);
}

// The items of level index; shown says they are the ones the list shows, not a level passed
// through on the way there.
void build_items(InspectorModel *m, int index, bool shown) {
  clear_items(m);
  if (index < 0) return;
  const InspectorLevel *level = &m->levels[index];
  if (index > 0) {
    const InspectorLevel *up = &m->levels[index - 1];
    add_item(m, kUp, nullptr, up->kind, up->address, up->size, nullptr);
  }
  switch (level->kind) {
    case IK_ROOT: add_root(m); break;
    case IK_STACK: add_frames(m); break;
    case IK_FRAME:
      if (has_members(level->type)) add_members(m, level);
      else add_frame_words(m, level->address);
      break;
    case IK_STRUCT: add_members(m, level); break;
    case IK_ARRAY: add_array(m, level); break;
    case IK_POINTER: add_pointed(m, level); break;
    case IK_WATCHES: add_watches(m, shown); break;
    case IK_SOURCE: add_source_entries(m, m->levels[index - 1].selected, level); break;
    default: break;
  }
}

void ensure_level(InspectorModel *m, int index) {
  while (m->level_count <= index) {
    InspectorLevel level = {};
    level.selected = zone_strdup("");
    m->levels = (InspectorLevel *)zone_append(m->levels, &level, sizeof level);
    m->level_count++;
  }
}

void drop_after(InspectorModel *m, int index) {
  for (int i = index + 1; i < m->level_count; i++) zone_free(m->levels[i].selected);
  if (m->level_count > index + 1) {
    m->level_count = index + 1;
    // Appending goes after the block's size: it must end with the last level.
    m->levels = (InspectorLevel *)zone_resize(m->levels, sizeof(InspectorLevel) * m->level_count);
  }
  if (m->resolved > m->level_count) m->resolved = m->level_count;
  if (m->current > index) m->current = index;
}

// Names the item chosen in level index; another name than before forgets the deeper path.
void choose(InspectorModel *m, int index, const char *name) {
  InspectorLevel *level = &m->levels[index];
  if (!strcmp(level->selected, name)) return;
  drop_after(m, index);
  zone_free(level->selected);
  level->selected = zone_strdup(name);
  level->top = 0;
}

// Where a step from level index leads: down one level, or up one (not above the root).
int step_from(int index, const char *name) {
  if (strcmp(name, kUp)) return index + 1;
  return index > 0 ? index - 1 : 0;
}

void resolve(InspectorModel *m) {
  if (m->level_count) {
    if (!m->resolved) {
      InspectorLevel *root = &m->levels[0];
      root->kind = IK_ROOT;
      root->address = root->size = 0;
      root->type = nullptr;
      m->resolved = 1;
    }
    while (m->resolved < m->level_count) {
      build_items(m, m->resolved - 1, false);
      const int found = inspector_find_item(m, m->levels[m->resolved - 1].selected);
      if (found < 0) break;
      const InspectorItem *item = &m->items[found];
      InspectorLevel *level = &m->levels[m->resolved++];
      level->kind = item->kind;
      level->address = item->address;
      level->size = item->size;
      level->type = item->type;
    }
  }
  build_items(m, inspector_shown_level(m), true);
  write_values(m);
}

}  // namespace

int inspector_find_item(const InspectorModel *m, const char *name) {
  for (int i = m->item_count - 1; i >= 0; i--)
    if (!strcmp(m->items[i].name, name)) return i;
  return -1;
}

void inspector_set_environment(const InspectorEnvironment *env) {
  g_env = env ? *env : InspectorEnvironment();
}

void inspector_set_path(InspectorModel *m, const char *path) {
  const char *p = path ? path : "";
  const size_t length = strlen(p);
  int index = m->current < 0 ? 0 : m->current;
  if (*p == '\\') {
    index = 0;
    p++;
  }
  if (m->resolved > index) m->resolved = index;
  while (*p) {
    const char *end = strchr(p, '\\');
    const size_t n = end ? (size_t)(end - p) : strlen(p);
    char name[KQ_PATH];
    text_copy(name, n + 1 < sizeof name ? n + 1 : sizeof name, p);
    p += end ? n + 1 : n;
    if (!name[0]) continue;
    ensure_level(m, index);
    choose(m, index, name);
    index = step_from(index, name);
  }
  if (length && path[length - 1] == '\\') ensure_level(m, index);
  m->current = index < m->level_count ? index : m->level_count - 1;
  resolve(m);
}

void inspector_refresh(InspectorModel *m) {
  m->resolved = 0;
  resolve(m);
}

int inspector_shown_level(const InspectorModel *m) {
  return m->current < m->resolved ? m->current : m->resolved - 1;
}

InspectorOpen inspector_open(InspectorModel *m, int index, int top) {
  const int shown = inspector_shown_level(m);
  if (shown < 0 || index < 0 || index >= m->item_count) return OPEN_NOTHING;
  const InspectorItem *item = &m->items[index];
  if (item->kind == IK_ERROR) return OPEN_NOTHING;
  if (item->kind == IK_VALUE) return OPEN_CHANGE_VALUE;
  char name[KQ_PATH];
  text_copy(name, sizeof name, item->name);
  m->current = shown;
  choose(m, shown, name);
  m->levels[shown].top = top;
  m->current = step_from(shown, name);
  ensure_level(m, m->current);
  resolve(m);
  return OPEN_MOVED;
}

int inspector_selected_row(const InspectorModel *m) {
  const int shown = inspector_shown_level(m);
  const int row = shown < 0 ? -1 : inspector_find_item(m, m->levels[shown].selected);
  return row < 0 ? 0 : row;
}

void inspector_path_text(const InspectorModel *m, char *out, size_t outlen) {
  text_copy(out, outlen, "\\");
  for (int i = 0; i < m->current && i < m->level_count; i++) {
    const size_t used = strlen(out);
    snprintf(out + used, outlen - used, "%s\\", m->levels[i].selected);
  }
}

const char *inspector_object_name(const InspectorModel *m) {
  const int shown = inspector_shown_level(m);
  return shown > 0 ? m->levels[shown - 1].selected : "\\";
}

bool inspector_value_text(const InspectorItem *item, char *out, int outlen) {
  ValueDescriptor value = {};
  value.address = item->address;
  value.type = item->type;
  format(&value, out, outlen);
  return item->type != nullptr;
}

bool inspector_assign(InspectorModel *m, int index, const char *text, char *error,
                      size_t errorlen) {
  text_copy(error, errorlen, "");
  if (index < 0 || index >= m->item_count) return false;
  ValueDescriptor target = {};
  target.address = m->items[index].address;
  target.type = m->items[index].type;
  // Formatting loads the target: a pointer's value says where a string goes.
  char loaded[KQ_PATH + 1];
  format(&target, loaded, sizeof loaded);
  const bool done = expression_assign(&target, text);
  if (!done) text_copy(error, errorlen, expression_last_error() ? expression_last_error() : "");
  inspector_refresh(m);
  return done;
}

InspectorRect inspector_next_place(InspectorRect place, InspectorRect desktop) {
  enum { STEP_X = 60, STEP_Y = 10 };
  InspectorRect r = {place.left + STEP_X, place.top + STEP_Y, place.right + STEP_X,
                     place.bottom + STEP_Y};
  const bool meets = r.left < desktop.right && desktop.left < r.right && r.top < desktop.bottom &&
                     desktop.top < r.bottom;
  if (meets) return r;
  return InspectorRect{0, 0, r.right - r.left, r.bottom - r.top};
}

void inspector_free(InspectorModel *m) {
  clear_items(m);
  for (int i = 0; i < m->level_count; i++) zone_free(m->levels[i].selected);
  zone_free(m->levels);
  *m = InspectorModel();
}
