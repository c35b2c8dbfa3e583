#include "ui/window_class_win32.h"

#include "ui/pictures/picture_ids.h"
#include "util/visor.h"

HWND create_window(const char *class_name, WNDPROC proc, HWND parent, DWORD ex_style,
                   DWORD style) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing;
  if (!GetClassInfoExA(instance, class_name, &existing)) {
    WNDCLASSEXA wincl = {};
    wincl.cbSize = sizeof wincl;
    wincl.lpfnWndProc = proc;
    wincl.hInstance = instance;
    wincl.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    wincl.hIconSm = wincl.hIcon;
    wincl.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wincl.lpszClassName = class_name;
    KQ_ASSERT_AT(RegisterClassExA(&wincl), "glob", 127, "RegisterClassEx (&wincl)");
  }
  HWND hwnd = CreateWindowExA(ex_style, class_name, "", style, 0, 0, 0, 0, parent, nullptr,
                              instance, nullptr);
  KQ_ASSERT_AT(hwnd, "glob", 139, "hwnd");
  return hwnd;
}
