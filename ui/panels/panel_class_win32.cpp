#include "ui/panels/panel_class_win32.h"

#include "ui/layout.h"

enum { PROGRAM_ICON = 1330 };

void panel_register_class(const char *class_name, WNDPROC proc, LPCSTR cursor, UINT style) {
  WNDCLASSEXA wincl = {};
  wincl.cbSize = sizeof wincl;
  wincl.style = style;
  wincl.lpfnWndProc = proc;
  wincl.hInstance = GetModuleHandleA(nullptr);
  wincl.hIcon = wincl.hIconSm = LoadIconA(wincl.hInstance, MAKEINTRESOURCEA(PROGRAM_ICON));
  wincl.hCursor = LoadCursorA(nullptr, cursor);
  wincl.lpszClassName = class_name;
  RegisterClassExA(&wincl);
}

void panel_activate(HWND hwnd) {
  SetFocus(hwnd);
  layout_focus(hwnd);
}

LRESULT panel_paint(HWND hwnd, void (*draw)(HDC dc)) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  draw(dc);
  EndPaint(hwnd, &ps);
  return 0;
}
