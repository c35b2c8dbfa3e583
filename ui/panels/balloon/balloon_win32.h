// The command balloon (window class "balloon"): a speech bubble listing the commands of
// the focused window for the modifier keys held, or every plain-key command after F1. It is
// never activated, so the next key still goes to the focused window; a click on a row runs
// the command.
#pragma once
#include <windows.h>

#include "ui/keyb_lookup.h"
#include "ui/panels/balloon/balloon_geometry.h"

struct CommandBalloon {
  HWND hwnd, target;
  uint8_t modifiers;
  CommandRef entries[BALLOON_ROWS_MAX];
  BalloonRow rows[BALLOON_ROWS_MAX];
  int count;
  char header[80];
  int x, y, width, height;
  RECT target_rect;
  int hovered, pressed;  // -1 for none
  RECT hovered_rect;
};
extern CommandBalloon g_balloon;

// The balloon's own messages and its paint (see ui/panels/panel_windows.h).
LRESULT CALLBACK balloon_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void balloon_draw(HDC dc);
// The focused window as the keyboard processor reports it, with the modifiers held now.
void balloon_report(void *focus);
void balloon_hide();
// Lists the focused window's commands for the modifiers held now (all plain keys without).
void balloon_show_all();
