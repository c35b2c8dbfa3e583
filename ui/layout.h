// The screen layout as the rest of the program sees it: named sections, of which one is
// active, placing the panel windows inside the holder window under the main window's
// function-key bar.
#pragma once
#include <windows.h>

bool layout_init();
void layout_shutdown();
// Creates the holder window in main and reads the layouts; "Cover" is not yet active.
bool layouts_load(HWND main);
void layouts_destroy();
// Makes the named section active (names compare case-sensitively) and places the panels;
// false for an unknown name.
bool layout_activate(const char *section);
const char *layout_active_name();
// When the active section is a, b becomes active; when it is b, a; otherwise nothing.
void layout_switch(const char *a, const char *b);
HWND layout_holder();
// The panel of the active section that takes the focus.
HWND layout_current_panel();
// Places the panels of the active section over the holder's screen rectangle.
void layout_place();
