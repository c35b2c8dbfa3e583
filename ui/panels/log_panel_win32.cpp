#include "ui/panels/log_panel_win32.h"

#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "startup/changes.h"
#include "startup/global_resources_win32.h"
#include "startup/screen_helpers_win32.h"
#include "startup/settings.h"
#include "symbols/entries.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/input_prompt_win32.h"
#include "ui/panels/status_bar_win32.h"
#include "ui/rendget.h"
#include "ui/rendput.h"
#include "util/log.h"
#include "util/picture_win32.h"
#include "util/zone.h"

LogPanel g_log;

namespace {

enum {
  GROWTH_TIMER = 1, GROWTH_MS = 50, PATTERN_PICTURE = 130, SCROLL_RANGE = 65535,
  LINE_MARK = 3, LONGER_MARK = 4, LAST_MARK = 1, WHEEL_DELTA_STEP = 120, PAPER = 0xFFFFFF
};

const char kGotoPrompt[] =
    "Go to the line\nEnter a line number to go to. Use percent sign for relative jumps.";
const char kSearchPrompt[] = "Search for string\nEnter a string to search for";

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

int file_read(void *context, uint64_t offset, char *out, int count) {
  OVERLAPPED at = {};
  at.Offset = (DWORD)offset;
  at.OffsetHigh = (DWORD)(offset >> 32);
  DWORD got = 0;
  if (!ReadFile((HANDLE)context, out, (DWORD)count, &got, &at)) return 0;
  return (int)got;
}

uint64_t file_size(void *context) {
  LARGE_INTEGER size;
  return GetFileSizeEx((HANDLE)context, &size) ? (uint64_t)size.QuadPart : 0;
}

uint32_t find_entry(void *, const char *name) { return (uint32_t)(uintptr_t)entry_find(name); }

bool have_file() { return g_log.file != INVALID_HANDLE_VALUE; }

void update_scroll_bar() {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  si.nMax = SCROLL_RANGE;
  const uint64_t size = g_log.view.size;
  if (have_file() && size) {
    const uint64_t end = g_log.shown ? g_log.lines[g_log.shown - 1].next : g_log.view.top;
    si.nPos = (int)(g_log.view.top * SCROLL_RANGE / size);
    si.nPage = (UINT)((end - g_log.view.top) * SCROLL_RANGE / size) + 1;
  }
  SetScrollInfo(g_log.hwnd, SB_VERT, &si, TRUE);
}

// The document's stream offset of a file byte: the page's own lines by their starts (the
// indent counts as one character), bytes above the page at its start, below it at its end.
int stream_offset(uint64_t byte) {
  if (!g_log.shown || byte < g_log.lines[0].start) return 0;
  for (int i = 0; i < g_log.shown; i++) {
    const LogLine &line = g_log.lines[i];
    if (byte > line.start + (uint64_t)line.length) continue;
    const int first = rich_chars_before(g_log.dd, rich_line_start(g_log.dd, i));
    return rich_char_offset(g_log.dd, first + 1 + (int)(byte - line.start));
  }
  return rich_length(g_log.dd);
}

// The page is read again from the file and written into the document.
void rewrite() {
  g_log.shown = 0;
  if (have_file()) {
    g_log.view.lines = g_log.height / g_log.line_height;
    if (g_log.view.lines < 1) g_log.view.lines = 1;
    if (g_log.view.lines > LOG_PAGE_LINES) g_log.view.lines = LOG_PAGE_LINES;
    log_clamp(&g_log.source, &g_log.view);
    g_log.shown = log_read_page(&g_log.source, &g_log.view, g_log.lines, g_log.view.lines);
  }
  LogStyle style = {&g_log.filter, g_settings.HyperlinkSymbols != 0, find_entry, nullptr,
                    handle_of(g_resources.pictures[LINE_MARK]),
                    handle_of(g_resources.pictures[LONGER_MARK]),
                    handle_of(g_resources.pictures[LAST_MARK])};
  log_write_page(g_log.dd, g_log.lines, g_log.shown, &style);
  if (g_log.view.select_end > g_log.view.select_start)
    rich_set_selection(g_log.dd, stream_offset(g_log.view.select_start),
                       stream_offset(g_log.view.select_end));
  // The window's text is the page's last line, for whoever reads the panel from outside.
  SetWindowTextA(g_log.hwnd, g_log.shown ? g_log.lines[g_log.shown - 1].text : "");
  update_scroll_bar();
  InvalidateRect(g_log.hwnd, nullptr, FALSE);
}

void close_file() {
  KillTimer(g_log.hwnd, GROWTH_TIMER);
  if (have_file()) CloseHandle(g_log.file);
  g_log.file = INVALID_HANDLE_VALUE;
  g_log.view = LogView();
}

void open_file() {
  close_file();
  settings_pattern_path(g_settings.LogFilename, debuggee_path(), g_log.name, sizeof g_log.name);
  g_log.file = CreateFileA(g_log.name, GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (!have_file()) {
    log_printf("Fail to open the log file '%s'\n", g_log.name);
  } else {
    g_log.source = {g_log.file, file_read, file_size};
    g_log.view.size = file_size(g_log.file);
    SetTimer(g_log.hwnd, GROWTH_TIMER, GROWTH_MS, nullptr);
    log_go_end(&g_log.source, &g_log.view);
  }
  rewrite();
}

void listener(int) {
  if (changes_test(CHG_SETTINGS) && settings_changed(g_settings.LogFilename)) {
    open_file();
    return;
  }
  if (changes_test(CHG_SETTINGS) &&
      (settings_changed(&g_settings.HyperlinkSymbols) || settings_changed(g_settings.LogFilter)))
    log_parse_filter(&g_log.filter, g_settings.LogFilter);
  else if (!changes_test(CHG_STATE))
    return;
  rewrite();
}

void scroll_x_to(int x) {
  const int right = rich_width(g_log.dd) - g_log.width;
  g_log.scroll_x = x > right ? right : x;
  if (g_log.scroll_x < 0) g_log.scroll_x = 0;
  InvalidateRect(g_log.hwnd, nullptr, FALSE);
}

void copy_selection() {
  const LogView &v = g_log.view;
  if (!have_file() || v.select_end <= v.select_start) return;
  const uint64_t length = v.select_end - v.select_start;
  if (length > (1u << 24)) return;  // the clipboard gets no more than 16 MB of a log
  char *text = (char *)zone_alloc((size_t)length + 1);
  const int got = file_read(g_log.file, v.select_start, text, (int)length);
  clipboard_copy_text(text, got);
  zone_free(text);
}

void ask_and_search() {
  keyb_set_active(false);
  const int accepted = input_prompt(kSearchPrompt, g_settings.LogSearch,
                                    g_settings.LogSearchHistory);
  keyb_set_active(true);
  if (accepted) log_search(&g_log.source, &g_log.view, g_settings.LogSearch, true);
}

void ask_and_go() {
  keyb_set_active(false);
  const int accepted = input_prompt(kGotoPrompt, g_settings.LogGoto, g_settings.LogGotoHistory);
  keyb_set_active(true);
  if (accepted) log_go_to(&g_log.source, &g_log.view, g_settings.LogGoto);
}

bool command(int id) {
  LogView *v = &g_log.view;
  const LogSource *s = &g_log.source;
  const int page = v->lines > 1 ? v->lines - 1 : 1;
  switch (id) {
    case LOG_CMD_COPY: copy_selection(); return true;
    case LOG_CMD_END: log_go_end(s, v); break;
    case LOG_CMD_START: log_go_start(s, v); break;
    case LOG_CMD_GOTO: ask_and_go(); break;
    case LOG_CMD_LINE_DOWN: log_scroll_lines(s, v, 1); break;
    case LOG_CMD_LINE_UP: log_scroll_lines(s, v, -1); break;
    case LOG_CMD_PAGE_DOWN: log_scroll_lines(s, v, page); break;
    case LOG_CMD_PAGE_UP: log_scroll_lines(s, v, -page); break;
    case LOG_CMD_RIGHT_END: scroll_x_to(rich_width(g_log.dd)); return true;
    case LOG_CMD_LEFT_EDGE: scroll_x_to(0); return true;
    case LOG_CMD_LEFT: scroll_x_to(g_log.scroll_x - g_log.width / 10); return true;
    case LOG_CMD_RIGHT: scroll_x_to(g_log.scroll_x + g_log.width / 10); return true;
    case LOG_CMD_SEARCH: ask_and_search(); break;
    case LOG_CMD_SEARCH_DOWN:
    case LOG_CMD_SEARCH_UP:
      log_search(s, v, g_settings.LogSearch, id == LOG_CMD_SEARCH_DOWN);
      break;
    default: return false;
  }
  if (have_file()) rewrite();
  return true;
}

void vertical_scroll(int action) {
  LogView *v = &g_log.view;
  const LogSource *s = &g_log.source;
  const int page = v->lines > 1 ? v->lines - 1 : 1;
  switch (action) {
    case SB_LINEUP: log_scroll_lines(s, v, -1); break;
    case SB_LINEDOWN: log_scroll_lines(s, v, 1); break;
    case SB_PAGEUP: log_scroll_lines(s, v, -page); break;
    case SB_PAGEDOWN: log_scroll_lines(s, v, page); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si = {};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(g_log.hwnd, SB_VERT, &si);
      v->follow = false;
      v->top = log_line_start(s, v->size * (uint64_t)si.nTrackPos / SCROLL_RANGE);
      log_clamp(s, v);
      break;
    }
    default: return;
  }
  rewrite();
}

// The file byte under a window point: the line's start plus the characters before it on
// the line (the indent counts as one).
bool byte_at(LPARAM lparam, uint64_t *byte) {
  const int x = (short)LOWORD(lparam) + g_log.scroll_x, y = (short)HIWORD(lparam);
  const int line = rich_line_at(g_log.dd, x, y, true);
  if (line < 0 || !rich_has_param(g_log.dd, line) || line >= g_log.shown) return false;
  const int at = rich_offset_at(g_log.dd, x, y, true);
  const int chars = rich_chars_before(g_log.dd, at) -
                    rich_chars_before(g_log.dd, rich_line_start(g_log.dd, line)) - 1;
  const int inside = chars < 0 ? 0 : chars > g_log.lines[line].length ? g_log.lines[line].length
                                                                        : chars;
  *byte = g_log.lines[line].start + inside;
  return true;
}

// The selection runs from the byte pressed (the anchor) to the byte under the pointer.
void mouse_select(LPARAM lparam, bool start) {
  uint64_t byte;
  if (!byte_at(lparam, &byte)) return;
  if (start) g_log.anchor = byte;
  g_log.view.select_start = byte < g_log.anchor ? byte : g_log.anchor;
  g_log.view.select_end = byte < g_log.anchor ? g_log.anchor : byte;
  rewrite();
}

void create(HWND hwnd) {
  g_log.hwnd = hwnd;
  g_log.file = INVALID_HANDLE_VALUE;
  rich_gdi_measurer_init(&g_log.measurer, g_resources.big_font, g_resources.small_font, PAPER,
                         GetModuleHandleA(nullptr));
  rich_gdi_window_init(&g_log.window, hwnd, GetModuleHandleA(nullptr));
  g_log.dd = rich_create(&g_log.measurer.measurer);
  int width = 0;
  g_log.measurer.measurer.text_size(g_log.measurer.measurer.context, 0, "Xg", 2, &width,
                                    &g_log.line_height);
  if (g_log.line_height < 1) g_log.line_height = 16;
  HBITMAP pattern = picture_load(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PATTERN_PICTURE));
  g_log.pattern = pattern ? CreatePatternBrush(pattern) : CreateSolidBrush(PAPER);
  if (pattern) DeleteObject(pattern);
  log_parse_filter(&g_log.filter, g_settings.LogFilter);
  open_file();
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  close_file();
  g_log.dd = rich_destroy(g_log.dd);
  rich_gdi_measurer_free(&g_log.measurer);
  DeleteObject(g_log.pattern);
  g_log = LogPanel();
  g_log.file = INVALID_HANDLE_VALUE;
}

