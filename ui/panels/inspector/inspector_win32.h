// Inspector windows (window class "inspector"): any number of small floating windows, each
// browsing the debuggee's data along its own path (inspector_model.h) in an owner-drawn
// list, with the place, size and type of the selected item in a status bar.
#pragma once
#include <windows.h>

// The inspector's commands, also the help texts' string numbers.
enum InspectorCommand {
  INSPECTOR_CMD_CHANGE = 10102, INSPECTOR_CMD_CLOSE = 10103, INSPECTOR_CMD_COPY = 10104,
  INSPECTOR_CMD_OPEN = 10105
};
enum { IDS_INSPECTOR_VALUE = 1370, INSPECTOR_PATTERN_PICTURE = 150 };

// Opens an inspector on path, placed 60 pixels right of and 10 below the last one, owned
// by the active window (or by the top-level window of from, the window asking, when no
// window of the program is active); gives its window. The first one registers the class.
HWND inspector_open_window(const char *path, HWND from);
