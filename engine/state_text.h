// The status text of the debuggee's state, free of windows: the engine's own status and
// the status bar's state pane both show it.
#pragma once
#include <stddef.h>

struct StateFacts {
  int state;               // DebuggeeState
  int exit_code;
  const char *pause_text;  // empty when there is no reason
  const char *error_text;  // the last error's text, empty when it is 0
};

// Which of the facts the text was taken from.
enum StateTextSource { STATE_TEXT_OWN, STATE_TEXT_PAUSE, STATE_TEXT_ERROR };

// A paused debuggee shows its pause reason, else its last error, else "OK."; the other
// states their own text, an exited one with its exit code. Unknown states read as not
// loaded.
StateTextSource debuggee_state_text(const StateFacts &facts, char *out, size_t outlen);
