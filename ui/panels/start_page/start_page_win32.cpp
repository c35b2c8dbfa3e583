#include "ui/panels/start_page/start_page_win32.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "settings/settings_registry_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/start_page/newest_program_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"
#include "util/picture_win32.h"
#include "util/zone.h"

StartPageState g_start;

namespace {

enum {
  REFRESH_TIMER = 1, REFRESH_MS = 500, LICENCE_RESOURCE = 1440, PATTERN_PICTURE = 120,
  LIST_ID = 2, LICENCE_ID = 3, MIN_SIZE = 500, SIDE = 40, TOP = 150, BOTTOM = 126,
  CONTROL_MARGIN = 10, BUTTON_W = 74, BUTTON_H = 22, BUTTON_SLOT = 90, BUTTON_SHIFT = 8,
  PATTERN_INSET = 24, SIZE_COLUMN = 100, TIME_COLUMN = 150
};
const COLORREF kFrame = 0xC89632, kLicenceText = 0x64FFFF;
const char kValue[] = "RecentFiles";

struct StartButton {
  const char *title;
  int command;
};
const StartButton kButtons[] = {
    {"Open..", START_CMD_OPEN}, {"Reopen", START_CMD_REOPEN}, {"Switch", START_CMD_SWITCH}};
const int kButtonCount = sizeof kButtons / sizeof kButtons[0];

struct Column {
  const char *title;
  int width;
};
const Column kColumns[] = {{"Path", 200}, {"Size", SIZE_COLUMN}, {"Time", TIME_COLUMN}};

// The texts round the controls: above the list, the top band, above the licence, below.
const char *const kBlocks[START_BLOCKS] = {
    "<font system><color #FFFFFF>Recent files:</color></font>",
    "<image Logo.gif>\n<image KaquinDebugger.gif>",
    "<font system><color #FFFFFF>Licence:</color></font>",
    "<image Copyright.gif>\n<image App.gif>\n",
};

bool look(void *, const char *path, uint64_t *time, uint32_t *size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *time = (uint64_t)data.ftLastWriteTime.dwHighDateTime << 32 | data.ftLastWriteTime.dwLowDateTime;
  *size = data.nFileSizeLow;
  return true;
}
const RecentLookup kLookup = {nullptr, look};

void date_text(uint64_t time, char *out, size_t outlen) {
  FILETIME utc = {(DWORD)time, (DWORD)(time >> 32)}, local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) {
    text_copy(out, outlen, "");
    return;
  }
  snprintf(out, outlen, "%02u.%02u.%04u", st.wMonth, st.wDay, st.wYear);
}

