// The keyboard command processor as the message loop and the main window see it.
#pragma once
#include <windows.h>

// Offered every message before it is translated and dispatched; true when consumed.
bool keyb_filter_message(const MSG *message);
// Keys are only looked up while the application is active (and not around modal dialogs).
void keyb_set_active(bool active);
bool keyb_active();
// Registers the combination text as hot key id of hwnd; false when the text does not
// parse or the system refuses the key.
bool keyb_register_hotkey(HWND hwnd, const char *text, int id);
