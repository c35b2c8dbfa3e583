// Sections of the screen. Until layout scripts are read, the sections are fixed here:
// the cover page, a debugging grid of the panels, the animation panel, and one panel
// maximised.
#include "ui/layout.h"

#include <string.h>

#include "startup/changes.h"
#include "startup/window_class_win32.h"
#include "ui/panels/panel_windows.h"

// A panel's place in the holder, in 1/12 of its width and height.
struct Placement {
  PanelId panel;
  int left, top, right, bottom;
};

struct Section {
  const char *name;
  const Placement *places;
  int count;
};

static const Placement kCover[] = {{PANEL_COVER, 0, 0, 12, 12}};
static const Placement kDebug[] = {
    {PANEL_CODE, 0, 0, 8, 6},    {PANEL_REG, 8, 0, 12, 6},    {PANEL_SOURCE, 0, 6, 6, 9},
    {PANEL_DATA, 6, 6, 12, 9},   {PANEL_WATCH, 8, 9, 12, 11}, {PANEL_LOG, 0, 9, 8, 11},
    {PANEL_MAP, 0, 11, 4, 12},   {PANEL_CMDLINE, 4, 11, 12, 12},
};
static const Placement kAnimation[] = {{PANEL_ANIMATOR, 0, 0, 12, 12}};
static const Section kSections[] = {
    {"Cover", kCover, 1},
    {"Debug", kDebug, sizeof kDebug / sizeof kDebug[0]},
    {"Animation", kAnimation, 1},
    {"Maximize", nullptr, 0},  // the current panel alone
};

// The pop-up panels that sections place (the others are placed by the main window or
// show themselves).
static const PanelId kPlacedPanels[] = {PANEL_COVER, PANEL_ANIMATOR, PANEL_CMDLINE, PANEL_REG,
                                        PANEL_MAP,   PANEL_LOG,      PANEL_SOURCE,  PANEL_CODE,
                                        PANEL_DATA,  PANEL_WATCH};

struct LayoutState {
  HWND holder;
  const Section *active;
  PanelId current;  // the panel that takes the focus
};
static LayoutState g_layout;

static LRESULT CALLBACK holder_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_WINDOWPOSCHANGED) layout_place();
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool layout_init() {
  g_layout = LayoutState();
  g_layout.current = PANEL_CODE;
  return true;
}

void layout_shutdown() { g_layout = LayoutState(); }

bool layouts_load(HWND main) {
  g_layout.holder = create_window("holder", holder_proc, main, 0, WS_CHILD | WS_VISIBLE);
  return g_layout.holder != nullptr;
}

void layouts_destroy() {
  g_layout.active = nullptr;
  if (g_layout.holder) DestroyWindow(g_layout.holder);
  g_layout.holder = nullptr;
}

static bool in_section(const Section *s, PanelId id) {
  if (!s) return false;
  if (!s->places) return id == g_layout.current;
  for (int i = 0; i < s->count; i++)
    if (s->places[i].panel == id) return true;
  return false;
}

void layout_place() {
  if (!g_layout.holder || !g_layout.active) return;
  RECT r;
  GetClientRect(g_layout.holder, &r);
  MapWindowPoints(g_layout.holder, nullptr, (POINT *)&r, 2);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const Section *s = g_layout.active;
  for (PanelId id : kPlacedPanels) {
    HWND panel = g_panels[id];
    if (!panel) continue;
    if (!in_section(s, id)) {
      ShowWindow(panel, SW_HIDE);
      continue;
    }
    Placement p = {id, 0, 0, 12, 12};
    for (int i = 0; s->places && i < s->count; i++)
      if (s->places[i].panel == id) p = s->places[i];
    SetWindowPos(panel, nullptr, r.left + w * p.left / 12, r.top + h * p.top / 12,
                 w * (p.right - p.left) / 12, h * (p.bottom - p.top) / 12,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
}

bool layout_activate(const char *section) {
  for (const Section &s : kSections) {
    if (strcmp(s.name, section) != 0) continue;
    if (g_layout.active != &s) {
      g_layout.active = &s;
      changes_raise(CHG_LAYOUT);
    }
    layout_place();
    return true;
  }
  return false;
}

const char *layout_active_name() { return g_layout.active ? g_layout.active->name : ""; }

void layout_switch(const char *a, const char *b) {
  const char *active = layout_active_name();
  if (!strcmp(active, a)) layout_activate(b);
  else if (!strcmp(active, b)) layout_activate(a);
}

HWND layout_holder() { return g_layout.holder; }

HWND layout_current_panel() {
  if (!g_layout.active) return nullptr;
  if (!strcmp(g_layout.active->name, "Cover")) return g_panels[PANEL_COVER];
  return g_panels[g_layout.current];
}