void add_item(int row, int column, const char *text) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = (char *)text;
  if (column) SendMessageA(g_start.list, LVM_SETITEMTEXTA, row, (LPARAM)&item);
  else SendMessageA(g_start.list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

void select_row(int row) {
  LVITEMA item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(g_start.list, LVM_SETITEMSTATE, row, (LPARAM)&item);
  SendMessageA(g_start.list, LVM_ENSUREVISIBLE, row, FALSE);
}

// The window's text is the list, a row a line with its columns after tabs, for whoever
// reads the page from outside.
void fill_list() {
  if (!g_start.list) return;
  SendMessageA(g_start.list, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 0; i < g_start.recent.count; i++) {
    const RecentFile &f = g_start.recent.items[i];
    char size[RECENT_COLUMN], date[RECENT_COLUMN];
    recent_columns(&f, date_text, size, date);
    add_item(i, 0, f.path);
    add_item(i, 1, size);
    add_item(i, 2, date);
  }
  char *rows = recent_list_text(&g_start.recent, date_text);
  SetWindowTextA(g_start.hwnd, rows ? rows : "");
  zone_free(rows);
  const int loaded = recent_find(&g_start.recent, debuggee_path());
  if (g_start.recent.count) select_row(loaded >= 0 ? loaded : 0);
}

int selected_row() {
  return (int)SendMessageA(g_start.list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

void load_list() {
  HKEY key;
  DWORD size = 0;
  bool stored = false;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settings_key(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    if (RegQueryValueExA(key, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
      char *data = (char *)zone_alloc(size + 1);
      if (data && RegQueryValueExA(key, kValue, nullptr, nullptr, (BYTE *)data, &size) ==
                      ERROR_SUCCESS) {
        recent_decode(&g_start.recent, data, size);
        stored = true;
      }
      zone_free(data);
    }
    RegCloseKey(key);
  }
  char newest[KQ_PATH], full[KQ_PATH];
  if (!stored && newest_program_here(newest, sizeof newest) &&
      GetFullPathNameA(newest, sizeof full, full, nullptr))
    recent_add(&g_start.recent, full);
}

void save_list() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settings_key(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  size_t size = 0;
  char *data = recent_encode(&g_start.recent, &size);
  RegSetValueExA(key, kValue, 0, REG_BINARY, (const BYTE *)data, (DWORD)size);
  zone_free(data);
  RegCloseKey(key);
}

// The licence as the edit field wants it: line feeds as CR LF.
void fill_licence() {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(LICENCE_RESOURCE), (LPCSTR)RT_RCDATA);
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const char *text = loaded ? (const char *)LockResource(loaded) : nullptr;
  if (!text) return;
  const DWORD size = SizeofResource(nullptr, found);
  char *out = (char *)zone_alloc(size * 2 + 1), *p = out;
  for (DWORD i = 0; i < size; i++) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) *p++ = '\r';
    *p++ = text[i];
  }
  *p = 0;
  SetWindowTextA(g_start.licence, out);
  zone_free(out);
}

void reopen() {
  const int row = selected_row();
  if (row < 0 || row >= g_start.recent.count) return;
  char path[KQ_PATH];
  text_copy(path, sizeof path, g_start.recent.items[row].path);
  HCURSOR old = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  debuggee_unload();
  debuggee_launch(path);
  SetCursor(old);
}

bool command(int id) {
  switch (id) {
    case START_CMD_REMOVE:
      if (recent_remove(&g_start.recent, selected_row())) fill_list();
      return true;
    case START_CMD_OPEN:  // the main window's open command
      SendMessageA(GetAncestor(g_start.hwnd, GA_ROOTOWNER), WM_COMMAND, 10075, 0);
      return true;
    case START_CMD_REOPEN: reopen(); return true;
    case START_CMD_SWITCH:  // the button took the focus when it was clicked
      SetFocus(g_start.on_licence ? g_start.list : g_start.licence);
      return true;
  }
  return false;
}

void create(HWND hwnd) {
  g_start.hwnd = hwnd;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  g_start.background = CreateSolidBrush(kFrame);
  HBITMAP pattern = picture_load(instance, MAKEINTRESOURCEA(PATTERN_PICTURE));
  g_start.pattern = pattern ? CreatePatternBrush(pattern) : CreateSolidBrush(kFrame);
  if (pattern) DeleteObject(pattern);
  for (const StartButton &b : kButtons)
    CreateWindowExA(0, "BUTTON", b.title, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, BUTTON_W,
                    BUTTON_H, hwnd, (HMENU)(intptr_t)b.command, instance, nullptr);
  g_start.licence = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 0,
      0, hwnd, (HMENU)LICENCE_ID, instance, nullptr);
  fill_licence();
  g_start.list = CreateWindowExA(
      WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0,
      0, 0, 0, hwnd, (HMENU)LIST_ID, instance, nullptr);
  SendMessageA(g_start.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  SendMessageA(g_start.list, LVM_SETTEXTBKCOLOR, 0, 0xFFFFFF);
  SendMessageA(g_start.list, WM_SETFONT, (WPARAM)g_resources.fixed_font[0], FALSE);
  for (int i = 0; i < 3; i++) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = (char *)kColumns[i].title;
    column.cx = kColumns[i].width;
    SendMessageA(g_start.list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
  }
  rich_gdi_measurer_init(&g_start.measurer, g_resources.big_font, g_resources.small_font, kFrame,
                         instance);
  for (int i = 0; i < START_BLOCKS; i++) {
    g_start.blocks[i] = rich_create(&g_start.measurer.measurer);
    rich_put_markup(g_start.blocks[i], kBlocks[i]);
  }
  load_list();
  recent_refresh(&g_start.recent, &kLookup);
  fill_list();
  SetTimer(hwnd, REFRESH_TIMER, REFRESH_MS, nullptr);
}

void destroy() {
  KillTimer(g_start.hwnd, REFRESH_TIMER);
  save_list();
  recent_free(&g_start.recent);
  for (RichText *&dd : g_start.blocks) dd = rich_destroy(dd);
  rich_gdi_measurer_free(&g_start.measurer);
  DeleteObject(g_start.background);
  DeleteObject(g_start.pattern);
  g_start = StartPageState();
}

void place(int client_width, int client_height) {
  const int width = client_width < MIN_SIZE ? MIN_SIZE : client_width;
  const int height = client_height < MIN_SIZE ? MIN_SIZE : client_height;
  RECT &in = g_start.inner;
  in = {SIDE, TOP, width - SIDE, height - BOTTOM};
  const int middle = (in.top + in.bottom) / 2, m = CONTROL_MARGIN;
  MoveWindow(g_start.licence, in.left + m, in.top + m, in.right - in.left - 2 * m,
             middle - in.top - 2 * m, TRUE);
  MoveWindow(g_start.list, in.left + m, middle + m, in.right - in.left - 2 * m,
             in.bottom - middle - 2 * m, TRUE);
  RECT inside;  // the list's client area, within its border
  GetClientRect(g_start.list, &inside);
  SendMessageA(g_start.list, LVM_SETCOLUMNWIDTH, 0, inside.right - SIZE_COLUMN - TIME_COLUMN);
  const int first = (width - kButtonCount * BUTTON_SLOT) / 2;
  for (int i = 0; i < kButtonCount; i++)
    MoveWindow(GetDlgItem(g_start.hwnd, kButtons[i].command),
               first + i * BUTTON_SLOT + BUTTON_SHIFT, in.bottom + BUTTON_SHIFT, BUTTON_W,
               BUTTON_H, TRUE);
  // The texts: above the list, the top band, above the licence, below the buttons.
  rich_arrange(g_start.blocks[0], in.left + m, middle - 10, in.right, middle + m, 0, 2);
  rich_arrange(g_start.blocks[1], 0, PATTERN_INSET, width, in.top - 10, 1, 1);
  rich_arrange(g_start.blocks[2], in.left + m, in.top - 20, in.right, in.top + m, 0, 2);
  rich_arrange(g_start.blocks[3], 0, in.bottom + BUTTON_H + 2 * BUTTON_SHIFT, width,
               height - PATTERN_INSET, 1, 1);
  InvalidateRect(g_start.hwnd, nullptr, TRUE);
}

}  // namespace

