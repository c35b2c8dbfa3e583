// Drawing resources shared by every window, created before anything else and deleted
// after everything else.
#pragma once
#include <windows.h>

enum { PICTURE_COUNT = 6 };
// The slot of the flag (picture 180) that marks letter and digit items of context menus.
enum { PICTURE_MENU_MARKER = 4 };

struct GlobalResources {
  HGDIOBJ fixed_font[2];  // SYSTEM_FIXED_FONT
  HGDIOBJ gui_font[2];    // DEFAULT_GUI_FONT
  HFONT big_font;         // "Arial" 42/20 bold
  HFONT small_font;       // "Small Fonts" 8/4
  HBITMAP pictures[PICTURE_COUNT];
  COLORREF button_face;
};
extern GlobalResources g_resources;

void global_resources_create();
void global_resources_delete();
