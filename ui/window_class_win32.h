// Every window of the program is made by one routine that registers its class on first use.
#pragma once
#include <windows.h>

// Registers the class on first use and creates the window with an empty title at position
// and size 0. Failing either is fatal.
HWND create_window(const char *class_name, WNDPROC proc, HWND parent, DWORD ex_style,
                   DWORD style);
