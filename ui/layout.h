// The screen layout as the rest of the program sees it: the holders of the layout script,
// each a window of class "section_holder" that the main window shows one at a time under
// its function-key bar, with the panel windows re-parented into their sections.
#pragma once
#include <windows.h>

#include <stddef.h>

bool layout_init();
void layout_shutdown();
// Reads the script (".layout" in the current folder, or the script text given when that
// file cannot be used) and makes a window for every holder. Nothing is shown yet. Asked
// for a hint, a holder hands hint the control id of its child under the mouse, whose
// string is the hint. A syntax error in the file is given in why for the user ("" for
// none).
bool layouts_load(HWND main, const char *file, const char *builtin, size_t builtin_len,
                  void (*hint)(int string_id), char *why, size_t whylen);
// Detaches the panels, destroys the holder windows and frees the layout.
void layouts_destroy();
// Activates the first holder of that id that can be activated.
bool layout_activate(const char *holder_id);
// Shows the current panel in the most recently used holder of the group that has it.
bool layout_show_group(const char *group);
// When the active group is a, switches to b; when it is b, to a; otherwise nothing.
void layout_switch(const char *a, const char *b);
// The least recently used holder of the active group comes on screen.
bool layout_next_holder();
// Shows the previous panel again.
bool layout_swap();
// Shows the panel window's section (by its class name) in the first holder that has one.
bool layout_focus(HWND panel);
// Moves a splitter of the active holder so that the panel becomes width pixels wide; false
// when the panel is not shown there or its section spans the holder.
bool layout_set_width(HWND panel, int width);
// The active holder's sections and bars into the log.
void layout_dump();
// The active holder's window (placed by the main window), or none.
HWND layout_holder();
// The panel of the current section, which takes the focus.
HWND layout_current_panel();
const char *layout_active_id();
