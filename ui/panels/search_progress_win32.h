// The search's progress window (dialog 1280): shown while a search walks the debuggee's
// memory, with the active window disabled under it. Escape or its Cancel button asks the
// search to stop; the search's ticks take the thread's messages meanwhile.
#pragma once
#include <windows.h>

enum { IDD_SEARCH_PROGRESS = 1280, IDC_SEARCH_LABEL = 1281, IDC_SEARCH_BAR = 1282 };

struct SearchProgress {
  HWND dialog, owner;
  int permille;           // the part of the way done, as last shown
  int phase;              // the label's blink, as last shown
  volatile int *stop;     // the search's stop flag
};

// Opens the window with its caption over the active window; false when it cannot.
bool search_progress_open(SearchProgress *p, const char *caption, volatile int *stop);
// Shows the part done (0..1000) and takes every pending message of the thread.
void search_progress_tick(SearchProgress *p, int permille);
// Enables the owner again and destroys the window.
void search_progress_close(SearchProgress *p);

// Blends a colour over the rectangle with constant alpha (the panels' glass).
void blend_rect(HDC dc, const RECT &r, COLORREF color, BYTE alpha);
