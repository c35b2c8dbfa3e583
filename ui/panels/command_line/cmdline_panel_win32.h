// The command line panel (window class "cmdline"): a one-line strip where the user types a
// shell command, run by the CommandLineInterpreter setting in a new console window in the
// debuggee's folder. The same routine runs the plug-ins' shell commands.
#pragma once
#include <windows.h>

#include "ui/rich_text/rich_text_gdi_win32.h"

enum { CMDLINE_EXECUTE = 10004 };

struct CommandLinePanel {
  HWND hwnd, combo;
  int width, height;
  RichGdiMeasurer measurer;
  RichText *label;  // the interpreter's text
};
extern CommandLinePanel g_cmdline;

// The panel's own messages and its paint (see ui/panels/panel_windows.h).
LRESULT CALLBACK cmdline_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void cmdline_draw(HDC dc);
// Runs text through the interpreter; with exit_code, waits for it and stores its exit
// code. False (and a log line) when it cannot be started.
bool cmdline_run(const char *text, int *exit_code);
