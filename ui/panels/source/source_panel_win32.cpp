#include "ui/panels/source/source_panel_win32.h"

#include <stdio.h>
#include <string.h>

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/registers.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/code/code_panel_win32.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/source/source_panel_page.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/screen_helpers_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/picture_win32.h"
#include "util/zone.h"

SourcePanel g_source;

namespace {

enum {
  PATTERN_PICTURE = 140,
  BREAKPOINT_MARK = 0,
  IP_MARK = 1,
  IP_JUMP_MARK = 2,
  CODE_MARK = 3,
  WHEEL_STEP = 30,
  LABEL_ALPHA = 200,
  LABEL_MARGIN = 4,
  LABEL_PAD = 5,
  PAPER = 0xFFFFFF
};
const COLORREF kCurrentBand = 0xF0E0C8;
const COLORREF kLabelBox = RGB(100, 255, 100);

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }
uint32_t find_entry(void *, const char *name) { return (uint32_t)(uintptr_t)entry_find(name); }
bool has_breakpoint(void *, uint32_t address) { return breakpoint_at(address) >= 0; }
bool paused() { return debuggee_state() == DS_PAUSED; }
PanelPosition *code_position() { return &g_positions[POSITION_CODE]; }

SourceMarks marks() {
  SourceMarks m = {handle_of(g_resources.pictures[CODE_MARK]),
                   handle_of(g_resources.pictures[BREAKPOINT_MARK]),
                   handle_of(g_resources.pictures[IP_MARK]),
                   handle_of(g_resources.pictures[IP_JUMP_MARK]),
                   has_breakpoint,
                   nullptr,
                   -1,
                   false,
                   handle_of(GetStockObject(ANSI_VAR_FONT))};
  if (paused() && g_source.shown.text) {
    const uint32_t ip = registers_ip();
    m.ip_line = source_line_at(g_source.dd, ip);
    if (m.ip_line >= 0 && source_line_address(g_source.dd, m.ip_line) > ip) m.ip_line = -1;
    m.ip_jumps = execution_jump_taken();
  }
  return m;
}

int gutter_width() { return rich_width(g_source.gutter); }
int line_top(int line) { return source_line_y(g_source.dd, line); }
SourcePage page() { return {g_source.lines, g_source.top, g_source.height}; }

// Both documents scrolled to the page, so that they take and give window coordinates, the
// mouse's and the rectangles to repaint.
void scroll_to_page() {
  const int y = line_top(g_source.top);
  rich_set_scroll(g_source.gutter, 0, y);
  rich_set_scroll(g_source.dd, g_source.scroll_x, y);
}

// Both documents side by side with rows of one height.
void arrange() {
  rich_arrange(g_source.gutter, 0, 0, gutter_width(), rich_height(g_source.gutter), 0, 0);
  rich_arrange(g_source.dd, gutter_width(), 0, gutter_width() + rich_width(g_source.dd),
               rich_height(g_source.dd), 0, 0);
  rich_align_rows(g_source.gutter, g_source.dd);
  rich_align_rows(g_source.dd, g_source.gutter);
}

// A current line the shown document has: the text may hold one line more than its
// document (a last empty line), and a dump may have no current line at all.
bool current_shown() {
  return g_source.current >= 0 && g_source.current < rich_line_count(g_source.dd);
}

void place_caret() {
  if (!g_source.focused) return;
  if (!current_shown()) {
    HideCaret(g_source.hwnd);
    return;
  }
  const SourcePage p = page();
  SetCaretPos(gutter_width() - g_source.scroll_x,
              source_row_of(g_source.dd, &p, g_source.current));
  ShowCaret(g_source.hwnd);
}

void repaint() {
  char title[KQ_PATH + 16];
  snprintf(title, sizeof title, "%i %s", g_source.current + 1, g_source.shown.title);
  // The window's text is the current line and the title, for whoever reads the panel.
  SetWindowTextA(g_source.hwnd, g_source.shown.text ? title : "");
  place_caret();
  InvalidateRect(g_source.hwnd, nullptr, FALSE);
}

