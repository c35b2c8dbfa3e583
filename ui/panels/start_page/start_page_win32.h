// The start page (window class "cover"): shown while no debuggee is loaded, with the
// product pictures, the licence text and the recently debugged executables, from which one
// is reopened by a click or a key. The list lives in the registry between runs.
#pragma once
#include <windows.h>

#include "ui/panels/start_page/start_page_list.h"
#include "ui/rich_text/rich_text_gdi_win32.h"

// Page commands, also the help texts' string numbers.
enum StartCommand {
  START_CMD_REMOVE = 10035, START_CMD_OPEN = 10036, START_CMD_REOPEN = 10037,
  START_CMD_SWITCH = 10038
};
enum { START_BLOCKS = 4 };

struct StartPageState {
  HWND hwnd, licence, list;
  RecentFiles recent;
  RichGdiMeasurer measurer;
  RichText *blocks[START_BLOCKS];  // the texts and pictures painted round the controls
  HBRUSH background, pattern;
  RECT inner;  // the area of the licence and the list
  bool on_licence;  // the licence, not the list, had the focus last: "Switch" goes back
};
extern StartPageState g_start;

// The page's own messages and its paint (see ui/panels/panel_windows.h).
LRESULT CALLBACK start_page_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void start_page_draw(HDC dc);
// Puts path at the front of the recent files (the debuggee's, at each load).
void start_page_add(const char *path);
// The most recent path; false (out empty) when the list is empty.
bool start_page_recent(char *out, size_t outlen);