void start_page_draw(HDC dc) {
  RECT client;
  GetClientRect(g_start.hwnd, &client);
  FillRect(dc, &client, g_start.background);
  RECT pattern = client;
  InflateRect(&pattern, -PATTERN_INSET, -PATTERN_INSET);
  FillRect(dc, &pattern, g_start.pattern);
  RECT edge = g_start.inner;
  DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
  InflateRect(&edge, 2, 2);
  DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  for (RichText *dd : g_start.blocks)
    if (dd) rich_draw(dd, &drawer.drawer);
}

namespace {

LRESULT notify(const NMHDR *header) {
  if (header->hwndFrom != g_start.list) return 0;
  switch (header->code) {
    case NM_SETFOCUS:
      g_start.on_licence = false;
      keyb_register_table(g_start.hwnd, cover_keys);
      break;
    case NM_KILLFOCUS: keyb_unregister_table(g_start.hwnd, cover_keys); break;
    case NM_RCLICK:
      keyb_context_menu(g_start.hwnd, cover_keys, g_resources.pictures[PICTURE_MENU_MARKER]);
      break;
    case NM_DBLCLK: reopen(); break;
  }
  return 0;
}

}  // namespace

LRESULT CALLBACK start_page_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE: place(LOWORD(lparam), HIWORD(lparam)); return 0;
    case WM_TIMER:
      if (IsWindowVisible(hwnd) && recent_refresh(&g_start.recent, &kLookup)) fill_list();
      return 0;
    case WM_SETFOCUS: SetFocus(g_start.list); return 0;
    case WM_LBUTTONDOWN: SetFocus(g_start.list); layout_focus(hwnd); return 0;
    case WM_COMMAND:
      if ((HWND)lparam == g_start.licence) {
        if (HIWORD(wparam) == EN_SETFOCUS) g_start.on_licence = true;
        return 0;
      }
      return command(LOWORD(wparam));
    case WM_NOTIFY: return notify((const NMHDR *)lparam);
    case WM_CTLCOLORSTATIC:
      if ((HWND)lparam != g_start.licence) break;
      SetTextColor((HDC)wparam, kLicenceText);
      SetBkColor((HDC)wparam, kFrame);
      return (LRESULT)g_start.background;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}


void start_page_add(const char *path) {
  if (!path || !path[0]) return;
  recent_add(&g_start.recent, path);
  recent_refresh(&g_start.recent, &kLookup);
  fill_list();
}

bool start_page_recent(char *out, size_t outlen) {
  text_copy(out, outlen, g_start.recent.count ? g_start.recent.items[0].path : "");
  return g_start.recent.count > 0;
}
