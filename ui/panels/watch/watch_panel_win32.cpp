#include "ui/panels/watch/watch_panel_win32.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/eval/expression.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/inspector/inspector_win32.h"
#include "ui/panels/panel_windows.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/screen_helpers_win32.h"
#include "util/picture_win32.h"
#include "util/zone.h"

WatchPanel g_watch;

namespace {

enum : uint32_t { WATCH_PAPER = 0xF0F0F0 };
enum { WIDTH_STEP = 30, WHEEL_STEP = 6, PATTERN_PICTURE = 150 };

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

void rewrite() {
  if (!g_watch.dd) return;
  WatchView view = {handle_of(g_resources.fixed_font[0]), handle_of(g_resources.gui_font[0]),
                    GetFocus() == g_watch.hwnd};
  watch_write(g_watch.dd, &view);
  InvalidateRect(g_watch.hwnd, nullptr, FALSE);
  // The window's text is the list as lines "expression: value", for readers from outside.
  char *text = nullptr;
  for (int i = 0; i < g_watches.count; i++) {
    const WatchEntry *e = &g_watches.entries[i];
    char line[2 * KQ_PATH + 8];
    snprintf(line, sizeof line, "%s: %s\n", e->expression, e->value);
    text = (char *)zone_append(text, line, strlen(line));
  }
  text = (char *)zone_append(text, "", 1);
  SetWindowTextA(g_watch.hwnd, text);
  zone_free(text);
}

void listener(int) {
  if (watch_flags_call_for_reevaluation()) watch_reevaluate();
  else if (!changes_test(CHG_WATCHES)) return;
  rewrite();
}

// Asks for an expression, the prompt's text set to initial.
bool ask_expression(const char *initial) {
  text_copy(g_watch.expression, sizeof g_watch.expression, initial);
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(IDS_WATCH_EXPRESSION), g_watch.expression,
                                    g_watch.expression_history);
  keyb_set_active(true);
  return accepted && g_watch.expression[0];
}

void error_box(const char *format, const char *what) {
  char text[2 * KQ_PATH];
  snprintf(text, sizeof text, format, what ? what : "");
  MessageBoxA(g_watch.hwnd, text, "Watch", MB_OK | MB_ICONERROR);
}

// Evaluates the selected expression for its place, asks for the new value and assigns it.
void change_value() {
  const int i = g_watches.selected;
  if (i < 0) return;
  ValueDescriptor target;
  if (!expression_evaluate(g_watches.entries[i].expression, &target)) {
    error_box("Expression error: %s", expression_last_error());
    return;
  }
  text_copy(g_watch.value, sizeof g_watch.value, g_watches.entries[i].value);
  keyb_set_active(false);
  const int accepted =
      input_prompt(MAKEINTRESOURCEA(IDS_WATCH_VALUE), g_watch.value, g_watch.value_history);
  keyb_set_active(true);
  if (!accepted) return;
  if (!expression_assign(&target, g_watch.value))
    error_box("Value error: %s", expression_last_error());
  watch_reevaluate();
  rewrite();
}

// An inspector on the selected expression, entered: a structure shows its members.
void inspect() {
  if (g_watches.selected < 0) return;
  char path[KQ_PATH];
  snprintf(path, sizeof path, "\\%s\\%s\\", "@WATCH",
           g_watches.entries[g_watches.selected].expression);
  inspector_open_window(path, g_watch.hwnd);
}

// The section takes the new width at once; an empty list keeps its section as it is. Until
// the first of these commands the script's width holds: the width the panel wants is the
// narrower of the widest line and the preferred width, and the list is empty when the
// panel is made, before any holder shows it.
void change_width(int d) {
  g_settings.WatchWidth =
      watch_preferred_width(g_settings.WatchWidth, d, g_watch.width, rich_width(g_watch.dd));
  if (g_settings.WatchWidth > 0) layout_set_width(g_watch.hwnd, g_settings.WatchWidth);
  changes_raise(CHG_WATCHES);
}

}  // namespace

bool watch_panel_command(int id) {
  const int selected = g_watches.selected;
  switch (id) {
    case WATCH_CMD_ADD:
      if (ask_expression("")) watch_add(g_watch.expression, -1);
      return true;
    case WATCH_CMD_EDIT:
      if (selected >= 0 && ask_expression(g_watches.entries[selected].expression))
        watch_edit(selected, g_watch.expression);
      return true;
    case WATCH_CMD_CHANGE: change_value(); return true;
    case WATCH_CMD_INSPECT: inspect(); return true;
    case WATCH_CMD_DELETE: watch_delete(selected); return true;
    case WATCH_CMD_DOWN: watch_move(selected, 1); return true;
    case WATCH_CMD_UP: watch_move(selected, -1); return true;
    case WATCH_CMD_NARROWER: change_width(-WIDTH_STEP); return true;
    case WATCH_CMD_WIDER: change_width(WIDTH_STEP); return true;
    default: return false;
  }
}

