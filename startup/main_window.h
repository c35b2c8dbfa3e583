// The main window: its set-up, message handling, timer tick, hot key and shut-down.
#pragma once
#include <windows.h>

#include "util/path.h"

#define KQ_TITLE "Kaquin Debugger 1.4  (release May 23 2008)"

enum { MAIN_TIMER = 1, MAIN_HOTKEY = 1, TICK_MS = 20 };

struct MainWindowState {
  HWND hwnd;
  HWND hover;  // the window last under the mouse
  char layout_error[KQ_PATH];  // the user's layout script's syntax error, "" for none
};
extern MainWindowState g_main;

// Creates the main window (its creation message runs the window set-up).
HWND main_window_create();
LRESULT CALLBACK main_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// One timer tick: hover tracking, the debug-event drain, the change broadcast.
void main_timer_tick();
// The global hot key: pause and show, resume and minimise, or show/minimise.
void main_hotkey();
// Brings the main window to the foreground, restoring it only when it is minimised.
void main_to_front();
// Tells the user, once the main loop is about to run, why his layout script was not used.
void main_tell_layout_error();
// Handles a command of the main-window table; false for commands of no one.
bool main_command(int command);