void rewrite_marks() {
  const SourceMarks m = marks();
  source_write_gutter(g_source.gutter, g_source.dd, g_source.lines, &m);
  arrange();
  repaint();
}

int clamp_top(int top) {
  const SourcePage p = page();
  return source_clamp_top(g_source.dd, &p, top);
}

// The line that stands at pixel height y of the page.
int line_at_height(int y) {
  const SourcePage p = page();
  return source_line_at_height(g_source.dd, &p, y);
}

void set_current(int line) {
  if (!g_source.lines) return;
  line = source_clamp_line(line, g_source.lines);
  g_source.current = line;
  const SourcePage p = page();
  g_source.top = source_top_showing(g_source.dd, &p, line);
  if (g_source.focused) position_set(code_position(), source_line_address(g_source.dd, line));
  repaint();
}

// Following the code position must not move it back to the line's start.
void follow_line(int line) {
  if (line < 0) return;
  const bool focused = g_source.focused;
  g_source.focused = false;
  set_current(line);
  g_source.focused = focused;
}

// Scrolls by pixels, keeping the current line at the same height on the new page.
void scroll_by(int pixels) {
  const int offset =
      line_top(g_source.current < 0 ? g_source.top : g_source.current) - line_top(g_source.top);
  const SourcePage p = page();
  g_source.top = source_top_scrolled(g_source.dd, &p, pixels);
  if (g_source.current >= 0) g_source.current = line_at_height(offset);
  if (g_source.focused && g_source.current >= 0)
    position_set(code_position(), source_line_address(g_source.dd, g_source.current));
  repaint();
}

void scroll_lines(int lines) {
  const int line = source_clamp_line(g_source.top + lines, g_source.lines);
  scroll_by(line_top(line) - line_top(g_source.top));
}

void scroll_x_to(int x) {
  const int right = rich_width(g_source.dd) - (g_source.width - gutter_width());
  g_source.scroll_x = x > right ? right : x;
  if (g_source.scroll_x < 0) g_source.scroll_x = 0;
  repaint();
}

void report_missing(uint32_t address) {
  const SourceRecord *source = source_of_address(address);
  if (!source || source_path(source) || source->id == g_source.missing) return;
  g_source.missing = source->id;
  log_printf("Source file '%s' not found; the module's dump is shown. Its folder can be added "
             "to the source paths (Options) to show it\n",
             source->given_name ? source->given_name : "");
}

bool ask(int message, char *text, char *history) {
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(message), text, history);
  keyb_set_active(true);
  return accepted != 0;
}

void search(bool forward) {
  const char *needle = g_settings.SourceSearch;
  if (!g_source.shown.text || !needle[0] || g_source.current < 0) return;
  const int hit = source_search(g_source.shown.text, g_source.current, needle, forward);
  if (hit < 0) return;
  const int line = source_line_of_offset(g_source.shown.text, hit);
  // The document holds no carriage returns: count characters from the line's start.
  const char *text = g_source.shown.text;
  int column = 0;
  for (int i = hit; i > 0 && text[i - 1] != '\n'; i--)
    if (text[i - 1] != '\r') column++;
  const int first = rich_chars_before(g_source.dd, rich_line_start(g_source.dd, line)) + column;
  rich_set_selection(g_source.dd, rich_char_offset(g_source.dd, first),
                     rich_char_offset(g_source.dd, first + (int)strlen(needle)));
  set_current(line);
}

void copy_selection() {
  const RichText *dd = g_source.dd;
  if (dd->selstart < 0 || dd->selend <= dd->selstart) return;
  char *text = rich_text_range(g_source.dd, dd->selstart, dd->selend);
  if (text) clipboard_copy_text(text, strlen(text));
  zone_free(text);
}

}  // namespace

