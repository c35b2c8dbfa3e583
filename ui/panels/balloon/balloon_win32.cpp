#include "ui/panels/balloon/balloon_win32.h"

#include <stdio.h>
#include <string.h>

#include "settings/settings.h"
#include "ui/global_resources_win32.h"
#include "ui/key_names.h"
#include "ui/keyb.h"
#include "ui/panels/function_keys/function_keys_layout.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"
#include "util/path.h"

CommandBalloon g_balloon;

namespace {

enum {
  SHOW_TIMER = 1, HEADER_BAND = 76, HEADER_Y = 54, CORNER = 40,
  ROW_LEFT = 64, KEY_TINT = 200
};
const COLORREF kBackground = 0xEBFFFF, kHeader = 0x5000A0, kWhite = 0xFFFFFF,
               kRowBand = 0xE1F5F5, kEditBox = 0xC8EBEB, kEditName = 0x646464,
               kCharBox = 0x00AF00, kCharHover = 0x64FF64, kTitle = 0, kNoCommand = 0xB4B4B4;

SIZE text_size(HDC dc, HGDIOBJ font, const char *text) {
  SIZE size = {};
  HGDIOBJ old = SelectObject(dc, font);
  if (text) GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  SelectObject(dc, old);
  return size;
}

HGDIOBJ key_font(const CommandRef &ref) {
  return ref.category == KEYCAT_EDIT ? (HGDIOBJ)g_resources.small_font : g_resources.fixed_font[0];
}

void measure() {
  g_balloon.count = keyb_available_commands(g_balloon.entries, BALLOON_ROWS_MAX);
  if (!key_name(g_balloon.modifiers, 0, g_balloon.header, sizeof g_balloon.header) ||
      !g_balloon.header[0])
    text_copy(g_balloon.header, sizeof g_balloon.header, "...");
  HDC dc = GetDC(g_balloon.hwnd);
  const SIZE header = text_size(dc, g_resources.fixed_font[0], g_balloon.header);
  for (int i = 0; i < g_balloon.count; i++) {
    const CommandRef &ref = g_balloon.entries[i];
    const SIZE key = text_size(dc, key_font(ref), ref.key_name);
    const SIZE title = text_size(dc, g_resources.gui_font[0], ref.title);
    g_balloon.rows[i] = {(int)key.cx, (int)key.cy, (int)title.cx, (int)title.cy, 0, 0, 0};
  }
  ReleaseDC(g_balloon.hwnd, dc);
  balloon_measure(header.cx, header.cy, g_balloon.rows, g_balloon.count, &g_balloon.width,
                  &g_balloon.height);
  // The window's text is the header and the rows, "key=title" after "|", for whoever
  // reads the balloon from outside.
  char text[BALLOON_ROWS_MAX * 40 + 80];
  int at = snprintf(text, sizeof text, "%s", g_balloon.header);
  for (int i = 0; i < g_balloon.count; i++)
    at += snprintf(text + at, sizeof text - at, "|%.12s=%.24s", g_balloon.entries[i].key_name,
                   g_balloon.entries[i].title);
  SetWindowTextA(g_balloon.hwnd, text);
  InvalidateRect(g_balloon.hwnd, nullptr, FALSE);
}

BalloonRect rect_of(const RECT &r) { return {r.left, r.top, r.right, r.bottom}; }

void place() {
  RECT screen, target = {};
  GetWindowRect(GetDesktopWindow(), &screen);
  if (g_balloon.target) {
    GetClientRect(g_balloon.target, &target);
    MapWindowPoints(g_balloon.target, nullptr, (POINT *)&target, 2);
  }
  g_balloon.target_rect = target;
  BalloonPlace p = {rect_of(screen), rect_of(target), g_balloon.width, g_balloon.height, false, 0};
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (g_balloon.target && GetFocus() == g_balloon.target &&
      GetGUIThreadInfo(GetCurrentThreadId(), &info) && info.hwndCaret == g_balloon.target) {
    POINT caret = {info.rcCaret.left, info.rcCaret.top};
    ClientToScreen(g_balloon.target, &caret);
    p.caret = true;
    p.caret_y = caret.y;
  }
  const BalloonPoint at = balloon_place(&p);
  g_balloon.x = at.x;
  g_balloon.y = at.y;
}

void shape() {
  const int m = g_balloon.width < g_balloon.height ? g_balloon.width : g_balloon.height;
  const int k = (m - 100) / 8;
  MoveWindow(g_balloon.hwnd, g_balloon.x, g_balloon.y, g_balloon.width, g_balloon.height, FALSE);
  RECT r;
  GetWindowRect(g_balloon.hwnd, &r);
  POINT c = {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
  const RECT &t = g_balloon.target_rect;
  const BalloonPoint d = {t.left + (t.right - t.left) / 2 - c.x,
                          t.top + (t.bottom - t.top) / 2 - c.y};
  ScreenToClient(g_balloon.hwnd, &c);
  MapWindowPoints(nullptr, g_balloon.hwnd, (POINT *)&r, 2);
  const BalloonRect window = rect_of(r);
  BalloonPoint points[3];
  balloon_pointer(&window, {(int)c.x, (int)c.y}, d, k, points);
  // The region is given in window coordinates: the client's origin lies one border in.
  RECT outer;
  GetWindowRect(g_balloon.hwnd, &outer);
  POINT origin = {0, 0};
  ClientToScreen(g_balloon.hwnd, &origin);
  const int dx = origin.x - outer.left, dy = origin.y - outer.top;
  POINT triangle[3];
  for (int i = 0; i < 3; i++) triangle[i] = {points[i].x + dx, points[i].y + dy};
  HRGN body = CreateRoundRectRgn(r.left + dx + BALLOON_MARGIN, r.top + dy + BALLOON_MARGIN,
                                 r.right + dx - BALLOON_MARGIN, r.bottom + dy - BALLOON_MARGIN,
                                 CORNER, CORNER);
  HRGN pointer = CreatePolygonRgn(triangle, 3, WINDING);
  CombineRgn(body, body, pointer, RGN_OR);
  DeleteObject(pointer);
  SetWindowRgn(g_balloon.hwnd, body, TRUE);  // the window owns the region now
}

void rebuild() {
  if (!g_balloon.hwnd) return;
  const bool visible = IsWindowVisible(g_balloon.hwnd) != 0;
  ShowWindow(g_balloon.hwnd, SW_HIDE);
  measure();
  place();
  shape();
  g_balloon.hovered = -1;
  if (!g_balloon.count || !g_balloon.target) return;
  if (visible) ShowWindow(g_balloon.hwnd, SW_SHOWNA);
  else SetTimer(g_balloon.hwnd, SHOW_TIMER, (UINT)g_settings.ContextHelpDelay, nullptr);
}

void fill(HDC dc, const RECT &r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void draw(HDC dc, HGDIOBJ font, COLORREF color, int x, int y, const char *text) {
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, color);
  TextOutA(dc, x, y, text, lstrlenA(text));
  SelectObject(dc, old);
}

void key_box(HDC dc, HGDIOBJ font, const char *name, int x, int y, COLORREF color) {
  const SIZE size = text_size(dc, font, name);
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Rectangle(dc, x - 3, y - 1, x + size.cx + 3, y + size.cy + 1);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(brush);
}

}  // namespace

void balloon_draw(HDC dc) {
  RECT client;
  GetClientRect(g_balloon.hwnd, &client);
  fill(dc, client, kBackground);
  fill(dc, {0, 0, client.right, HEADER_BAND}, kHeader);
  SetBkMode(dc, TRANSPARENT);
  const SIZE header = text_size(dc, g_resources.fixed_font[0], g_balloon.header);
  draw(dc, g_resources.fixed_font[0], kWhite, (client.right - header.cx) / 2, HEADER_Y,
       g_balloon.header);
  for (int i = 0; i < g_balloon.count; i++) {
    const CommandRef &ref = g_balloon.entries[i];
    const BalloonRow &row = g_balloon.rows[i];
    fill(dc, {ROW_LEFT - 6, row.top - 1, client.right - ROW_LEFT + 6, row.top + row.height + 1},
         kRowBand);
    const bool hovered = i == g_balloon.hovered;
    const SIZE title = text_size(dc, g_resources.gui_font[0], ref.title);
    const COLORREF title_color = ref.command ? kTitle : kNoCommand;
    const int title_x = client.right - ROW_LEFT - title.cx;
    if (ref.category == KEYCAT_EDIT) {
      const int y = row.top + (row.height - row.key_height) / 2;
      key_box(dc, g_resources.small_font, ref.key_name, ROW_LEFT, y,
              hovered ? key_color_blend(kWhite, KEY_TINT, kEditBox) : kEditBox);
      draw(dc, g_resources.small_font, kEditName, ROW_LEFT, y, ref.key_name);
      draw(dc, g_resources.small_font, title_color, title_x, y, ref.title);
    } else {
      key_box(dc, g_resources.fixed_font[0], ref.key_name, ROW_LEFT, row.top,
              hovered ? key_color_blend(kCharHover, KEY_TINT, kCharBox) : kCharBox);
      draw(dc, g_resources.fixed_font[0], 0, ROW_LEFT + 1, row.top + 1, ref.key_name);
      draw(dc, g_resources.fixed_font[0], kWhite, ROW_LEFT, row.top, ref.key_name);
      draw(dc, g_resources.gui_font[0], title_color, title_x, row.top, ref.title);
    }
  }
  HRGN outline = CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(g_balloon.hwnd, outline) != ERROR) {
    OffsetRgn(outline, -1, -1);
    FrameRgn(dc, outline, (HBRUSH)GetStockObject(BLACK_BRUSH), 1, 1);
  }
  DeleteObject(outline);
}

