#include "ui/panels/console/console_window_win32.h"

#include "settings/settings.h"
#include "ui/panels/console/console_window_text.h"
#include "ui/panels/panel_windows.h"
#include "util/log.h"

ConsoleWindow g_console;

namespace {

enum { TEXT_LIMIT = 1000000 };
const COLORREF kText = 0x50FF50, kBackground = 0x005000;

void append(void *, const char *piece) {
  SendMessageA(g_console.field, EM_SETSEL, TEXT_LIMIT, TEXT_LIMIT);
  SendMessageA(g_console.field, EM_REPLACESEL, FALSE, (LPARAM)piece);
}

void trim() {
  const int lines = (int)SendMessageA(g_console.field, EM_GETLINECOUNT, 0, 0);
  const int cut = console_trim_count(lines, CONSOLE_MAX_LINES);
  if (!cut) return;
  const LRESULT end = SendMessageA(g_console.field, EM_LINEINDEX, cut, 0);
  SendMessageA(g_console.field, EM_SETSEL, 0, end);
  SendMessageA(g_console.field, EM_REPLACESEL, FALSE, (LPARAM) "");
}

void show(const char *text) {
  if (!g_console.field) return;
  console_pieces(text, append, nullptr);
  trim();
  SendMessageA(g_console.field, EM_LINESCROLL, 0, TEXT_LIMIT);
  UpdateWindow(g_console.field);
}

void create(HWND hwnd) {
  g_console.hwnd = hwnd;
  g_console.field = CreateWindowExA(
      0, "EDIT", "",
      WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
          ES_WANTRETURN,
      0, 0, 0, 0, hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(g_console.field, EM_SETLIMITTEXT, TEXT_LIMIT, 0);
  g_console.background = CreateSolidBrush(kBackground);
  const SettingRect &p = g_settings.ConsolePosition;
  MoveWindow(hwnd, p.left, p.top, p.right - p.left, p.bottom - p.top, FALSE);
  log_set_console_viewer(show);
}

void destroy(HWND hwnd) {
  log_set_console_viewer(nullptr);
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  if (GetWindowPlacement(hwnd, &wp)) {
    const RECT &r = wp.rcNormalPosition;
    g_settings.ConsolePosition = {r.left, r.top, r.right, r.bottom};
  }
  DeleteObject(g_console.background);
  g_console = ConsoleWindow();
}

}  // namespace

LRESULT CALLBACK console_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(hwnd); return 0;
    case WM_SIZE:
      MoveWindow(g_console.field, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      ShowWindow(g_console.field, SW_SHOW);
      return 0;
    case WM_SETFOCUS: SetFocus(g_console.field); return 0;
    case WM_CLOSE: ShowWindow(hwnd, SW_HIDE); return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      SetTextColor((HDC)wparam, kText);
      SetBkColor((HDC)wparam, kBackground);
      return (LRESULT)g_console.background;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}
