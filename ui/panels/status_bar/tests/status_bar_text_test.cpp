#include <gtest/gtest.h>

#include "ui/panels/status_bar/status_bar_text.h"

// The panes follow each other with a gap on both sides; none is narrower than its
// minimum; what the width has beyond the minimums goes to the panes by weight, less at
// most a pixel each for rounding; a narrow bar keeps the minimums.
TEST(StatusBarText, PanesShareTheWidthByWeight) {
  int minimums = 0, weights = 0;
  for (const StatusPaneRow &p : kStatusPanes) minimums += p.minimum, weights += p.weight;
  for (int width : {0, 500, minimums, minimums + 60, 900, 1913}) {
    SCOPED_TRACE(width);
    PaneSpan spans[PANE_COUNT];
    status_pane_layout(width, spans);
    const int extra = width > minimums ? width - minimums : 0;
    int x = 0;
    for (int i = 0; i < PANE_COUNT; i++) {
      EXPECT_EQ(spans[i].left, x + PANE_GAP) << i;
      const int w = spans[i].right + PANE_GAP - x;
      EXPECT_GE(w, kStatusPanes[i].minimum) << i;
      EXPECT_NEAR(w - kStatusPanes[i].minimum, (double)extra * kStatusPanes[i].weight / weights,
                  1.0) << i;
      // Each edge belongs to its pane, the gaps to none.
      EXPECT_EQ(status_pane_at(spans, spans[i].left), i);
      EXPECT_EQ(status_pane_at(spans, spans[i].right - 1), i);
      EXPECT_EQ(status_pane_at(spans, spans[i].left - 1), PANE_COUNT);
      EXPECT_EQ(status_pane_at(spans, spans[i].right), PANE_COUNT);
      x += w;
    }
    EXPECT_LE(x, width > minimums ? width : minimums);
    EXPECT_GT(x, (width > minimums ? width : minimums) - PANE_COUNT);
  }
}

// The state pane shows the pause's reason before the last error, and the exit code.
TEST(StatusBarText, StateTextsAndKinds) {
  struct { StateFacts facts; const char *text; StateKind kind; } cases[] = {
      {{0, 0, "", ""}, nullptr, STATE_IDLE},
      {{1, 0, "", ""}, nullptr, STATE_IDLE},
      {{2, 0, "ignored", "ignored"}, nullptr, STATE_RUNNING},
      {{4, -3, "", ""}, "Exit -3", STATE_EXITED},
      {{3, 0, "Breakpoint 'counter'", "File not found."}, "Breakpoint 'counter'", STATE_REASON},
      {{3, 0, "", "File not found."}, "File not found.", STATE_LAST_ERROR},
      {{3, 0, "", ""}, nullptr, STATE_OK},
  };
  for (auto &c : cases) {
    char text[260];
    EXPECT_EQ(status_state_text(c.facts, text, sizeof text), c.kind) << c.facts.state;
    if (c.text) {
      EXPECT_STREQ(text, c.text);
    }
  }
}

TEST(StatusBarText, TimeInTheUnitOfItsDigits) {
  struct { unsigned long long units; const char *text; } cases[] = {
      {0, "no time"},
      {1, "100 nano"},
      {9, "900 nano"},
      {10, "1.0 mc"},
      {1234, "123.4 mc"},
      {9999, "999.9 mc"},
      {10000, "1.000 ml"},
      {12345, "1.234 ml"},
      {9999999, "999.999 ml"},
      {10000000, "1.000 sec"},
      {123456789, "12.345 sec"},
      {18446744073709551614ull, "1844674407370.955 sec"},
      {18446744073709551615ull, "unknown"},  // the system could not tell
  };
  for (auto &c : cases) {
    char text[64];
    status_time_text(c.units, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.units;
  }
  char tiny[5];
  status_time_text(12345, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "1.23");
}
