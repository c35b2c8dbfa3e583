// Every window class of the program is set up by one routine, and most windows are made
// by one that registers their class on first use.
#pragma once
#include <windows.h>

// Registers class_name with proc, the program's icon, the cursor (a system cursor id; null
// for none), the class style (CS_DBLCLKS for windows that take double clicks) and
// window_extra bytes in each window; false when it cannot (it exists already).
bool window_class_register(const char *class_name, WNDPROC proc, LPCSTR cursor, UINT style,
                           int window_extra);
// Registers the class on first use and creates the window with an empty title at position
// and size 0. Failing either is fatal.
HWND create_window(const char *class_name, WNDPROC proc, HWND parent, DWORD ex_style,
                   DWORD style);
