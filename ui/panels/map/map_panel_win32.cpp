#include "ui/panels/map/map_panel_win32.h"

#include <commctrl.h>

#include "engine/breakpoints.h"
#include "settings/changes.h"
#include "symbols/comments.h"
#include "ui/global_resources_win32.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "ui/screen_helpers_win32.h"
#include "util/picture_win32.h"

MapPanel g_map;

namespace {

enum { MARKER_PICTURE = 350, UPDOWN_ID = 1 };
enum : COLORREF {
  BAND_EDGE = 0x808080, BREAKPOINT_LINE = 0x0000FF, COMMENT_LINE = 0x009B00,
  MARKER_PAPER = 0xFFFFFF,
};

// The flags that move the shown module or what is drawn over it.
const int kRebuildFlags[] = {CHG_STATE,         CHG_MODULES,       CHG_BREAKPOINTS,
                             CHG_LAYOUT,        CHG_CODE_POSITION, CHG_DATA_POSITION,
                             CHG_COMMENTS,      0};

PanelPosition *shown() { return &g_positions[g_position_shown]; }

void rebuild() {
  map_view_build(&g_map.view, shown()->address);
  InvalidateRect(g_map.hwnd, nullptr, FALSE);
}

void listener(int) {
  if (changes_test_any(kRebuildFlags)) rebuild();
}

void horizontal_line(HDC dc, int y, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, g_map.rect.left, y, nullptr);
  LineTo(dc, g_map.rect.right, y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void draw_bands(HDC dc) {
  for (int i = 0; i < g_map.view.section_count; i++) {
    int top, bottom;
    if (!map_band(&g_map.view, &g_map.rect, i, &top, &bottom)) continue;
    const RECT band = {g_map.rect.left, top, g_map.rect.right, bottom};
    HBRUSH brush =
        CreateSolidBrush(map_band_colour(g_map.view.sections[i].characteristics, g_map.hover));
    FillRect(dc, &band, brush);
    DeleteObject(brush);
    horizontal_line(dc, top, BAND_EDGE);
    horizontal_line(dc, bottom, BAND_EDGE);
  }
}

void draw_marks(HDC dc) {
  int y;
  for (int id = -1; breakpoint_next(&id);) {
    const Breakpoint *b = breakpoint_get(id);
    if (b && b->address && map_y_of(&g_map.view, &g_map.rect, b->address, &y))
      horizontal_line(dc, y, BREAKPOINT_LINE);
  }
  for (int id = -1; comment_next(&id);) {
    const Comment *c = comment_get(id);
    if (c && c->address && map_y_of(&g_map.view, &g_map.rect, c->address, &y))
      horizontal_line(dc, y, COMMENT_LINE);
  }
}

// The code marker at the map's left edge, the data marker at its right edge.
void draw_markers(HDC dc) {
  if (!g_map.markers) return;
  HDC picture = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(picture, g_map.markers);
  for (int record = POSITION_CODE; record <= POSITION_DATA; record++) {
    int y;
    if (!map_y_of(&g_map.view, &g_map.rect, g_positions[record].address, &y)) continue;
    const int x = record == POSITION_CODE ? g_map.rect.left : g_map.rect.right - MAP_MARKER_WIDTH;
    TransparentBlt(dc, x, y - MAP_MARKER_LIFT, MAP_MARKER_WIDTH, MAP_MARKER_HEIGHT, picture, 0,
                   record * MAP_MARKER_HEIGHT, MAP_MARKER_WIDTH, MAP_MARKER_HEIGHT, MARKER_PAPER);
  }
  SelectObject(picture, old);
  DeleteDC(picture);
}

bool over_map(POINT p) {
  return p.x >= g_map.rect.left && p.x < g_map.rect.right && p.y >= g_map.rect.top &&
         p.y < g_map.rect.bottom;
}

// The bands light up while the mouse is over the map or dragging on it.
void update_hover() {
  POINT screen, p;
  GetCursorPos(&screen);
  p = screen;
  ScreenToClient(g_map.hwnd, &p);
  const bool hover =
      GetCapture() == g_map.hwnd || (WindowFromPoint(screen) == g_map.hwnd && over_map(p));
  if (hover == g_map.hover) return;
  g_map.hover = hover;
  InvalidateRect(g_map.hwnd, nullptr, FALSE);
}

// The shown position follows the drag; its panel moves on the next broadcast.
void drag_to(int x, int y) {
  uint32_t address;
  if (map_drag_address(&g_map.view, &g_map.rect, &g_map.drag, x, y, &address))
    position_set(shown(), address);
}

void press(int x, int y) {
  SetCapture(g_map.hwnd);
  g_map.dragging = true;
  g_map.drag.anchor_x = g_position_shown == POSITION_CODE ? g_map.rect.left : g_map.rect.right;
  g_map.drag.anchor_y = y;
  drag_to(x, y);
  update_hover();
}

void release(int x, int y) {
  if (!g_map.dragging) return;
  drag_to(x, y);
  g_map.dragging = false;
  ReleaseCapture();
  update_hover();
}

LRESULT hint(int y) {
  char text[KQ_PATH];
  if (!map_hint(&g_map.view, &g_map.rect, y, text, sizeof text)) return 0;
  status_set_hint(text);
  return 1;
}

void create(HWND hwnd) {
  g_map.hwnd = hwnd;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  g_map.updown = CreateUpDownControl(WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS | UDS_HOTTRACK, 0, 0,
                                     0, 0, hwnd, UPDOWN_ID, instance, nullptr, 2, 1, 1);
  g_map.markers = picture_load(instance, MAKEINTRESOURCEA(MARKER_PICTURE));
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  map_view_free(&g_map.view);
  if (g_map.markers) DeleteObject(g_map.markers);
  g_map = MapPanel();
}

}  // namespace

LRESULT CALLBACK map_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  const int x = (short)LOWORD(lparam), y = (short)HIWORD(lparam);
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      MoveWindow(g_map.updown, 0, 0, LOWORD(lparam), MAP_CONTROL_HEIGHT, TRUE);
      g_map.rect = map_rect(LOWORD(lparam), HIWORD(lparam));
      rebuild();
      return 0;
    case WM_NOTIFY: {
      const NMUPDOWN *n = (const NMUPDOWN *)lparam;
      if (n->hdr.idFrom != UPDOWN_ID || n->hdr.code != (UINT)UDN_DELTAPOS) return 0;
      position_back(shown(), n->iDelta);
      return 1;  // the control keeps its value: it only steps
    }
    case WM_LBUTTONDOWN: press(x, y); return 0;
    case WM_MOUSEMOVE:
      if (g_map.dragging) drag_to(x, y);
      update_hover();
      return 0;
    case WM_LBUTTONUP: release(x, y); return 0;
    case WM_CAPTURECHANGED: g_map.dragging = false; return 0;
    case WM_USER + 1:  // the mouse came or went
    case WM_USER + 2: update_hover(); return 0;
    case WM_STATUS_HINT: return hint(y);
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}


void map_panel_draw(HDC dc) {
  RECT client;
  GetClientRect(g_map.hwnd, &client);
  HBRUSH background = CreateSolidBrush(g_resources.button_face);
  FillRect(dc, &client, background);
  DeleteObject(background);
  RECT edge = {g_map.rect.left - MAP_INSET, g_map.rect.top - MAP_INSET,
               g_map.rect.right + MAP_INSET, g_map.rect.bottom + MAP_INSET};
  DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, g_map.rect.left, g_map.rect.top, g_map.rect.right, g_map.rect.bottom);
  draw_bands(dc);
  draw_marks(dc);
  draw_markers(dc);
  RestoreDC(dc, saved);
}
