// What the panels' windows do alike: the class registered with the panel's procedure
// before the panels are created, taking the focus on a click, and a paint that hands the
// device context on.
#pragma once
#include <windows.h>

// Registers class_name with proc, the program's icon, the cursor (a system cursor id) and
// the class style (CS_DBLCLKS for panels that take double clicks).
void panel_register_class(const char *class_name, WNDPROC proc, LPCSTR cursor,
                          UINT style = 0);
// Gives the panel the focus and makes it the layout's current one (a click on it).
void panel_activate(HWND hwnd);
// Paints the window through draw between BeginPaint and EndPaint; gives 0 for WM_PAINT.
LRESULT panel_paint(HWND hwnd, void (*draw)(HDC dc));