bool source_panel_command(int id) {
  const uint32_t address = source_panel_address();
  const int page_lines = g_source.current - line_at_height(0);
  switch (id) {
    case SOURCE_CMD_BREAKPOINT:
      if (address) breakpoint_toggle(address);
      break;
    case SOURCE_CMD_COPY:
      copy_selection();
      break;
    case SOURCE_CMD_END:
      set_current(-1);
      break;
    case SOURCE_CMD_HOME:
      set_current(0);
      break;
    case SOURCE_CMD_GO_TO:
      code_panel_command(CODE_CMD_GO_TO);
      break;
    case SOURCE_CMD_ORIGIN:
      if (paused()) source_panel_show(registers_ip());
      break;
    case SOURCE_CMD_GO_TO_LINE: {
      int line;
      if (ask(IDS_PROMPT_GO_TO_LINE, g_source.go_to_line, g_source.go_to_line_history) &&
          source_goto_line(g_source.go_to_line, g_source.lines, &line))
        set_current(line);
      break;
    }
    case SOURCE_CMD_DOWN:
      set_current(g_source.current + 1);
      break;
    case SOURCE_CMD_UP:
      if (g_source.current > 0) set_current(g_source.current - 1);
      break;
    case SOURCE_CMD_NEW_ORIGIN:
      if (address && paused()) registers_set_ip(address);
      break;
    case SOURCE_CMD_PAGE_DOWN:
      scroll_by(g_source.height);
      break;
    case SOURCE_CMD_PAGE_UP:
      scroll_by(-g_source.height);
      break;
    case SOURCE_CMD_PAGE_END:
      set_current(line_at_height(g_source.height - 1));
      break;
    case SOURCE_CMD_PAGE_HOME:
      set_current(g_source.current - page_lines);
      break;
    case SOURCE_CMD_LEFT:
      scroll_x_to(g_source.scroll_x - g_source.width / 10);
      break;
    case SOURCE_CMD_RIGHT:
      scroll_x_to(g_source.scroll_x + g_source.width / 10);
      break;
    case SOURCE_CMD_RUN_TO:
      if (address && paused()) execution_run_to(address);
      break;
    case SOURCE_CMD_SCROLL_DOWN:
      scroll_lines(1);
      break;
    case SOURCE_CMD_SCROLL_UP:
      scroll_lines(-1);
      break;
    case SOURCE_CMD_SEARCH:
      if (ask(IDS_PROMPT_SEARCH_STRING, g_settings.SourceSearch, g_settings.SourceSearchHistory))
        search(true);
      break;
    case SOURCE_CMD_SEARCH_DOWN:
      search(true);
      break;
    case SOURCE_CMD_SEARCH_UP:
      search(false);
      break;
    default:
      return false;
  }
  return true;
}

