// The watch panel (window class "watch"): the watch list as a rich-text document, a line
// per expression with its value, re-evaluated on every broadcast that can move a value.
// Expressions are typed, edited and assigned through the input prompt.
#pragma once
#include <windows.h>

#include "ui/panels/watch/watch_panel_list.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "util/path.h"

// Panel commands, also the help texts' string numbers.
enum WatchCommand {
  WATCH_CMD_ADD = 10158, WATCH_CMD_CHANGE = 10159, WATCH_CMD_DELETE = 10160,
  WATCH_CMD_EDIT = 10161, WATCH_CMD_NARROWER = 10162, WATCH_CMD_WIDER = 10163,
  WATCH_CMD_INSPECT = 10164, WATCH_CMD_DOWN = 10165, WATCH_CMD_UP = 10166
};
// The prompts: a new or edited expression, and a new value.
enum { IDS_WATCH_EXPRESSION = 1480, IDS_WATCH_VALUE = 1370 };

struct WatchPanel {
  HWND hwnd;
  RichGdiMeasurer measurer;
  RichText *dd;
  int scroll_x, scroll_y, width, height;
  HBITMAP pattern;  // the background, moved with the list
  // The expression prompt's text and history (adding and editing share them), and the
  // value prompt's.
  char expression[KQ_PATH], expression_history[KQ_PATH];
  char value[KQ_PATH], value_history[KQ_PATH];
};
extern WatchPanel g_watch;

// The panel's own messages, the wheel, its commands and the focus (see
// ui/panels/panel_windows.h).
LRESULT CALLBACK watch_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void watch_panel_wheel(int delta);
bool watch_panel_command(int id);
void watch_panel_focus(bool on);
// Draws the panel as it paints itself, into any device context.
void watch_panel_draw(HDC dc);
