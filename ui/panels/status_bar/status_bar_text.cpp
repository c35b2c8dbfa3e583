#include "ui/panels/status_bar/status_bar_text.h"

#include <stdio.h>

#include "util/path.h"

const StatusPaneRow kStatusPanes[PANE_COUNT] = {
    {20, 0, "The source/code mode"},
    {200, 20, "The current location"},
    {80, 0, "The time spent by process execution"},
    {160, 50, "The process's status or the last error code"},
    {180, 50, "The tooltip text"},
    {20, 0, "The sizing grip"},
};

void status_pane_layout(int width, PaneSpan spans[PANE_COUNT]) {
  int minimums = 0, weights = 0;
  for (const StatusPaneRow &p : kStatusPanes) {
    minimums += p.minimum;
    weights += p.weight;
  }
  int extra = width > minimums ? width - minimums : 0;
  int x = 0;
  for (int i = 0; i < PANE_COUNT; i++) {
    int w = kStatusPanes[i].minimum + extra * kStatusPanes[i].weight / weights;
    spans[i] = {x + PANE_GAP, x + w - PANE_GAP};
    x += w;
  }
}

int status_pane_at(const PaneSpan spans[PANE_COUNT], int x) {
  for (int i = 0; i < PANE_COUNT; i++)
    if (x >= spans[i].left && x < spans[i].right) return i;
  return PANE_COUNT;
}

// Kinds by DebuggeeState of the states' own texts.
static const StateKind kStateKinds[] = {STATE_IDLE, STATE_IDLE,   STATE_RUNNING,
                                        STATE_OK,   STATE_EXITED, STATE_IDLE};

StateKind status_state_text(const StateFacts &facts, char *out, size_t outlen) {
  switch (debuggee_state_text(facts, out, outlen)) {
    case STATE_TEXT_PAUSE: return STATE_REASON;
    case STATE_TEXT_ERROR: return STATE_LAST_ERROR;
    default: break;
  }
  bool known = facts.state >= 0 && facts.state < (int)(sizeof kStateKinds / sizeof kStateKinds[0]);
  return known ? kStateKinds[facts.state] : STATE_IDLE;
}

// Units by the number of digits of the count of 100 ns: the digits that stand for the
// whole unit, and at most three after the point.
static const struct {
  int max_digits;
  const char *unit;
  int fraction_digits;  // digits of the count below one unit
} kTimeUnits[] = {{1, "nano", -2}, {4, "mc", 1}, {7, "ml", 4}, {99, "sec", 7}};
enum { TIME_FRACTION_SHOWN = 3 };

void status_time_text(uint64_t units, char *out, size_t outlen) {
  if (!units || units == UINT64_MAX) {
    text_copy(out, outlen, units ? "unknown" : "no time");
    return;
  }
  char digits[32];
  int d = snprintf(digits, sizeof digits, "%llu", (unsigned long long)units);
  int row = 0;
  while (d > kTimeUnits[row].max_digits) row++;
  int fraction = kTimeUnits[row].fraction_digits;
  if (fraction < 0) {  // a single digit: whole nanoseconds
    snprintf(out, outlen, "%llu %s", (unsigned long long)units * 100, kTimeUnits[row].unit);
    return;
  }
  // Every unit from mc up has at least one digit before the point.
  int whole = d - fraction;
  int shown = fraction < TIME_FRACTION_SHOWN ? fraction : TIME_FRACTION_SHOWN;
  char number[40];
  snprintf(number, sizeof number, "%.*s.%.*s", whole, digits, shown, digits + whole);
  snprintf(out, outlen, "%s %s", number, kTimeUnits[row].unit);
}
