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

// Registers the "console" class before the panels are created.
void console_register();
