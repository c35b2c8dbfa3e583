// The map panel (window class "map"): the module of the shown position as a bar of section
// bands with the breakpoints, the comments and the code and data markers; dragging a marker
// moves its panel through the module, and the up-down control on top steps the shown
// position's history. The arithmetic is platform-free (map_panel_view.h).
#pragma once
#include <windows.h>

#include "ui/panels/map/map_panel_view.h"

struct MapPanel {
  HWND hwnd, updown;
  HBITMAP markers;  // picture 350
  MapView view;
  MapRect rect;
  MapDrag drag;
  bool dragging;
  bool hover;  // the mouse is over the map, or captured by it
};
extern MapPanel g_map;

// The panel's own messages (see ui/panels/panel_windows.h).
LRESULT CALLBACK map_panel_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Draws the panel as it paints itself, into any device context.
void map_panel_draw(HDC dc);
