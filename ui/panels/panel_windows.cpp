#include "ui/panels/panel_windows.h"

#include <string.h>

#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/layout.h"
#include "ui/screen_helpers_win32.h"
#include "ui/window_class_win32.h"

HWND g_panels[PANEL_COUNT];

namespace {

// The window's panel, kept in the window from its first message on.
enum { KIND_SLOT = 0 };

const PanelKind *kind_of(HWND hwnd) {
  return (const PanelKind *)GetWindowLongPtrA(hwnd, KIND_SLOT);
}

// Whatever made the window (the main window, or a panel's own test), its class tells the
// panel.
void remember_kind(HWND hwnd) {
  char name[32];
  if (!GetClassNameA(hwnd, name, sizeof name)) return;
  for (const PanelKind &kind : g_panel_kinds)
    if (!strcmp(kind.class_name, name)) SetWindowLongPtrA(hwnd, KIND_SLOT, (LONG_PTR)&kind);
}

// The panel whose rank in field is rank; PANEL_COUNT for none.
PanelId ranked(int PanelKind::*field, int rank) {
  for (int i = 0; i < PANEL_COUNT; i++)
    if (g_panel_kinds[i].*field == rank) return (PanelId)i;
  return PANEL_COUNT;
}

}  // namespace

void panels_register() {
  for (const PanelKind &kind : g_panel_kinds)
    window_class_register(kind.class_name, kind.proc, kind.cursor, kind.class_style,
                          sizeof(LONG_PTR));
}

void panels_create(HWND main) {
  for (int i = 0; i < PANEL_COUNT; i++)
    g_panels[i] = create_window(g_panel_kinds[i].class_name, g_panel_kinds[i].proc, main, 0,
                                g_panel_kinds[i].style);
}

void panels_destroy() {
  for (int rank = 1; rank <= PANEL_COUNT; rank++) {
    const PanelId id = ranked(&PanelKind::destroy_rank, rank);
    if (id == PANEL_COUNT) continue;
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
  for (int rank = 1; rank <= PANEL_COUNT; rank++) {
    const PanelId id = ranked(&PanelKind::offer_rank, rank);
    if (id != PANEL_COUNT && g_panels[id] && SendMessageA(g_panels[id], WM_COMMAND, command, 0))
      return true;
  }
  return false;
}

void panel_activate(HWND hwnd) {
  SetFocus(hwnd);
  layout_focus(hwnd);
}

LRESULT CALLBACK panel_default_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) remember_kind(hwnd);
  const PanelKind *kind = kind_of(hwnd);
  if (!kind) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_ERASEBKGND:
      if (kind->draw) return 1;  // the paint fills everything
      break;
    case WM_PAINT:
      if (!kind->draw) break;
      paint_buffered(hwnd, kind->draw);
      return 0;
    // The layout moves the focus itself while it switches holders: a panel is made the
    // current one by clicks and commands, not by its focus.
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const bool on = message == WM_SETFOCUS;
      if (kind->keys && on) keyb_register_table(hwnd, kind->keys);
      if (kind->keys && !on) keyb_unregister_table(hwnd, kind->keys);
      if (kind->focus) kind->focus(on);
      return 0;
    }
    case WM_COMMAND:
      return kind->command && kind->command(LOWORD(wparam));
    case WM_MOUSEWHEEL:
      if (!kind->scroll) break;
      kind->scroll(GET_WHEEL_DELTA_WPARAM(wparam));
      return 0;
    case WM_LBUTTONDOWN:  // a panel with keys takes the focus on a click
      if (!kind->keys) break;
      panel_activate(hwnd);
      return 0;
    case WM_RBUTTONDOWN:
      if (!kind->menu) break;
      panel_activate(hwnd);
      keyb_context_menu(hwnd, kind->keys, g_resources.pictures[PICTURE_MENU_MARKER]);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}
