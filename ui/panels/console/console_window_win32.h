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

// Registers the "console" class before the panels are created.
void console_register();
// Writes the formatted text (at most 2048 characters) to the log and the window.
void console_trace(const char *format, ...) KQ_PRINTF(1, 2);
