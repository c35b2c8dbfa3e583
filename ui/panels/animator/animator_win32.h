// The animation panel (window class "animator"): while it is shown and the debuggee runs,
// the followed thread's call stack is sampled every 20 ms into the rotating graph of
// animator_graph, drawn over a grid with the log's last page. Its window text is the set
// of particles and links, for whoever reads the panel from outside.
#pragma once
#include <windows.h>

// The panel's own messages, its paint, the wheel and its command (see ui/panels/panel_windows.h).
LRESULT CALLBACK animator_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void animator_panel_draw(HDC dc);
void animator_wheel(int delta);
// Page up (10000) moves the column by the panel's height, as the wheel does.
enum { ANIMATOR_CMD_PAGE_UP = 10000 };
bool animator_command(int id);