void activate(HWND hwnd) {
  SetFocus(hwnd);
  layout_focus(hwnd);
}

LRESULT CALLBACK log_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_log.width = LOWORD(lparam);
      g_log.height = HIWORD(lparam);
      rewrite();
      return 0;
    case WM_TIMER:
      if (wparam == GROWTH_TIMER && debuggee_state() != DS_NOTLOADED &&
          log_refresh(&g_log.source, &g_log.view))
        rewrite();
      return 0;
    case WM_ERASEBKGND: return 1;  // the paint fills everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HDC back = back_buffer_begin(dc);
      log_panel_draw(back ? back : dc);
      if (back) back_buffer_end();
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETFOCUS: keyb_register_table(hwnd, log_keys); return 0;
    case WM_KILLFOCUS: keyb_unregister_table(hwnd, log_keys); return 0;
    case WM_COMMAND: return command(LOWORD(wparam));
    case WM_VSCROLL: vertical_scroll(LOWORD(wparam)); return 0;
    case WM_LBUTTONDOWN:
      activate(hwnd);
      mouse_select(lparam, true);
      g_log.selecting = true;
      SetCapture(hwnd);
      return 0;
    case WM_MOUSEMOVE:
      if (g_log.selecting) mouse_select(lparam, false);
      else rich_hover(g_log.dd, &g_log.window.window, (short)LOWORD(lparam), (short)HIWORD(lparam));
      return 0;
    case WM_LBUTTONUP:
      if (g_log.selecting) ReleaseCapture();
      g_log.selecting = false;
      return 0;
    case WM_RBUTTONDOWN:
      activate(hwnd);
      keyb_context_menu(hwnd, log_keys, nullptr);
      return 0;
    case WM_MOUSEWHEEL:
      log_scroll_lines(&g_log.source, &g_log.view,
                       -GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA_STEP * g_log.shown / 8);
      rewrite();
      return 0;
    case WM_STATUS_HINT:
      if (!have_file()) return 0;
      status_set_hint(g_log.name);
      return 1;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

void log_panel_draw(HDC dc) {
  RECT all = {0, 0, g_log.width, g_log.height};
  if (!have_file()) {
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    char text[KQ_PATH + 16];
    snprintf(text, sizeof text, "<%s> not found", g_log.name);
    HGDIOBJ old = SelectObject(dc, g_resources.gui_font[0]);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 4, 4, text, lstrlenA(text));
    SelectObject(dc, old);
    return;
  }
  FillRect(dc, &all, g_log.pattern);
  if (!g_log.dd) return;
  rich_set_scroll(g_log.dd, g_log.scroll_x, 0);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  rich_draw(g_log.dd, &drawer.drawer);
}

void log_panel_register() {
  WNDCLASSEXA wincl = {};
  wincl.cbSize = sizeof wincl;
  wincl.lpfnWndProc = log_panel_proc;
  wincl.hInstance = GetModuleHandleA(nullptr);
  wincl.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_IBEAM);
  wincl.lpszClassName = "log";
  RegisterClassExA(&wincl);
}
