#include "startup/main_window.h"

#include <stdio.h>

#include "engine/debuggee.h"
#include "plugin_host/plugins.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "startup/commands.h"
#include "startup/privilege_win32.h"
#include "startup/resource_ids.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/balloon/balloon_win32.h"
#include "ui/panels/code/code_panel_win32.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/function_keys/function_keys_win32.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/window_class_win32.h"
#include "util/log.h"

MainWindowState g_main;

// The balloon and the function-key bar follow the keyboard processor.
static const KeybViews kKeyViews = {balloon_report, balloon_hide, function_keys_refresh,
                                    function_keys_enable};

enum { FKEY_BAR_HEIGHT = 18, STATUS_HEIGHT = 19, HOLDER_MARGIN = 37 };

static void attach_menu(HWND hwnd, bool show) {
  HMENU old = GetMenu(hwnd);
  SetMenu(hwnd, show ? LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_MAIN)) : nullptr);
  if (old) DestroyMenu(old);
  if (show) keyb_label_menu(hwnd, main_keys);
}

static void settings_listener(int) {
  if (!changes_test(CHG_SETTINGS) || !g_main.hwnd) return;
  if (settings_changed(&g_settings.HotKey)) {
    UnregisterHotKey(g_main.hwnd, MAIN_HOTKEY);
    keyb_register_hotkey(g_main.hwnd, g_settings.HotKey, MAIN_HOTKEY);
  }
  if (settings_changed(&g_settings.ShowStdMenu)) attach_menu(g_main.hwnd, g_settings.ShowStdMenu);
  if (settings_changed(&g_settings.MasterMode)) privilege_switch(g_settings.MasterMode);
}

static void write_banner() {
  log_printf("\n----------------------------------------------------------------\n");
  log_printf("Kaquin Debugger 1.4 (release May 23 2008)\n");
}

// The layout script of the current folder; the program's own copy stands in for it when it
// cannot be read or defines no holder.
static void load_layout(HWND hwnd) {
  HRSRC found = FindResourceA(nullptr, "DEFAULT_LAYOUT", (LPCSTR)RT_RCDATA);
  HGLOBAL data = found ? LoadResource(nullptr, found) : nullptr;
  const char *builtin = data ? (const char *)LockResource(data) : "";
  layouts_load(hwnd, ".layout", builtin, found ? SizeofResource(nullptr, found) : 0,
               status_set_hint_resource, g_main.layout_error, sizeof g_main.layout_error);
  layout_activate("Cover");
}

// The status bar names the position of the code or data panel while that panel has the focus.
static bool focused_position(HWND focus, uint32_t *address) {
  if (!focus || (focus != g_panels[PANEL_CODE] && focus != g_panels[PANEL_DATA])) return false;
  *address = g_positions[focus == g_panels[PANEL_CODE] ? POSITION_CODE : POSITION_DATA].address;
  return *address != 0;
}

static void window_setup(HWND hwnd) {
  g_main.hwnd = hwnd;
  keyb_register_hotkey(hwnd, g_settings.HotKey, MAIN_HOTKEY);
  if (g_settings.ShowStdMenu) attach_menu(hwnd, true);
  privilege_switch(g_settings.MasterMode);
  status_set_position_source(focused_position);
  panels_register();
  panels_create(hwnd);
  keyb_set_views(&kKeyViews);
  load_layout(hwnd);
  keyb_register_table(hwnd, main_keys);
  changes_add_listener(settings_listener, 0);
  SetWindowTextA(hwnd, KQ_TITLE);
  const SettingRect &p = g_settings.Position;
  MoveWindow(hwnd, p.left, p.top, p.right - p.left, p.bottom - p.top, FALSE);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  SetFocus(hwnd);
  SetTimer(hwnd, MAIN_TIMER, TICK_MS, nullptr);
  write_banner();
  status_set_hint("Press ALT, CRL or SHIFT to change the function mode");
  plugins_load(hwnd);
  settings_take_snapshot(false);
}

