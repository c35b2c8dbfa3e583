// The search's progress window (dialog 1280): shown while a search walks the debuggee's
// memory, with the active window disabled under it. Escape or its Cancel button asks the
// search to stop; the search's ticks take the thread's messages meanwhile.
#pragma once
#include <windows.h>

#include "ui/panels/code/code_panel_search.h"

enum { IDD_SEARCH_PROGRESS = 1280, IDC_SEARCH_LABEL = 1281, IDC_SEARCH_BAR = 1282 };

struct SearchProgress {
  HWND dialog, owner;
  int permille;           // the part of the way done, as last shown
  int phase;              // the label's blink, as last shown
  volatile int *stop;     // the search's stop flag
  const char *label;      // the blinking word
  // Only the window's own messages are taken: the work under it runs inside the handling
  // of another message (a debug event), whose followers must wait their turn.
  bool own_messages_only;
};

// Opens the window with its caption over the active window; false when it cannot. Other
// long work shows the same window with a word of its own, and may take only its messages.
bool search_progress_open(SearchProgress *p, const char *caption, volatile int *stop,
                          const char *label = "SEARCHING", bool own_messages_only = false);
// Shows the part done (0..1000) and takes every pending message of the thread.
void search_progress_tick(SearchProgress *p, int permille);
// Enables the owner again and destroys the window.
void search_progress_close(SearchProgress *p);

// What a panel's search walk over the debuggee's memory takes from here: the readable runs
// of the memory map (rebuilt when stale by the look-up), and the tick that shows the walk
// in the window whose SearchProgress is the walk's owner.
bool search_readable_run(uint32_t address, int direction, uint32_t *low, uint32_t *high);
void search_progress_walk_tick(CodeSearch *search, uint32_t address, int permille);

// Blends a colour over the rectangle with constant alpha (the panels' glass).
void blend_rect(HDC dc, const RECT &r, COLORREF color, BYTE alpha);
