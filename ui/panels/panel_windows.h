// The fourteen panel windows of the main window, in creation order.
#pragma once
#include <windows.h>

enum PanelId {
  PANEL_COVER, PANEL_BALLOON, PANEL_CONSOLE, PANEL_MENU, PANEL_STATUS, PANEL_ANIMATOR,
  PANEL_CMDLINE, PANEL_REG, PANEL_MAP, PANEL_LOG, PANEL_SOURCE, PANEL_CODE, PANEL_DATA,
  PANEL_WATCH, PANEL_COUNT
};

struct PanelClass {
  const char *class_name;
  DWORD style;
};
extern const PanelClass g_panel_classes[PANEL_COUNT];
extern HWND g_panels[PANEL_COUNT];

// Creates every panel window with parent main, cover first, watch last.
void panels_create(HWND main);
// Destroys them in the shut-down order (watch, map, reg, code, source, data, log, menu,
// status, cmdline, animator, balloon, cover).
void panels_destroy();
PanelId panel_of_window(HWND hwnd);  // PANEL_COUNT when it is none of them
// Offers a command to the code, data, log, CPU, source and watch panels in this order;
// true when one took it.
bool panels_offer_command(int command);