namespace {

int row_at(int x, int y) {
  RECT client;
  GetClientRect(g_balloon.hwnd, &client);
  return balloon_hit(g_balloon.rows, g_balloon.count, client.right, x, y);
}

RECT row_rect(int i) {
  RECT client;
  GetClientRect(g_balloon.hwnd, &client);
  return {BALLOON_MARGIN, g_balloon.rows[i].top - 1, client.right - BALLOON_MARGIN,
          g_balloon.rows[i].top + g_balloon.rows[i].height + 1};
}

void hover_update() {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(g_balloon.hwnd, &p);
  const int hit = row_at(p.x, p.y);
  if (hit == g_balloon.hovered) return;
  if (g_balloon.hovered >= 0) InvalidateRect(g_balloon.hwnd, &g_balloon.hovered_rect, FALSE);
  g_balloon.hovered = hit;
  if (hit < 0) return;
  g_balloon.hovered_rect = row_rect(hit);
  InvalidateRect(g_balloon.hwnd, &g_balloon.hovered_rect, FALSE);
}

}  // namespace

LRESULT CALLBACK balloon_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      g_balloon = CommandBalloon();
      g_balloon.hwnd = hwnd;
      g_balloon.hovered = g_balloon.pressed = -1;
      return 0;
    case WM_DESTROY:
      balloon_hide();
      g_balloon.hwnd = nullptr;
      return 0;
    case WM_TIMER:
      if (wparam == SHOW_TIMER) {
        ShowWindow(hwnd, SW_SHOWNA);
        KillTimer(hwnd, SHOW_TIMER);
      }
      return 0;
    case WM_MOUSEMOVE:
    case WM_USER + 1:
    case WM_USER + 2: hover_update(); return 0;
    case WM_LBUTTONDOWN:
      hover_update();
      g_balloon.pressed = row_at((short)LOWORD(lparam), (short)HIWORD(lparam));
      if (g_balloon.pressed >= 0) SetCapture(hwnd);
      return 0;
    case WM_LBUTTONUP:
      hover_update();
      if (GetCapture() != hwnd) return 0;
      if (row_at((short)LOWORD(lparam), (short)HIWORD(lparam)) == g_balloon.pressed) {
        const CommandRef ref = g_balloon.entries[g_balloon.pressed];
        ReleaseCapture();
        keyb_execute(&ref);
        return 0;
      }
      ReleaseCapture();
      return 0;
    case WM_STATUS_HINT: {
      const int row = row_at((short)LOWORD(lparam), (short)HIWORD(lparam));
      if (row < 0) return 0;
      status_set_hint_resource(g_balloon.entries[row].command);
      return 1;
    }
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}


void balloon_report(void *focus) {
  const uint8_t modifiers = keyb_modifiers();
  if ((HWND)focus == g_balloon.target && modifiers == g_balloon.modifiers) return;
  g_balloon.target = (HWND)focus;
  g_balloon.modifiers = modifiers;
  if (modifiers && focus && IsWindowVisible((HWND)focus)) rebuild();
  else balloon_hide();
}

void balloon_hide() {
  if (!g_balloon.hwnd) return;
  KillTimer(g_balloon.hwnd, SHOW_TIMER);  // a balloon still waiting to show stays away
  if (!IsWindowVisible(g_balloon.hwnd)) return;
  ShowWindow(g_balloon.hwnd, SW_HIDE);
  g_balloon.modifiers = 0;
  g_balloon.hovered = -1;
}

void balloon_show_all() {
  g_balloon.target = GetFocus();
  g_balloon.modifiers = keyb_modifiers();
  rebuild();
}
