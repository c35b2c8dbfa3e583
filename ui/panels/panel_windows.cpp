// Panel windows. Until each panel has its own window procedure they share one that paints
// the panel's name, so that the layout can be seen.
#include "ui/panels/panel_windows.h"

#include "ui/global_resources_win32.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/window_class_win32.h"

const PanelClass g_panel_classes[PANEL_COUNT] = {
    {"cover", WS_POPUP | WS_CLIPCHILDREN},
    {"balloon", WS_POPUP | WS_BORDER},
    {"console", WS_OVERLAPPEDWINDOW},
    {"menu", WS_CHILD},
    {"status", WS_CHILD},
    {"animator", WS_POPUP | WS_BORDER},
    {"cmdline", WS_POPUP},
    {"reg", WS_POPUP},
    {"map", WS_POPUP | WS_CLIPCHILDREN},
    {"log", WS_POPUP},
    {"source", WS_POPUP},
    {"code", WS_POPUP},
    {"data", WS_POPUP},
    {"watch", WS_POPUP | WS_CLIPCHILDREN},
};
HWND g_panels[PANEL_COUNT];

static const PanelId kDestroyOrder[] = {PANEL_WATCH, PANEL_MAP, PANEL_REG, PANEL_CODE,
                                        PANEL_SOURCE, PANEL_DATA, PANEL_LOG, PANEL_MENU,
                                        PANEL_STATUS, PANEL_CMDLINE, PANEL_ANIMATOR,
                                        PANEL_BALLOON, PANEL_COVER};
static const PanelId kCommandOrder[] = {PANEL_CODE, PANEL_DATA, PANEL_LOG,
                                        PANEL_REG, PANEL_SOURCE, PANEL_WATCH};

static LRESULT CALLBACK plain_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
      FrameRect(dc, &r, (HBRUSH)GetStockObject(GRAY_BRUSH));
      PanelId id = panel_of_window(hwnd);
      if (id != PANEL_COUNT) {
        HGDIOBJ old = SelectObject(dc, g_resources.gui_font[0]);
        SetBkMode(dc, TRANSPARENT);
        TextOutA(dc, 4, 2, g_panel_classes[id].class_name,
                 lstrlenA(g_panel_classes[id].class_name));
        SelectObject(dc, old);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:  // a click gives the panel the focus and makes it the current one
      SetFocus(hwnd);
      layout_focus(hwnd);
      return 0;
    // A panel's keys are in force while it has the focus.
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      PanelId id = panel_of_window(hwnd);
      const KeyCommand *keys =
          id == PANEL_COUNT ? nullptr
                            : key_table_of_class(panel_key_tables, g_panel_classes[id].class_name);
      if (keys && message == WM_SETFOCUS) keyb_register_table(hwnd, keys);
      if (keys && message == WM_KILLFOCUS) keyb_unregister_table(hwnd, keys);
      return 0;
    }
    case WM_COMMAND:
      return 0;  // not a command of this panel
    case WM_CLOSE:
      ShowWindow(hwnd, SW_HIDE);  // the console's close box hides it
      return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

void panels_create(HWND main) {
  for (int i = 0; i < PANEL_COUNT; i++)
    g_panels[i] = create_window(g_panel_classes[i].class_name, plain_panel_proc, main, 0,
                                g_panel_classes[i].style);
}

void panels_destroy() {
  for (PanelId id : kDestroyOrder) {
    if (g_panels[id]) DestroyWindow(g_panels[id]);
    g_panels[id] = nullptr;
  }
}

PanelId panel_of_window(HWND hwnd) {
  for (int i = 0; i < PANEL_COUNT; i++)
    if (hwnd && g_panels[i] == hwnd) return (PanelId)i;
  return PANEL_COUNT;
}

bool panels_offer_command(int command) {
  for (PanelId id : kCommandOrder)
    if (g_panels[id] && SendMessageA(g_panels[id], WM_COMMAND, command, 0)) return true;
  return false;
}
