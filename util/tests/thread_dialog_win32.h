// Tests that run a modal dialog on their own thread find it from a timer that fires inside
// the dialog's modal loop.
#pragma once
#include <windows.h>
#include <string.h>

// This thread's visible dialog window, or null while it has none.
inline HWND thread_dialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND hwnd, LPARAM arg) WINAPI -> BOOL {
    char cls[32];
    GetClassNameA(hwnd, cls, sizeof cls);
    if (!strcmp(cls, "#32770") && IsWindowVisible(hwnd)) *(HWND *)arg = hwnd;
    return TRUE;
  }, (LPARAM)&found);
  return found;
}