namespace {

// Whether the text shown is the one address would show: then only the current line moves.
bool showing(uint32_t address) {
  if (!g_source.shown.text) return false;
  const SourceRecord *source = source_of_address(address);
  if (source_path(source))
    return !g_source.shown.module && g_source.shown.lines == source->lines;
  const ModuleRecord *module = module_by_address(address);
  return module && g_source.shown.module && !strcmp(g_source.shown.title, module->name);
}

// The source paths or the sub-folder search changed: sources are looked for again, here
// because the symbol store's own listener runs after the panels', and a file still missing
// is reported again.
bool search_changed() {
  if (!changes_test(CHG_SETTINGS) || (!settings_changed(g_settings.SourceSearchPaths) &&
                                      !settings_changed(&g_settings.SearchSourceInSubfolders)))
    return false;
  sources_resolve_again();
  g_source.missing = SINDEX_NONE;
  return true;
}

void listener(int) {
  const uint32_t position = code_position()->address;
  if (changes_test(CHG_MODULES) || search_changed()) {
    source_panel_show(position);
  } else if (changes_test(CHG_CODE_POSITION)) {
    if (!position || position == source_panel_address()) return;
    // The module's dump may already stand for another missing source: this one is said too.
    report_missing(position);
    if (!showing(position)) {
      source_panel_show(position);
      return;
    }
    follow_line(source_line_at(g_source.dd, position));
    if (changes_test(CHG_STATE) || changes_test(CHG_REGISTERS)) rewrite_marks();
  } else if (!g_source.shown.text && changes_test(CHG_STATE)) {
    source_panel_show(position);  // the position came before its module did
  } else if (changes_test(CHG_BREAKPOINTS) || changes_test(CHG_STATE) ||
             changes_test(CHG_REGISTERS)) {
    rewrite_marks();
  }
}

// The document position under a window point.
int offset_at(LPARAM lparam) {
  scroll_to_page();
  return rich_offset_at(g_source.dd, (short)LOWORD(lparam), (short)HIWORD(lparam), true);
}

void press(HWND hwnd, LPARAM lparam) {
  panel_activate(hwnd);
  if (!g_source.shown.text) return;
  scroll_to_page();
  g_source.link = rich_tag_at(g_source.dd, (short)LOWORD(lparam), (short)HIWORD(lparam), false);
  g_source.anchor = offset_at(lparam);
  rich_set_selection(g_source.dd, -1, -1);
  g_source.selecting = true;
  SetCapture(hwnd);
  set_current(line_at_height((short)HIWORD(lparam)));
}

void release(LPARAM lparam) {
  if (!g_source.selecting) return;
  g_source.selecting = false;
  ReleaseCapture();
  const int at = offset_at(lparam);
  if (at != g_source.anchor || g_source.link < 0) return;
  const EntryRecord *entry =
      (const EntryRecord *)(uintptr_t)rich_tag_param(g_source.dd, g_source.link);
  if (entry) {
    position_push(code_position());
    position_set(code_position(), entry->address);
  }
}

void create(HWND hwnd) {
  g_source.hwnd = hwnd;
  g_source.current = g_source.link = -1;
  g_source.missing = SINDEX_NONE;
  rich_gdi_measurer_init(&g_source.measurer, g_resources.big_font, g_resources.small_font, PAPER,
                         GetModuleHandleA(nullptr));
  rich_gdi_window_init(&g_source.window, hwnd, GetModuleHandleA(nullptr));
  g_source.gutter = rich_create(&g_source.measurer.measurer);
  g_source.dd = rich_create(&g_source.measurer.measurer);
  HBITMAP pattern = picture_load(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PATTERN_PICTURE));
  g_source.pattern = pattern ? CreatePatternBrush(pattern) : CreateSolidBrush(PAPER);
  if (pattern) DeleteObject(pattern);
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  source_shown_free(&g_source.shown);
  g_source.gutter = rich_destroy(g_source.gutter);
  g_source.dd = rich_destroy(g_source.dd);
  rich_gdi_measurer_free(&g_source.measurer);
  DeleteObject(g_source.pattern);
  g_source = SourcePanel();
}

}  // namespace

LRESULT CALLBACK source_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      create(hwnd);
      return 0;
    case WM_DESTROY:
      destroy();
      return 0;
    case WM_SIZE:
      g_source.width = LOWORD(lparam);
      g_source.height = HIWORD(lparam);
      g_source.top = clamp_top(g_source.top);
      repaint();
      return 0;
    case WM_LBUTTONDOWN:
      press(hwnd, lparam);
      return 0;
    case WM_MOUSEMOVE:
      if (g_source.selecting) {
        rich_set_selection(g_source.dd, g_source.anchor, offset_at(lparam));
        InvalidateRect(hwnd, nullptr, FALSE);
      } else {
        scroll_to_page();
        rich_hover(g_source.dd, &g_source.window.window, (short)LOWORD(lparam),
                   (short)HIWORD(lparam));
      }
      return 0;
    case WM_LBUTTONUP:
      release(lparam);
      return 0;
    case WM_RBUTTONUP:
      panel_activate(hwnd);
      keyb_context_menu(hwnd, source_keys, g_resources.pictures[PICTURE_MENU_MARKER]);
      return 0;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void source_panel_focus(bool on) {
  HWND hwnd = g_source.hwnd;
  g_source.focused = on;
  if (on) {
    const int height = g_source.lines ? line_top(1) - line_top(0) : 16;
    CreateCaret(hwnd, nullptr, 2, height);
    place_caret();
  } else {
    DestroyCaret();
  }
  InvalidateRect(hwnd, nullptr, FALSE);
}