namespace {

// A letter or digit starts a new expression with it typed, unselected.
void typed(char c) {
  if (!isalnum((unsigned char)c)) return;
  const char initial[3] = {'\n', c, 0};
  if (ask_expression(initial)) watch_add(g_watch.expression, -1);
}

void scroll_to(int y) {
  const int bottom = rich_height(g_watch.dd) - g_watch.height;
  y = y > bottom ? bottom : y;
  g_watch.scroll_y = y < 0 ? 0 : y;
  InvalidateRect(g_watch.hwnd, nullptr, FALSE);
}

// The arrows, HOME and END move the selection (the ends by more than any list holds),
// which is scrolled into sight.
const struct {
  WPARAM key;
  int delta;
} kSelectionKeys[] = {{VK_UP, -1}, {VK_DOWN, 1}, {VK_HOME, -0x10000}, {VK_END, 0x10000}};

void key(WPARAM vk) {
  int delta = 0;
  for (auto &k : kSelectionKeys) delta = k.key == vk ? k.delta : delta;
  if (!delta || !watch_select_step(delta)) return;
  rewrite();
  RichRect r;  // in the document: unscrolled
  rich_set_scroll(g_watch.dd, 0, 0);
  rich_line_rect(g_watch.dd, g_watches.selected, &r);
  if (r.top < g_watch.scroll_y) scroll_to(r.top);
  else if (r.bottom > g_watch.scroll_y + g_watch.height) scroll_to(r.bottom - g_watch.height);
}

void select_at(LPARAM lparam) {
  const int line = rich_line_at(g_watch.dd, (short)LOWORD(lparam), (short)HIWORD(lparam), true);
  if (line >= 0 && rich_has_param(g_watch.dd, line)) {
    g_watches.selected = (int)rich_line_param(g_watch.dd, line);
    rewrite();
  }
}

void create(HWND hwnd) {
  g_watch.hwnd = hwnd;
  rich_gdi_measurer_init(&g_watch.measurer, g_resources.big_font, g_resources.small_font,
                         WATCH_PAPER, GetModuleHandleA(nullptr));
  g_watch.dd = rich_create(&g_watch.measurer.measurer);
  g_watch.pattern = picture_load(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PATTERN_PICTURE));
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  watch_clear();
  if (g_watch.pattern) DeleteObject(g_watch.pattern);
  g_watch.dd = rich_destroy(g_watch.dd);
  rich_gdi_measurer_free(&g_watch.measurer);
  g_watch = WatchPanel();
}

}  // namespace

LRESULT CALLBACK watch_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_watch.width = LOWORD(lparam);
      g_watch.height = HIWORD(lparam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_CHAR: typed((char)wparam); return 0;
    case WM_KEYDOWN: key(wparam); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: select_at(lparam); break;  // then the panel is focused
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void watch_panel_focus(bool) { rewrite(); }

void watch_panel_wheel(int delta) { scroll_to(g_watch.scroll_y - delta / WHEEL_STEP); }

// The pattern moves with the list; the selected line of the focused list is red from edge
// to edge, under its texts.
void watch_panel_draw(HDC dc) {
  RECT all = {0, 0, g_watch.width, g_watch.height};
  HBRUSH paper =
      g_watch.pattern ? CreatePatternBrush(g_watch.pattern) : CreateSolidBrush(WATCH_PAPER);
  SetBrushOrgEx(dc, -g_watch.scroll_x, -g_watch.scroll_y, nullptr);
  FillRect(dc, &all, paper);
  DeleteObject(paper);
  if (!g_watch.dd) return;
  rich_set_scroll(g_watch.dd, g_watch.scroll_x, g_watch.scroll_y);
  const int selected = g_watches.selected;
  if (GetFocus() == g_watch.hwnd && selected >= 0 && selected < rich_line_count(g_watch.dd)) {
    RichRect r;
    rich_line_rect(g_watch.dd, selected, &r);
    const RECT line = {0, r.top, g_watch.width, r.bottom};
    HBRUSH red = CreateSolidBrush(WATCH_SELECTED_PAPER);
    FillRect(dc, &line, red);
    DeleteObject(red);
  }
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(g_watch.dd, &drawer.drawer);
}
