// The function-key bar (window class "menu"): ten buttons F1 to F10 along the top of the
// main window showing what each key runs in the focused window for the modifiers held, in
// the colour of that modifier state; a click runs the button's command as the key would.
#pragma once
#include <windows.h>

#include "ui/keyb_lookup.h"
#include "ui/panels/function_keys/function_keys_layout.h"

struct FunctionKeyBar {
  HWND hwnd;
  CommandRef keys[FKEY_BUTTONS];
  int key_width[FKEY_BUTTONS], title_width[FKEY_BUTTONS];
  int hovered, pressed;  // -1 for none
  RECT hovered_rect, pressed_rect;
};
extern FunctionKeyBar g_fkeys;

// The bar's own messages and its paint (see ui/panels/panel_windows.h).
LRESULT CALLBACK function_keys_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void function_keys_draw(HDC dc);
// The keys of the current tables and modifiers, measured and drawn again.
void function_keys_refresh();
void function_keys_enable(bool enabled);
