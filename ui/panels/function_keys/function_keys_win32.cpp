#include "ui/panels/function_keys/function_keys_win32.h"

#include <stdio.h>

#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"

FunctionKeyBar g_fkeys;

namespace {

enum { HOVER_TINT = 80, KEY_TEXT_Y = 2 };
const COLORREF kWhite = 0xFFFFFF;

int text_width(HDC dc, HGDIOBJ font, const char *text) {
  if (!text) return 0;
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  SelectObject(dc, old);
  return size.cx;
}

RECT client_rect() {
  RECT r = {};
  GetClientRect(g_fkeys.hwnd, &r);
  return r;
}

// The title box of button i spans the client height.
RECT title_rect(int left, int right) {
  RECT r = client_rect();
  r.left = left;
  r.right = right;
  return r;
}

void hover_update() {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(g_fkeys.hwnd, &p);
  const RECT c = client_rect();
  int left = 0, right = 0;
  const int hit = PtInRect(&c, p) ? fkey_hit(g_fkeys.key_width, g_fkeys.title_width, p.x, &left,
                                             &right)
                                  : -1;
  if (hit == g_fkeys.hovered) return;
  if (g_fkeys.hovered >= 0) InvalidateRect(g_fkeys.hwnd, &g_fkeys.hovered_rect, FALSE);
  g_fkeys.hovered = hit;
  g_fkeys.hovered_rect = title_rect(left, right);
  if (hit >= 0) InvalidateRect(g_fkeys.hwnd, &g_fkeys.hovered_rect, FALSE);
}

void measure() {
  if (!g_fkeys.hwnd) return;
  HDC dc = GetDC(g_fkeys.hwnd);
  for (int i = 0; i < FKEY_BUTTONS; i++) {
    g_fkeys.key_width[i] = text_width(dc, g_resources.fixed_font[0], g_fkeys.keys[i].key_name);
    g_fkeys.title_width[i] = text_width(dc, g_resources.gui_font[0], g_fkeys.keys[i].title);
  }
  ReleaseDC(g_fkeys.hwnd, dc);
  fkey_measure(g_fkeys.key_width, g_fkeys.title_width, client_rect().right);
  hover_update();
  InvalidateRect(g_fkeys.hwnd, nullptr, FALSE);
}

void draw_text(HDC dc, HGDIOBJ font, COLORREF color, int x, int y, const char *text) {
  if (!text) return;
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, color);
  TextOutA(dc, x, y, text, lstrlenA(text));
  SelectObject(dc, old);
}

}  // namespace

void function_keys_draw(HDC dc) {
  const RECT c = client_rect();
  HBRUSH face = CreateSolidBrush(g_resources.button_face);
  FillRect(dc, &c, face);
  DeleteObject(face);
  const FkeyColors colors = fkey_colors(keyb_modifiers(), g_resources.button_face);
  const bool enabled = IsWindowEnabled(g_fkeys.hwnd) != 0;
  SetBkMode(dc, TRANSPARENT);
  int x = 0;
  for (int i = 0; i < FKEY_BUTTONS; i++) {
    const CommandRef &ref = g_fkeys.keys[i];
    RECT key = {x, c.top, x + g_fkeys.key_width[i], c.bottom};
    DrawEdge(dc, &key, EDGE_RAISED, BF_RECT | BF_ADJUST);
    HGDIOBJ old = SelectObject(dc, g_resources.fixed_font[0]);
    SIZE size = {};
    if (ref.key_name) GetTextExtentPoint32A(dc, ref.key_name, lstrlenA(ref.key_name), &size);
    SelectObject(dc, old);
    draw_text(dc, g_resources.fixed_font[0], 0, x + (g_fkeys.key_width[i] - size.cx) / 2,
              KEY_TEXT_Y, ref.key_name);
    x += g_fkeys.key_width[i];
    RECT title = {x, c.top, x + g_fkeys.title_width[i], c.bottom};
    const bool raised = i == g_fkeys.hovered && i != g_fkeys.pressed;
    const bool filled = ref.command && enabled;
    if (filled) {
      HBRUSH fill = CreateSolidBrush(raised ? key_color_blend(kWhite, HOVER_TINT, colors.fill)
                                            : colors.fill);
      FillRect(dc, &title, fill);
      DeleteObject(fill);
    }
    DrawEdge(dc, &title, raised ? EDGE_RAISED : EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    const int shift = raised ? 0 : 1;
    draw_text(dc, g_resources.gui_font[0], colors.text, title.left + shift, title.top + shift,
              ref.title);
    x += g_fkeys.title_width[i];
  }
}

namespace {

int button_at(LPARAM lparam, RECT *rect) {
  int left = 0, right = 0;
  const int hit =
      fkey_hit(g_fkeys.key_width, g_fkeys.title_width, (short)LOWORD(lparam), &left, &right);
  *rect = title_rect(left, right);
  return hit;
}

void button_down(LPARAM lparam) {
  RECT rect;
  const int hit = button_at(lparam, &rect);
  if (hit < 0) return;
  g_fkeys.pressed = hit;
  g_fkeys.pressed_rect = rect;
  SetCapture(g_fkeys.hwnd);
  hover_update();
  InvalidateRect(g_fkeys.hwnd, &rect, FALSE);
}

void button_up(LPARAM lparam) {
  if (g_fkeys.pressed < 0) return;
  RECT rect;
  const int pressed = g_fkeys.pressed;
  const CommandRef &ref = g_fkeys.keys[pressed];
  if (button_at(lparam, &rect) == pressed && ref.command && ref.window)
    SendMessageA((HWND)ref.window, WM_COMMAND, ref.command, 0);
  ReleaseCapture();
  g_fkeys.pressed = -1;
  hover_update();
  InvalidateRect(g_fkeys.hwnd, &g_fkeys.pressed_rect, FALSE);
}

}  // namespace

LRESULT CALLBACK function_keys_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      g_fkeys.hwnd = hwnd;
      g_fkeys.hovered = g_fkeys.pressed = -1;
      function_keys_refresh();
      return 0;
    case WM_DESTROY: g_fkeys = FunctionKeyBar(); return 0;
    case WM_SIZE: measure(); return 0;
    case WM_MOUSEMOVE:
    case WM_USER + 1:
    case WM_USER + 2: hover_update(); return 0;
    case WM_LBUTTONDOWN: button_down(lparam); return 0;
    case WM_LBUTTONUP: button_up(lparam); return 0;
    case WM_STATUS_HINT: {
      RECT rect;
      const int hit = button_at(lparam, &rect);
      if (hit < 0) return 0;
      status_set_hint_resource(g_fkeys.keys[hit].command);
      return 1;
    }
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}


// The window's text is the keys' titles, "F1=title|F2=...", for whoever reads the bar
// from outside.
void function_keys_refresh() {
  keyb_function_keys(g_fkeys.keys);
  char text[FKEY_BUTTONS * 40] = "", *end = text;
  for (const CommandRef &ref : g_fkeys.keys)
    end += snprintf(end, 40, "%s=%.30s|", ref.key_name ? ref.key_name : "",
                    ref.title ? ref.title : "");
  SetWindowTextA(g_fkeys.hwnd, text);
  measure();
}

void function_keys_enable(bool enabled) {
  if (!g_fkeys.hwnd) return;
  EnableWindow(g_fkeys.hwnd, enabled);
  InvalidateRect(g_fkeys.hwnd, nullptr, FALSE);
}
