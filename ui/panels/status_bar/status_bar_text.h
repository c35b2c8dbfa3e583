// The status bar without the window: the panes laid out along a width, the texts of the
// debuggee's state and of the CPU time it spent.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "engine/state_text.h"

enum StatusPane {
  PANE_MODE, PANE_LOCATION, PANE_TIME, PANE_STATE, PANE_HINT, PANE_GRIP, PANE_COUNT
};

struct StatusPaneRow {
  int minimum;  // pixels
  int weight;   // share of the width beyond the minimums
  const char *tooltip;
};
extern const StatusPaneRow kStatusPanes[PANE_COUNT];

struct PaneSpan {
  int left, right;  // already narrowed by the gap at both sides
};
enum { PANE_GAP = 2 };
// The panes from the left across a client width; panes beyond the width fall outside.
void status_pane_layout(int width, PaneSpan spans[PANE_COUNT]);
// The pane under x; PANE_COUNT for none (gaps between panes belong to no pane).
int status_pane_at(const PaneSpan spans[PANE_COUNT], int x);

// What the state pane shows, by kind.
enum StateKind {
  STATE_IDLE = 0,       // not loaded or loading
  STATE_RUNNING = 1,
  STATE_EXITED = 2,
  STATE_REASON = 3,     // paused by a guard or an exception with a known reason
  STATE_LAST_ERROR = 4, // paused, the last error is not zero
  STATE_OK = 5,         // paused, nothing to report
};
// The state's text and what kind of text it is.
StateKind status_state_text(const StateFacts &facts, char *out, size_t outlen);

// A CPU time in 100 ns units as "%s %s" (number, unit): nano, mc, ml or sec by its
// number of decimal digits; "no time" for zero, "unknown" for all ones (the system could
// not tell).
void status_time_text(uint64_t units, char *out, size_t outlen);
