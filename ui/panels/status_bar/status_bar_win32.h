// The status bar (window class "status"): the stepping mode, the current location, the
// CPU time of the debuggee, its state, a hint and a sizing grip in one row along the
// main window's bottom edge. Every 100 ms it asks the window under the mouse, and then
// its parents, for a hint with WM_STATUS_HINT.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "ui/panels/status_bar/status_bar_text.h"
#include "util/path.h"

// Sent with the cursor in the receiver's client coordinates (x low, y high word of lParam);
// a window that set the hint answers 1.
enum { WM_STATUS_HINT = WM_USER + 3 };

// Where the focused panel stands, for the location pane; false when the window keeps no
// position.
typedef bool (*StatusPositionSource)(HWND focus, uint32_t *address);

struct StatusBar {
  HWND hwnd;
  char location[KQ_PATH], time[KQ_PATH], state[KQ_PATH], hint[KQ_PATH];
  StateKind state_kind;
  bool blink;
  bool asking;  // the hover help is asking the windows under the mouse for a hint
  PaneSpan spans[PANE_COUNT];
  StatusPositionSource position_source;
  // The sizing grip's drag: the main window's rectangle at the press and the pointer's
  // distance from its lower-right corner.
  bool sizing;
  RECT sizing_start;
  POINT grip_offset;
};
extern StatusBar g_status;

// The bar's own messages and its paint (see ui/panels/panel_windows.h); the grip
// chooses its own cursor.
LRESULT CALLBACK status_bar_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void status_bar_draw(HDC dc);
// The hint pane: repainted only when the text differs; null clears it.
void status_set_hint(const char *text);
void status_set_hint_resource(int id);
// The hover help of one timer tick: a window of another process gives its handle, process
// id and executable name; a window of ours, or else its parents, is asked with
// WM_STATUS_HINT until one answers 1.
void status_hover_help(POINT cursor, HWND under);
void status_set_position_source(StatusPositionSource source);
