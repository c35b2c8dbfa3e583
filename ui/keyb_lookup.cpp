// The command tables in force and the decisions of the keyboard filter.
#include "ui/keyb_lookup.h"

#include <stdlib.h>
#include <string.h>

#include "util/visor.h"

// Before a seam is installed (a program or test without the processor) nothing is held,
// nothing has the focus and nothing runs.
static uint8_t no_modifiers() { return 0; }
static void *no_focus() { return nullptr; }
static void no_execute(const CommandRef *) {}
static const KeybSeam kNoSeam = {no_modifiers, no_focus, no_execute};
static const KeybViews kNoViews = {};

KeyboardState g_keyb = {{}, 0, 0, true, &kNoSeam, &kNoViews};

void keyb_reset(const KeybSeam *seam) {
  g_keyb = KeyboardState{};
  g_keyb.active = true;
  g_keyb.seam = seam ? seam : &kNoSeam;
  g_keyb.views = &kNoViews;
}

void keyb_set_views(const KeybViews *views) { g_keyb.views = views ? views : &kNoViews; }

static void refresh_bar() {
  if (g_keyb.views->bar_refresh) g_keyb.views->bar_refresh();
}
static void report_focus() {
  if (g_keyb.views->balloon_report) g_keyb.views->balloon_report(g_keyb.seam->focus());
}
static void hide_balloon() {
  if (g_keyb.views->balloon_hide) g_keyb.views->balloon_hide();
}

int keyb_register_table(void *window, const KeyCommand *table) {
  for (int i = 0; i < g_keyb.tabnum; i++)
    if (g_keyb.tabs[i].window == window && g_keyb.tabs[i].table == table) return i;
  int &tabnum = g_keyb.tabnum;
  KQ_ASSERT_AT(tabnum + 1 < MAXKEYTAB, "keyb", __LINE__, "tabnum+1<MAXKEYTAB");
  g_keyb.tabs[tabnum] = {window, table};
  if (g_keyb.views->balloon_report) g_keyb.views->balloon_report(window);
  refresh_bar();
  return tabnum++;
}

void keyb_unregister_table(void *window, const KeyCommand *table) {
  for (int i = 0; i < g_keyb.tabnum; i++)
    if (g_keyb.tabs[i].window == window && g_keyb.tabs[i].table == table) {
      memmove(&g_keyb.tabs[i], &g_keyb.tabs[i + 1],
              (g_keyb.tabnum - i - 1) * sizeof g_keyb.tabs[0]);
      g_keyb.tabnum--;
      return;
    }
}

void keyb_set_active(bool active) {
  g_keyb.active = active;
  // A modifier let go while a dialog had the keys sends its key up to the dialog: the bar
  // learns of it only here.
  const uint8_t now = g_keyb.seam->read_modifiers();
  const bool changed = now != g_keyb.modifiers;
  g_keyb.modifiers = now;
  hide_balloon();
  if (g_keyb.views->bar_enable) g_keyb.views->bar_enable(active);
  if (changed) refresh_bar();
}

bool keyb_active() { return g_keyb.active; }

uint8_t keyb_modifiers() { return g_keyb.modifiers; }

static CommandRef reference(const KeyTableRef &tab, const KeyCommand &row) {
  const KeyName *key = key_by_code(row.key);
  return {(uint16_t)(key ? key->category : 0), key ? key->name : "?", row.title, tab.window,
          row.command};
}

bool keyb_find(uint8_t modifiers, int key, CommandRef *out) {
  for (int t = g_keyb.tabnum - 1; t >= 0; t--)
    for (const KeyCommand *row = g_keyb.tabs[t].table; row->title; row++)
      if (row->modifiers == modifiers && row->key == key) {
        *out = reference(g_keyb.tabs[t], *row);
        return true;
      }
  return false;
}

enum { KEY_F1 = 0x70 };

int keyb_function_keys(CommandRef out[FUNCTION_KEY_COUNT]) {
  for (int i = 0; i < FUNCTION_KEY_COUNT; i++) out[i] = CommandRef{};
  for (int t = 0; t < g_keyb.tabnum; t++)
    for (const KeyCommand *row = g_keyb.tabs[t].table; row->title; row++)
      if (row->modifiers == g_keyb.modifiers && row->key >= KEY_F1 &&
          row->key < KEY_F1 + FUNCTION_KEY_COUNT)
        out[row->key - KEY_F1] = reference(g_keyb.tabs[t], *row);
  for (int i = 0; i < FUNCTION_KEY_COUNT; i++) {
    out[i].key_name = key_by_code(KEY_F1 + i)->name;
    out[i].category = KEYCAT_FUNCTION;
  }
  return FUNCTION_KEY_COUNT;
}

static bool listed(const CommandRef *refs, int count, const char *key_name) {
  for (int i = 0; i < count; i++)
    if (!strcmp(refs[i].key_name, key_name)) return true;
  return false;
}

static int by_category_then_name(const void *a, const void *b) {
  const CommandRef *x = (const CommandRef *)a, *y = (const CommandRef *)b;
  if (x->category != y->category) return x->category < y->category ? -1 : 1;
  return strcmp(x->key_name, y->key_name);
}

int keyb_available_commands(CommandRef *out, int limit) {
  int count = 0;
  for (int t = g_keyb.tabnum - 1; t >= 0 && count < limit; t--)
    for (const KeyCommand *row = g_keyb.tabs[t].table; row->title && count < limit; row++) {
      if (row->modifiers != g_keyb.modifiers) continue;
      CommandRef ref = reference(g_keyb.tabs[t], *row);
      if (ref.category != KEYCAT_EDIT && ref.category != KEYCAT_CHAR) continue;
      if (!listed(out, count, ref.key_name)) out[count++] = ref;
    }
  qsort(out, count, sizeof *out, by_category_then_name);
  return count;
}

enum { KEY_SHIFT = 0x10, KEY_ALT = 0x12 };

bool keyb_filter_key(int key, bool down, bool system) {
  if (key >= KEY_SHIFT && key <= KEY_ALT) {
    uint8_t now = g_keyb.seam->read_modifiers();
    if (now != g_keyb.modifiers) {
      g_keyb.modifiers = now;
      refresh_bar();
      report_focus();
    }
  } else if (down) {
    hide_balloon();
  }
  // ALT combinations never reach a window's default handling, so the standard menu does
  // not open through its accelerators.
  if (!down || !g_keyb.active) return system;
  CommandRef ref;
  if (!keyb_find(g_keyb.modifiers, key, &ref)) return system;
  keyb_execute(&ref);
  return true;
}

void keyb_execute(const CommandRef *ref) { g_keyb.seam->execute(ref); }
