#include "ui/window_class_win32.h"

#include "ui/pictures/picture_ids.h"
#include "util/visor.h"

bool window_class_register(const char *class_name, WNDPROC proc, LPCSTR cursor, UINT style,
                           int window_extra) {
  WNDCLASSEXA wincl = {};
  wincl.cbSize = sizeof wincl;
  wincl.style = style;
  wincl.lpfnWndProc = proc;
  wincl.cbWndExtra = window_extra;
  wincl.hInstance = GetModuleHandleA(nullptr);
  wincl.hIcon = wincl.hIconSm = LoadIconA(wincl.hInstance, MAKEINTRESOURCEA(IDI_PROGRAM));
  wincl.hCursor = cursor ? LoadCursorA(nullptr, cursor) : nullptr;
  wincl.lpszClassName = class_name;
  return RegisterClassExA(&wincl) != 0;
}

HWND create_window(const char *class_name, WNDPROC proc, HWND parent, DWORD ex_style,
                   DWORD style) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing;
  if (!GetClassInfoExA(instance, class_name, &existing))
    KQ_ASSERT_AT(window_class_register(class_name, proc, (LPCSTR)IDC_ARROW, 0, 0), "glob", 127,
                 "RegisterClassEx (&wincl)");
  HWND hwnd = CreateWindowExA(ex_style, class_name, "", style, 0, 0, 0, 0, parent, nullptr,
                              instance, nullptr);
  KQ_ASSERT_AT(hwnd, "glob", 139, "hwnd");
  return hwnd;
}
