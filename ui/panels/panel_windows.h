// The fourteen panel windows of the main window: their classes, made from the panel table,
// and the window procedure they share for what they do alike.
#pragma once
#include <windows.h>

struct KeyCommand;

enum PanelId {
  PANEL_COVER, PANEL_BALLOON, PANEL_CONSOLE, PANEL_MENU, PANEL_STATUS, PANEL_ANIMATOR,
  PANEL_CMDLINE, PANEL_REG, PANEL_MAP, PANEL_LOG, PANEL_SOURCE, PANEL_CODE, PANEL_DATA,
  PANEL_WATCH, PANEL_COUNT
};

// One panel: its window class and the hooks through which the shared procedure reaches it.
// A hook left null means the panel does not do that.
struct PanelKind {
  const char *class_name;  // also what a layout script names
  LPCSTR cursor;           // a system cursor; null when the window sets its own
  UINT class_style;        // CS_DBLCLKS for panels that take double clicks
  DWORD style;             // of the window
  const KeyCommand *keys;  // in force while the window has the focus; a click focuses it
  bool menu;               // a right click opens the keys as a context menu
  WNDPROC proc;            // the panel's own messages; the rest go to panel_default_proc
  void (*draw)(HDC dc);    // paints all of the window, into a back buffer
  void (*scroll)(int wheel_delta);
  bool (*command)(int id);  // true when the command is the panel's
  void (*focus)(bool on);   // after the keys came into or went out of force
  int offer_rank;           // when commands are offered, 1 first; 0 never
  int destroy_rank;         // when the windows are destroyed, 1 first; 0 with the main window
};
extern const PanelKind g_panel_kinds[PANEL_COUNT];
extern HWND g_panels[PANEL_COUNT];

// Registers every panel's class; the panels' own tests call it too.
void panels_register();
// Creates every panel window with parent main, in the table's order.
void panels_create(HWND main);
// Destroys them in the table's destruction order.
void panels_destroy();
PanelId panel_of_window(HWND hwnd);  // PANEL_COUNT when it is none of them
// Offers a command to the panels that take commands, in the table's order; true when one
// took it.
bool panels_offer_command(int command);

// What a panel's window does when the panel does nothing of its own with a message:
// keys in force while focused, a buffered paint, the wheel, commands, focus on a click.
LRESULT CALLBACK panel_default_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Gives the panel the focus and makes it the layout's current one (a click on it).
void panel_activate(HWND hwnd);
