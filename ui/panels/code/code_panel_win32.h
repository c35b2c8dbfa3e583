// The code panel (window class "code"): the listing of the debuggee's code around the code
// position, with the cursor bar, the jump arrows, the instruction pointer's mark, and the
// commands of its key table. The document and the moves are platform-free
// (code_panel_listing.h, code_panel_view.h); this is the window around them.
#pragma once
#include <windows.h>

#include "ui/dialogs/prompt_history.h"
#include "ui/panels/code/code_panel_view.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "util/path.h"

// Panel commands, also the help texts' string numbers.
enum CodeCommand {
  CODE_CMD_ASSEMBLE = 10006, CODE_CMD_BREAKPOINT = 10007, CODE_CMD_COMMENT = 10008,
  CODE_CMD_COPY = 10009, CODE_CMD_NOP_FILL = 10010, CODE_CMD_FOLLOW = 10011,
  CODE_CMD_GO_TO = 10012, CODE_CMD_ORIGIN = 10013, CODE_CMD_DOWN = 10014, CODE_CMD_UP = 10015,
  CODE_CMD_NEW_ORIGIN = 10016, CODE_CMD_PAGE_DOWN = 10017, CODE_CMD_PAGE_END = 10018,
  CODE_CMD_PAGE_HOME = 10019, CODE_CMD_LEFT = 10020, CODE_CMD_RIGHT = 10021,
  CODE_CMD_PAGE_UP = 10022, CODE_CMD_BACK = 10023, CODE_CMD_RUN_TO = 10024,
  CODE_CMD_SCROLL_DOWN = 10025, CODE_CMD_SCROLL_UP = 10026, CODE_CMD_NEW_SEARCH = 10027,
  CODE_CMD_SEARCH_DOWN = 10028, CODE_CMD_SEARCH_UP = 10029, CODE_CMD_REGION_DOWN = 10030,
  CODE_CMD_REGION_UP = 10031, CODE_CMD_VIEW_BYTES = 10032, CODE_CMD_SAVE_PATCHES = 10005,
};
// The prompts' texts in the string table.
enum {
  IDS_ASSEMBLE = 1350, IDS_COMMENT = 1380, IDS_GO_TO = 1400, IDS_SEARCH = 1450,
  IDS_SAVE_PATCHES = 1490
};

struct CodePanel {
  HWND hwnd;
  RichGdiMeasurer measurer;
  RichGdiWindow window;
  CodeSource source;
  CodeMarks marks;
  CodeView view;
  CodeScreen screen;
  RichText *box;            // the operand box
  HBITMAP pattern, arrows;  // pictures 110 and 100
  uint32_t follow;          // where "Follow" goes, 0 for nowhere
  int pressed;              // the link pressed with the left button, or -1
  bool dragging;            // a selection follows the mouse
  bool focused;
  // The bytes around the anchor when the window was last built, to see whether they changed.
  CodeSnapshot snapshot;
  // The prompts' texts and histories.
  char assemble[PROMPT_TEXT], assemble_history[PROMPT_TEXT];
  char comment[PROMPT_TEXT], comment_history[PROMPT_TEXT];
  char go_to[PROMPT_TEXT], go_to_history[PROMPT_TEXT];
  char search[PROMPT_TEXT], search_history[PROMPT_TEXT];
};
extern CodePanel g_code;

// The panel's own messages, the wheel and the focus (see ui/panels/panel_windows.h).
LRESULT CALLBACK code_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void code_panel_wheel(int delta);
void code_panel_focus(bool on);
// Draws the panel as it paints itself, into any device context.
void code_panel_draw(HDC dc);

// Inside the panel: the window's commands (code_panel_commands_win32.cpp).
bool code_panel_command(int id);
// Rebuilds the window around its anchor and writes the listing again.
void code_panel_rebuild();
// Repaints and tells the code position where the cursor is.
void code_panel_moved();
// Answers plug-ins' questions for the views while the panel lives.
void code_panel_install_hooks(bool on);