static void window_shutdown(HWND hwnd) {
  debuggee_unload();
  layouts_destroy();
  WINDOWPLACEMENT wp = {};
  wp.length = sizeof wp;
  if (GetWindowPlacement(hwnd, &wp)) {
    const RECT &r = wp.rcNormalPosition;
    g_settings.Position = {r.left, r.top, r.right, r.bottom};
  }
  plugins_unload();
  changes_remove_listener(settings_listener, 0);
  keyb_unregister_table(hwnd, main_keys);
  UnregisterHotKey(hwnd, MAIN_HOTKEY);
  KillTimer(hwnd, MAIN_TIMER);
  keyb_set_views(nullptr);
  panels_destroy();
  PostQuitMessage(0);
  g_main.hwnd = nullptr;
}

static void place_bars(HWND hwnd) {
  RECT c;
  GetClientRect(hwnd, &c);
  const UINT flags = SWP_NOZORDER | SWP_SHOWWINDOW;
  if (g_panels[PANEL_MENU])
    SetWindowPos(g_panels[PANEL_MENU], nullptr, 0, 0, c.right, FKEY_BAR_HEIGHT, flags);
  if (layout_holder())
    SetWindowPos(layout_holder(), nullptr, 0, FKEY_BAR_HEIGHT, c.right,
                 c.bottom - HOLDER_MARGIN, flags);
  if (g_panels[PANEL_STATUS])
    SetWindowPos(g_panels[PANEL_STATUS], nullptr, 0, c.bottom - STATUS_HEIGHT, c.right,
                 STATUS_HEIGHT, flags);
  InvalidateRect(hwnd, nullptr, TRUE);
}

static bool belongs_to_us(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return hwnd && pid == GetCurrentProcessId();
}

void main_timer_tick() {
  POINT cursor;
  if (GetCursorPos(&cursor)) {
    HWND under = WindowFromPoint(cursor);
    if (under != g_main.hover) {
      if (belongs_to_us(g_main.hover)) PostMessageA(g_main.hover, WM_USER + 2, 0, 0);
      if (belongs_to_us(under)) PostMessageA(under, WM_USER + 1, 0, 0);
      g_main.hover = under;
    }
  }
  debuggee_drain();
  changes_broadcast();
}

void main_to_front() {
  if (!g_main.hwnd) return;
  // Only a minimised window is restored (to maximised when it was); a maximised one stays.
  ShowWindow(g_main.hwnd, IsIconic(g_main.hwnd) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(g_main.hwnd);
}

void main_tell_layout_error() {
  if (!g_main.layout_error[0]) return;
  char text[2 * KQ_PATH];
  snprintf(text, sizeof text,
           "The layout script '.layout' cannot be used:\n%s\n\nThe built-in layout is used "
           "instead.",
           g_main.layout_error);
  keyb_set_active(false);
  MessageBoxA(g_main.hwnd, text, "Layout script", MB_OK | MB_ICONWARNING);
  keyb_set_active(true);
}

static bool in_front() {
  return GetForegroundWindow() == g_main.hwnd && !IsIconic(g_main.hwnd);
}

void main_hotkey() {
  switch (debuggee_state()) {
    case DS_RUNNING:
      main_command(CMD_PAUSE_RESUME);
      main_to_front();
      break;
    case DS_PAUSED:
      if (in_front()) {
        debuggee_resume();
        ShowWindow(g_main.hwnd, SW_MINIMIZE);
      } else {
        main_to_front();
      }
      break;
    default:
      if (in_front()) ShowWindow(g_main.hwnd, SW_MINIMIZE);
      else main_to_front();
  }
}

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: window_setup(hwnd); return 0;
    case WM_DESTROY: window_shutdown(hwnd); return 0;
    case WM_SIZE: place_bars(hwnd); return 0;
    case WM_SETFOCUS:
      if (layout_current_panel()) SetFocus(layout_current_panel());
      return 0;
    case WM_KILLFOCUS: return 0;
    case WM_ENABLE: keyb_set_active(wparam != 0); return 0;
    case WM_ACTIVATEAPP: keyb_set_active(wparam != 0); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH face = CreateSolidBrush(g_resources.button_face);
      FillRect(dc, &r, face);
      DeleteObject(face);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_COMMAND:
      if (!main_command(LOWORD(wparam))) panels_offer_command(LOWORD(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == MAIN_TIMER) main_timer_tick();
      return 0;
    case WM_HOTKEY:
      if (wparam == MAIN_HOTKEY) main_hotkey();
      return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

HWND main_window_create() {
  return create_window("Kaquin Debugger", main_window_proc, nullptr, 0,
                       WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
}
