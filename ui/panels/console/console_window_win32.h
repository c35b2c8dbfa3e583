// The console window (window class "console"): the program's trace window, green on dark green,
// a live view of the diagnostic lines that also go to the log. Closing it hides it.
#pragma once
#include <windows.h>

#include "util/log.h"

struct ConsoleWindow {
  HWND hwnd, field;
  HBRUSH background;
  int suspend;  // while not 0, traces write nothing
};
extern ConsoleWindow g_console;

// The window's own messages (see ui/panels/panel_windows.h).
LRESULT CALLBACK console_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Writes the formatted text (at most 2048 characters) to the log and the window.
void console_trace(const char *format, ...) KQ_PRINTF(1, 2);
