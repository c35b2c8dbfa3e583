// Which holder is on screen and which section is current: showing sections, switching
// holders and groups, all in most-recently-used order. What needs the window system goes
// through the window layer's seam.
#pragma once
#include "ui/layout_graph.h"

// The window layer: Win32 in the program, a recorder in the tests.
struct LayoutWindows {
  // Finds every section's panel window by its class name, re-parents it into the
  // holder's window, moves it to its panel rectangle and shows it without activation.
  void (*attach_panels)(Holder *holder);
  // Whether the holder's window is visible and a child of the main window.
  bool (*on_screen)(Holder *holder);
  // Hides the holder's window and detaches it from the main window.
  void (*take_off)(Holder *holder);
  // Puts the holder's window into the main window and shows it without activation.
  void (*put_on)(Holder *holder);
  // Lets the main window place the active holder (WM_SIZE).
  void (*resize_main)();
  // Gives the section's panel the focus and its top-level window the activation, and
  // redraws the holder's focus frame.
  void (*focus)(Section *section);
  // Raises the layout change flag.
  void (*changed)();
};

// Makes the named section (case-sensitive) of the holder current and brings the holder on
// screen; false when the holder has no section of that name.
bool layout_show_section(Layout *layout, Holder *holder, const char *name);
// Shows the current section's panel in the holder, or else the holder's first section.
bool layout_activate_holder(Layout *layout, Holder *holder);
// The first holder, in list order, of that id that activates.
bool layout_activate_id(Layout *layout, const char *id);
// Shows the current panel in the most recently used holder of the group that has it,
// or else activates the group's most recently used holder.
bool layout_switch_group(Layout *layout, const char *group);
// When the active group is a, switches to b; when it is b, to a; otherwise nothing.
void layout_toggle_groups(Layout *layout, const char *a, const char *b);
// Activates the least recently used holder of the active group.
bool layout_next(Layout *layout);
// Shows the previous section again; the current one becomes the previous one.
bool layout_swap_panels(Layout *layout);
// Shows the section named by a panel's class name in the first holder that has one.
bool layout_focus_panel(Layout *layout, const char *class_name);
void layout_focus_section(Layout *layout, Section *section);

Holder *layout_active_holder(const Layout *layout);
const char *layout_active_group(const Layout *layout);
const char *layout_current_id(const Layout *layout);
