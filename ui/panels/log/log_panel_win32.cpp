#include "ui/panels/log/log_panel_win32.h"

#include <commctrl.h>
#include <stdio.h>
#include <strings.h>
#include <string.h>

#include "engine/debuggee.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/entries.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/screen_helpers_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/picture_win32.h"
#include "util/zone.h"

LogPanel g_log;

namespace {

enum {
  GROWTH_TIMER = 1, GROWTH_MS = 50, PATTERN_PICTURE = 130, SCROLL_RANGE = 65535,
  LINE_MARK = 3, LONGER_MARK = 4, LAST_MARK = 1, WHEEL_DELTA_STEP = 120, PAPER = 0xFFFFFF
};

enum {
  FILTER_DIALOG = 1200, FILTER_TEXT = 590, FILTER_LIST = 600, FILTER_PICTURE = 240,
  FILTER_MASK = 0x707070, LINE_COLUMN = 60, TEXT_COLUMN = 400
};

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
  if (have_file()) SetWindowTextA(g_log.hwnd, g_log.shown ? g_log.lines[g_log.shown - 1].text : "");
  else SetWindowTextA(g_log.hwnd, g_log.missing);
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
    snprintf(g_log.missing, sizeof g_log.missing, "<%s> not found", g_log.name);
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
    log_panel_follow_debuggee();
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
  const int accepted = input_prompt(MAKEINTRESOURCEA(IDS_PROMPT_SEARCH_STRING),
                                    g_settings.LogSearch, g_settings.LogSearchHistory);
  keyb_set_active(true);
  if (accepted) log_search(&g_log.source, &g_log.view, g_settings.LogSearch, true);
}

void ask_and_go() {
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(IDS_PROMPT_GO_TO_LINE), g_settings.LogGoto,
                                    g_settings.LogGotoHistory);
  keyb_set_active(true);
  if (accepted) log_go_to(&g_log.source, &g_log.view, g_settings.LogGoto);
}

// The filter dialog: the LogFilter words and the lines of the file they pick out; OK
// takes changed words, or else goes to the chosen line, and the dialog stays.
void add_filter_row(void *context, const LogFilterRow *r) {
  HWND list = (HWND)context;
  char number[16];
  snprintf(number, sizeof number, "%i", r->number);
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
  item.pszText = number;
  item.iImage = r->kind;
  item.lParam = (LPARAM)(uint32_t)r->start;
  const int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = 1;
  item.pszText = (char *)r->text;
  SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&item);
}

void fill_filter_list(HWND list) {
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  if (have_file())
    log_filter_rows(&g_log.source, g_log.view.size, &g_log.filter, add_filter_row, list);
  LVITEMA item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, 0, (LPARAM)&item);
  SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
}

void go_to_row(HWND list) {
  const int row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  if (row < 0 || !have_file()) return;
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
  g_log.view.follow = false;
  g_log.view.top = (uint32_t)item.lParam;
  log_clamp(&g_log.source, &g_log.view);
  rewrite();
}

void filter_setup(HWND dialog) {
  HWND list = GetDlgItem(dialog, FILTER_LIST);
  SetDlgItemTextA(dialog, FILTER_TEXT, g_settings.LogFilter);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP);
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, LOG_KINDS, 0);
  HBITMAP strip = picture_load(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(FILTER_PICTURE));
  if (strip) ImageList_AddMasked(images, strip, FILTER_MASK);
  if (strip) DeleteObject(strip);
  SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);  // the list frees it
  const struct {
    const char *title;
    int width;
  } columns[] = {{"Line", LINE_COLUMN}, {"Text", TEXT_COLUMN}};
  for (int i = 0; i < 2; i++) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = (char *)columns[i].title;
    column.cx = columns[i].width;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
  }
  fill_filter_list(list);
}

void filter_ok(HWND dialog) {
  char words[SETTING_TEXT];
  GetDlgItemTextA(dialog, FILTER_TEXT, words, sizeof words);
  if (!strcasecmp(words, g_settings.LogFilter)) {
    go_to_row(GetDlgItem(dialog, FILTER_LIST));
    return;
  }
  text_copy(g_settings.LogFilter, sizeof g_settings.LogFilter, words);
  log_parse_filter(&g_log.filter, g_settings.LogFilter);
  fill_filter_list(GetDlgItem(dialog, FILTER_LIST));
  rewrite();
}

INT_PTR CALLBACK filter_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: filter_setup(dialog); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) filter_ok(dialog);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR *header = (const NMHDR *)lparam;
      if (header->idFrom == FILTER_LIST && header->code == NM_DBLCLK) go_to_row(header->hwndFrom);
      return TRUE;
    }
  }
  return FALSE;
}

void open_filter() {
  keyb_set_active(false);
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(FILTER_DIALOG), g_log.hwnd,
                  filter_proc, 0);
  keyb_set_active(true);
}

}  // namespace

bool log_panel_command(int id) {
  LogView *v = &g_log.view;
  const LogSource *s = &g_log.source;
  const int page = v->lines > 1 ? v->lines - 1 : 1;
  switch (id) {
    case LOG_CMD_COPY: copy_selection(); return true;
    case LOG_CMD_FILTER: open_filter(); return true;
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

namespace {

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

}  // namespace

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
    case WM_VSCROLL: vertical_scroll(LOWORD(wparam)); return 0;
    case WM_LBUTTONDOWN:
      panel_activate(hwnd);
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
    case WM_STATUS_HINT:
      if (!have_file()) return 0;
      status_set_hint(g_log.name);
      return 1;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void log_panel_wheel(int delta) {
  log_scroll_lines(&g_log.source, &g_log.view, -delta / WHEEL_DELTA_STEP * g_log.shown / 8);
  rewrite();
}


void log_panel_follow_debuggee() {
  char name[KQ_PATH];
  settings_pattern_path(g_settings.LogFilename, debuggee_path(), name, sizeof name);
  if (!have_file() || _stricmp(name, g_log.name) != 0) open_file();
}

void log_panel_draw(HDC dc) {
  RECT all = {0, 0, g_log.width, g_log.height};
  if (!have_file()) {
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    HGDIOBJ old = SelectObject(dc, g_resources.gui_font[0]);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 4, 4, g_log.missing, lstrlenA(g_log.missing));
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
