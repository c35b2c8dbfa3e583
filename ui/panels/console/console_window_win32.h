// The console window (window class "console"): the program's trace window, green on dark green,
// a live view of the diagnostic lines that log_console also writes to the log. Closing it
// hides it.
#pragma once
#include <windows.h>

struct ConsoleWindow {
  HWND hwnd, field;
  HBRUSH background;
};
extern ConsoleWindow g_console;

// The window's own messages (see ui/panels/panel_windows.h).
LRESULT CALLBACK console_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
