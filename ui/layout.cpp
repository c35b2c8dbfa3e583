// The window layer of the layout: one "section_holder" window per holder, the panel windows
// found by class name and re-parented into it, moved in deferred batches, the splitter
// bars dragged with the mouse and the sections' frames painted. What is shown where is
// decided by the platform-free core (layout_order, layout_size, layout_drag).
#include "ui/layout.h"

#include <string.h>

#include "settings/changes.h"
#include "ui/global_resources_win32.h"
#include "ui/layout_drag.h"
#include "ui/layout_dump.h"
#include "ui/layout_load.h"
#include "ui/layout_order.h"
#include "ui/layout_size.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/window_class_win32.h"
#include "util/path.h"

namespace {

Layout g_layout;
HWND g_main;
void (*g_hint)(int string_id);  // the status bar's hint pane
bool g_switched;  // the active holder changed; dumped once it is laid out

HWND window_of(const Holder *h) { return (HWND)h->window; }

// The parent of a child window; none for a top-level one (whose GetParent is its owner).
HWND parent_of(HWND w) { return (GetWindowLongA(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr; }

// A child of parent, or a top-level pop-up when parent is none.
void set_parent(HWND w, HWND parent) {
  if (parent_of(w) == parent) return;
  LONG style = GetWindowLongA(w, GWL_STYLE);
  if (parent) style = (style & ~(WS_POPUP | WS_SYSMENU)) | WS_CHILD;
  else style = (style & ~WS_CHILD) | WS_POPUP | WS_SYSMENU;
  SetWindowLongA(w, GWL_STYLE, style);
  SetParent(w, parent);
}

struct PanelSearch {
  const char *name;
  HWND found;  // the last match wins
  HWND first;  // the first match among one top-level window's descendants
};

bool class_is(HWND w, const char *name) {
  char cls[KQ_PATH];
  return GetClassNameA(w, cls, sizeof cls) && !strcmp(cls, name);
}

BOOL CALLBACK find_in_children(HWND w, LPARAM arg) {
  PanelSearch *search = (PanelSearch *)arg;
  if (!class_is(w, search->name)) return TRUE;
  search->first = w;
  return FALSE;
}

BOOL CALLBACK find_in_thread(HWND w, LPARAM arg) {
  PanelSearch *search = (PanelSearch *)arg;
  if (class_is(w, search->name)) search->found = w;
  search->first = nullptr;
  EnumChildWindows(w, find_in_children, arg);
  if (search->first) search->found = search->first;
  return TRUE;
}

// Every window of this thread, top-level windows and their descendants.
HWND find_panel(const char *name) {
  PanelSearch search = {name, nullptr, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), find_in_thread, (LPARAM)&search);
  return search.found;
}

// The panel's place in its section; a section narrower than its frame gets an empty one.
RECT panel_rect(const Section *s) {
  LayoutRect r = layout_panel_rect(s);
  return RECT{r.left, r.top, r.right > r.left ? r.right : r.left,
              r.bottom > r.top ? r.bottom : r.top};
}

// Moves the panels that sit in the holder's window to their sections, in one batch.
void place_panels(Holder *h) {
  HWND hwnd = window_of(h);
  HDWP batch = BeginDeferWindowPos(h->secnum);
  for (int i = 0; batch && i < h->secnum; i++) {
    Section *s = h->sections[i];
    HWND panel = (HWND)s->panel;
    if (!panel || parent_of(panel) != hwnd) continue;
    RECT r = panel_rect(s);
    batch = DeferWindowPos(batch, panel, nullptr, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  }
  if (batch) EndDeferWindowPos(batch);
  InvalidateRect(hwnd, nullptr, TRUE);
}

void relayout(Holder *h) {
  RECT c;
  GetClientRect(window_of(h), &c);
  if (layout_relayout(h, c.right, c.bottom)) place_panels(h);
}

void attach_panels(Holder *h) {
  HWND hwnd = window_of(h);
  for (int i = 0; i < h->secnum; i++) {
    Section *s = h->sections[i];
    if (!s->id) continue;
    if (HWND found = find_panel(s->id)) s->panel = found;
    HWND panel = (HWND)s->panel;
    if (!panel) continue;
    set_parent(panel, hwnd);
    RECT r = panel_rect(s);
    MoveWindow(panel, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    // What the move copied came from a holder that may be hidden: all of it is redrawn.
    InvalidateRect(panel, nullptr, TRUE);
    ShowWindow(panel, SW_SHOWNA);
  }
}

bool on_screen(Holder *h) {
  HWND hwnd = window_of(h);
  return IsWindowVisible(hwnd) && parent_of(hwnd) == g_main;
}

void take_off(Holder *h) {
  ShowWindow(window_of(h), SW_HIDE);
  set_parent(window_of(h), nullptr);
}

void put_on(Holder *h) {
  set_parent(window_of(h), g_main);
  ShowWindow(window_of(h), SW_SHOWNA);
  g_switched = true;
}

// The main window places the active holder; its size may not have changed, so the holder
// is laid out here as well.
void resize_main() {
  if (g_main) SendMessageA(g_main, WM_SIZE, 0, 0);
  Holder *h = layout_active_holder(&g_layout);
  if (!h) return;
  relayout(h);
  if (g_switched) layout_dump_holder(h);
  g_switched = false;
}

void focus(Section *s) {
  if (HWND panel = (HWND)s->panel) {
    SetFocus(panel);
    HWND top = panel;
    while (GetWindowLongA(top, GWL_STYLE) & WS_CHILD) top = GetParent(top);
    SetActiveWindow(top);
  }
  InvalidateRect(window_of(s->holder), nullptr, TRUE);
}

void changed() { changes_raise(CHG_LAYOUT); }

const LayoutWindows kWindows = {attach_panels, on_screen, take_off, put_on, resize_main, focus,
                                changed};

// A rectangle filled with the common pattern, aligned to the window's origin.
void fill_pattern(HDC dc, const RECT &r) {
  HBITMAP pattern = g_resources.pictures[PICTURE_COUNT - 1];
  HBRUSH brush = pattern ? CreatePatternBrush(pattern) : (HBRUSH)GetStockObject(GRAY_BRUSH);
  POINT origin;
  GetViewportOrgEx(dc, &origin);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  FillRect(dc, &r, brush);
  if (pattern) DeleteObject(brush);
}

void paint(Holder *h) {
  HWND hwnd = window_of(h);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  SaveDC(dc);
  RECT c;
  GetClientRect(hwnd, &c);
  HBRUSH background = CreateSolidBrush(h->bgcolor);
  FillRect(dc, &c, background);
  DeleteObject(background);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  for (int i = 0; i < h->secnum; i++) {
    Section *s = h->sections[i];
    HWND panel = (HWND)s->panel;
    if (!panel || parent_of(panel) != hwnd || !IsWindowVisible(panel)) continue;
    RECT r;
    GetWindowRect(panel, &r);
    MapWindowPoints(nullptr, hwnd, (POINT *)&r, 2);
    if (s == g_layout.current) {
      InflateRect(&r, 4, 4);
      fill_pattern(dc, r);
      Rectangle(dc, r.left, r.top, r.right, r.bottom);
      InflateRect(&r, -3, -3);
      Rectangle(dc, r.left, r.top, r.right, r.bottom);
    } else if (s->framed) {
      InflateRect(&r, 2, 2);
      DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    }
  }
  RestoreDC(dc, -1);
  EndPaint(hwnd, &ps);
}

void set_cursor(LayoutCursor cursor) {
  static const LPCSTR kCursors[] = {IDC_ARROW, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL};
  SetCursor(LoadCursorA(nullptr, kCursors[cursor]));
}

LayoutPoint point_of(LPARAM lparam) {
  return LayoutPoint{(int)(short)LOWORD(lparam), (int)(short)HIWORD(lparam)};
}

LRESULT CALLBACK holder_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Holder *h = (Holder *)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
  if (!h) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_SIZE: relayout(h); return 0;
    case WM_PAINT: paint(h); return 0;
    case WM_SETFOCUS:
      if (g_layout.current) layout_focus_section(&g_layout, g_layout.current);
      return 0;
    case WM_KILLFOCUS: return 0;
    case WM_LBUTTONDOWN:  // a press on a splitter: the focus comes back to the holder
      SetFocus(hwnd);
      SetCapture(hwnd);
      set_cursor(layout_drag_begin(h, point_of(lparam)));
      return 0;
    case WM_MOUSEMOVE: {
      bool dragging = h->drag.active;
      set_cursor(layout_drag_move(h, point_of(lparam)));
      if (dragging) place_panels(h);
      return 0;
    }
    case WM_STATUS_HINT: {
      POINT p = {(short)LOWORD(lparam), (short)HIWORD(lparam)};
      HWND child = ChildWindowFromPoint(hwnd, p);
      if (g_hint) g_hint(child && child != hwnd ? GetDlgCtrlID(child) : 0);
      return 1;
    }
    case WM_LBUTTONUP:
      if (!h->drag.active) return 0;
      set_cursor(layout_drag_end(h, point_of(lparam)));
      ReleaseCapture();
      place_panels(h);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

bool layout_init() {
  g_layout = Layout();
  g_layout.windows = &kWindows;
  return true;
}

void layout_shutdown() { layouts_destroy(); }

bool layouts_load(HWND main, const char *file, const char *builtin, size_t builtin_len,
                  void (*hint)(int string_id), char *why, size_t whylen) {
  layouts_destroy();
  g_main = main;
  g_hint = hint;
  if (!layout_load(&g_layout, file, builtin, builtin_len, g_resources.button_face, why, whylen))
    return false;
  for (int i = 0; i < g_layout.holdernum; i++) {
    Holder *h = g_layout.holders[i];
    HWND hwnd = create_window("section_holder", holder_proc, nullptr, 0,
                              WS_POPUP | WS_CLIPCHILDREN);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)h);
    h->window = hwnd;
  }
  return true;
}

void layouts_destroy() {
  for (int i = 0; i < g_layout.holdernum; i++) {
    Holder *h = g_layout.holders[i];
    for (int k = 0; k < h->secnum; k++) {
      HWND panel = (HWND)h->sections[k]->panel;
      if (!panel || parent_of(panel) != window_of(h)) continue;
      ShowWindow(panel, SW_HIDE);
      set_parent(panel, nullptr);
    }
    if (h->window) DestroyWindow(window_of(h));
    h->window = nullptr;
  }
  layout_free(&g_layout);
  g_layout.windows = &kWindows;
}

bool layout_activate(const char *holder_id) { return layout_activate_id(&g_layout, holder_id); }

bool layout_show_group(const char *group) { return layout_switch_group(&g_layout, group); }

void layout_switch(const char *a, const char *b) { layout_toggle_groups(&g_layout, a, b); }

bool layout_next_holder() { return layout_next(&g_layout); }

bool layout_swap() { return layout_swap_panels(&g_layout); }

bool layout_focus(HWND panel) {
  char name[KQ_PATH];
  if (!panel || !GetClassNameA(panel, name, sizeof name)) return false;
  return layout_focus_panel(&g_layout, name);
}

bool layout_set_width(HWND panel, int width) {
  Holder *h = layout_active_holder(&g_layout);
  for (int i = 0; h && panel && i < h->secnum; i++) {
    Section *s = h->sections[i];
    if (s->panel != panel) continue;
    const LayoutRect inside = layout_panel_rect(s);  // the frame and the bars take the rest
    const int margin = (s->rect.right - s->rect.left) - (inside.right - inside.left);
    if (!layout_resize_section(h, s, 0, width + margin)) continue;
    relayout(h);
    return true;
  }
  return false;
}

void layout_dump() {
  if (Holder *h = layout_active_holder(&g_layout)) layout_dump_holder(h);
}

HWND layout_holder() {
  Holder *h = layout_active_holder(&g_layout);
  return h ? window_of(h) : nullptr;
}

HWND layout_current_panel() { return g_layout.current ? (HWND)g_layout.current->panel : nullptr; }

const char *layout_active_id() {
  Holder *h = layout_active_holder(&g_layout);
  return h && h->id ? h->id : "";
}
