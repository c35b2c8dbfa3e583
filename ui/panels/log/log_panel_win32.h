// The log panel (window class "log"): a text file, by default the program's own log, shown
// a page at a time straight from the file while it grows, following its end while the user
// stays there. The page logic lives in log_panel_page; this is its window.
#pragma once
#include <windows.h>

#include "ui/panels/log/log_panel_page.h"
#include "ui/panels/log/log_panel_text.h"
#include "ui/rich_text/rich_text_gdi_win32.h"

// Panel commands, also the help texts' string numbers.
enum LogCommand {
  LOG_CMD_COPY = 10106, LOG_CMD_END = 10107, LOG_CMD_GOTO = 10108, LOG_CMD_START = 10109,
  LOG_CMD_LINE_DOWN = 10110, LOG_CMD_RIGHT_END = 10111, LOG_CMD_LEFT_EDGE = 10112,
  LOG_CMD_LINE_UP = 10113, LOG_CMD_FILTER = 10114, LOG_CMD_PAGE_DOWN = 10115,
  LOG_CMD_LEFT = 10116, LOG_CMD_RIGHT = 10117, LOG_CMD_PAGE_UP = 10118,
  LOG_CMD_SEARCH = 10119, LOG_CMD_SEARCH_DOWN = 10120, LOG_CMD_SEARCH_UP = 10121
};

enum { LOG_PAGE_LINES = 200 };

struct LogPanel {
  HWND hwnd;
  HANDLE file;  // INVALID_HANDLE_VALUE without one
  char name[KQ_PATH];
  char missing[KQ_PATH + 16];  // "<name> not found", shown without a file
  LogSource source;
  LogView view;
  LogFilter filter;
  LogLine lines[LOG_PAGE_LINES];
  int shown;  // lines on the page
  RichGdiMeasurer measurer;
  RichGdiWindow window;
  RichText *dd;
  HBRUSH pattern;
  int scroll_x, width, height, line_height;
  bool selecting;
  uint64_t anchor;  // where the mouse selection began
};
extern LogPanel g_log;

// The panel's own messages, the wheel and its commands (see ui/panels/panel_windows.h).
LRESULT CALLBACK log_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void log_panel_wheel(int delta);
bool log_panel_command(int id);
// Opens the file LogFilename names now, when that is not the one open: a name with a "*"
// or a relative one follows the debuggee.
void log_panel_follow_debuggee();
// Draws the panel as it paints itself, into any device context.
void log_panel_draw(HDC dc);