void source_panel_wheel(int delta) { scroll_lines(-delta / WHEEL_STEP); }

namespace {

// " %3i %s " at the top right, black on light green glass.
void draw_label(HDC dc) {
  char text[KQ_PATH + 16];
  const int length =
      snprintf(text, sizeof text, " %3i %s ", g_source.current + 1, g_source.shown.title);
  HDC glass = CreateCompatibleDC(dc);
  HGDIOBJ old_font = SelectObject(glass, GetStockObject(SYSTEM_FIXED_FONT));
  SIZE size;
  GetTextExtentPoint32A(glass, text, length, &size);
  const int w = size.cx + 2 * LABEL_PAD, h = size.cy + 2 * LABEL_PAD;
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old_bitmap = SelectObject(glass, bitmap);
  RECT box = {0, 0, w, h};
  HBRUSH brush = CreateSolidBrush(kLabelBox);
  FillRect(glass, &box, brush);
  DeleteObject(brush);
  SetBkMode(glass, TRANSPARENT);
  SetTextColor(glass, 0);
  TextOutA(glass, LABEL_PAD, LABEL_PAD, text, length);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, LABEL_ALPHA, 0};
  AlphaBlend(dc, g_source.width - w - LABEL_MARGIN, LABEL_MARGIN, w, h, glass, 0, 0, w, h, blend);
  SelectObject(glass, old_bitmap);
  SelectObject(glass, old_font);
  DeleteObject(bitmap);
  DeleteDC(glass);
}

}  // namespace

void source_panel_draw(HDC dc) {
  RECT all = {0, 0, g_source.width, g_source.height};
  FillRect(dc, &all, g_source.pattern);
  if (!g_source.shown.text) return;
  if (current_shown()) {
    const SourcePage p = page();
    const int row = source_row_of(g_source.dd, &p, g_source.current);
    RECT band = {0, row, g_source.width,
                 row + line_top(g_source.current + 1) - line_top(g_source.current)};
    HBRUSH brush = CreateSolidBrush(kCurrentBand);
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  scroll_to_page();
  rich_draw(g_source.gutter, &drawer.drawer);
  // The text scrolls sideways under the gutter, never over it.
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, gutter_width(), 0, g_source.width, g_source.height);
  rich_draw(g_source.dd, &drawer.drawer);
  RestoreDC(dc, saved);
  draw_label(dc);
}

void source_panel_show(uint32_t address) {
  if (!g_source.hwnd) return;
  report_missing(address);
  if (!source_show_address(&g_source.shown, address)) return;
  const SourceMarks m = marks();
  SourceView view = {g_source.shown.text,
                     g_source.shown.lines,
                     g_source.shown.line_count,
                     find_entry,
                     nullptr,
                     &m};
  g_source.lines = source_write(g_source.gutter, g_source.dd, &view);
  rewrite_marks();  // the instruction pointer's line is known only now
  g_source.top = 0;
  g_source.current = -1;
  g_source.scroll_x = 0;
  const int line = source_line_at(g_source.dd, address);
  if (line >= 0)
    follow_line(line);
  else
    repaint();
}

uint32_t source_panel_address() {
  return g_source.current >= 0 ? source_line_address(g_source.dd, g_source.current) : 0;
}
