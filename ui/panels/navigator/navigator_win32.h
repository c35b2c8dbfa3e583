// The workspace navigator (no window class of its own: the dialog of ui/dialogs/
// tabbed_host_win32.h): a tabbed host over seven list pages (comments, breakpoints,
// symbols, modules, windows, threads, processes), each listing what the debugger or the
// system knows and turning a choice into an action.
#pragma once
#include <windows.h>

#include "ui/panels/navigator/navigator_tables.h"

// Opens the navigator on page (NavPage), or switches the open one to it; owner is the
// window to own it when none is active.
bool navigator_open(int page, HWND owner);
