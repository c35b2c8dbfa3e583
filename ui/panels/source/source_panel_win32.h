// The source panel (window class "source"): the source file of the code position, or its
// module's dump text, with line numbers and marks; while focused its cursor line moves the
// code position. The documents are built in source_panel_text; this is its window.
#pragma once
#include <windows.h>

#include "settings/settings.h"
#include "ui/panels/source/source_panel_text.h"
#include "ui/rich_text/rich_text_gdi_win32.h"

// Panel commands, also the help texts' string numbers.
enum SourceCommand {
  SOURCE_CMD_BREAKPOINT = 10135,
  SOURCE_CMD_COPY = 10136,
  SOURCE_CMD_END = 10137,
  SOURCE_CMD_GO_TO = 10138,
  SOURCE_CMD_ORIGIN = 10139,
  SOURCE_CMD_GO_TO_LINE = 10140,
  SOURCE_CMD_HOME = 10141,
  SOURCE_CMD_DOWN = 10142,
  SOURCE_CMD_UP = 10143,
  SOURCE_CMD_NEW_ORIGIN = 10144,
  SOURCE_CMD_PAGE_DOWN = 10145,
  SOURCE_CMD_PAGE_END = 10146,
  SOURCE_CMD_PAGE_HOME = 10147,
  SOURCE_CMD_LEFT = 10148,
  SOURCE_CMD_RIGHT = 10149,
  SOURCE_CMD_PAGE_UP = 10150,
  SOURCE_CMD_RUN_TO = 10151,
  SOURCE_CMD_SCROLL_DOWN = 10152,
  SOURCE_CMD_SCROLL_UP = 10153,
  SOURCE_CMD_SEARCH = 10154,
  SOURCE_CMD_SEARCH_DOWN = 10155,
  SOURCE_CMD_SEARCH_UP = 10156
};

struct SourcePanel {
  HWND hwnd;
  SourceShown shown;
  int lines;          // text lines shown
  int current;        // the cursor line, -1 for none
  int top;            // the page's top line
  int width, height;  // of the window
  int scroll_x;       // pixels, not below 0
  bool focused, selecting;
  int link;    // the link pressed, -1 for none
  int anchor;  // stream offset where the mouse selection began
  RichGdiMeasurer measurer;
  RichGdiWindow window;
  RichText *gutter, *dd;
  HBRUSH pattern;
  uint32_t missing;  // the source whose file was last reported missing
  char go_to_line[SETTING_TEXT], go_to_line_history[SETTING_TEXT];
};
extern SourcePanel g_source;

// The panel's own messages, the wheel, its commands and the focus (see
// ui/panels/panel_windows.h).
LRESULT CALLBACK source_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void source_panel_wheel(int delta);
bool source_panel_command(int id);
void source_panel_focus(bool on);
// Draws the panel as it paints itself, into any device context.
void source_panel_draw(HDC dc);
// Shows the source (or module dump) of address with its line current.
void source_panel_show(uint32_t address);
// The address of the current line; 0 for none.
uint32_t source_panel_address();
