#include "engine/state_text.h"

#include <stdio.h>

#include "engine/debuggee.h"
#include "util/path.h"

// Texts by DebuggeeState; a paused debuggee shows its own only when it has no better
// reason to give.
static const char *const kStateTexts[] = {"Not loaded", "Loading...", "Running...",
                                          "OK.",        "Exit %i",    ""};

StateTextSource debuggee_state_text(const StateFacts &facts, char *out, size_t outlen) {
  if (facts.state == DS_PAUSED) {
    if (facts.pause_text[0]) {
      text_copy(out, outlen, facts.pause_text);
      return STATE_TEXT_PAUSE;
    }
    if (facts.error_text[0]) {
      text_copy(out, outlen, facts.error_text);
      return STATE_TEXT_ERROR;
    }
  }
  int state = facts.state >= 0 && facts.state < (int)(sizeof kStateTexts / sizeof kStateTexts[0])
                  ? facts.state : DS_NOTLOADED;
  snprintf(out, outlen, kStateTexts[state], facts.exit_code);
  return STATE_TEXT_OWN;
}
