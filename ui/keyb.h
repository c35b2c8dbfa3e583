// The keyboard command processor as the message loop, the main window and the panels see
// it: the filter, menus labelled and built from command tables, and the global hot key.
#pragma once
#include <windows.h>

#include "ui/keyb_lookup.h"

// Installs the window-system seam and starts with no table, active, no modifier held.
void keyb_init();
// Offered every message before it is translated and dispatched; true when consumed.
bool keyb_filter_message(const MSG *message);
// Appends "\t" and the key to every item of the window's top-level menu whose command
// the table binds.
void keyb_label_menu(HWND window, const KeyCommand *table);
// A pop-up menu of the table at the cursor, owned by window, letter and digit keys marked
// with marker; the chosen command reaches window as WM_COMMAND.
BOOL keyb_context_menu(HWND window, const KeyCommand *table, HBITMAP marker);
// Registers the combination text as hot key id of hwnd; false when the text does not
// parse or the system refuses the key.
bool keyb_register_hotkey(HWND hwnd, const char *text, int id);
// Whether the system would take the combination as a hot key (tried and given back).
bool keyb_test_hotkey(const char *text);
