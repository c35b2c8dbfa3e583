#include <gtest/gtest.h>

#include "ui/panels/status_bar/status_bar_text.h"

TEST(StatusBarText, PanesShareTheWidthByWeight) {
  struct { int width; int lefts[PANE_COUNT]; int rights[PANE_COUNT]; } cases[] = {
      // The minimums take 660 pixels: a narrower bar keeps them and the last panes fall
      // outside the window.
      {500, {2, 22, 222, 302, 462, 642}, {18, 218, 298, 458, 638, 658}},
      {660, {2, 22, 222, 302, 462, 642}, {18, 218, 298, 458, 638, 658}},
      // 240 extra: 40 to the location, 100 each to state and hint.
      {900, {2, 22, 262, 342, 602, 882}, {18, 258, 338, 598, 878, 898}},
      // 60 extra: 10, 25, 25.
      {720, {2, 22, 232, 312, 497, 702}, {18, 228, 308, 493, 698, 718}},
      {0, {2, 22, 222, 302, 462, 642}, {18, 218, 298, 458, 638, 658}},
  };
  for (auto &c : cases) {
    PaneSpan spans[PANE_COUNT];
    status_pane_layout(c.width, spans);
    for (int i = 0; i < PANE_COUNT; i++) {
      EXPECT_EQ(spans[i].left, c.lefts[i]) << c.width << " pane " << i;
      EXPECT_EQ(spans[i].right, c.rights[i]) << c.width << " pane " << i;
    }
  }
}

TEST(StatusBarText, PaneUnderAPoint) {
  PaneSpan spans[PANE_COUNT];
  status_pane_layout(900, spans);
  struct { int x, pane; } cases[] = {{0, PANE_COUNT}, {2, PANE_MODE}, {17, PANE_MODE},
                                     {18, PANE_COUNT}, {30, PANE_LOCATION}, {300, PANE_TIME},
                                     {500, PANE_STATE}, {700, PANE_HINT}, {890, PANE_GRIP},
                                     {899, PANE_COUNT}, {-5, PANE_COUNT}};
  for (auto &c : cases) EXPECT_EQ(status_pane_at(spans, c.x), c.pane) << c.x;
}

TEST(StatusBarText, StateTextsAndKinds) {
  struct { StateFacts facts; const char *text; StateKind kind; } cases[] = {
      {{0, 0, "", ""}, "Not loaded", STATE_IDLE},
      {{1, 0, "", ""}, "Loading...", STATE_IDLE},
      {{2, 0, "ignored", "ignored"}, "Running...", STATE_RUNNING},
      {{4, -3, "", ""}, "Exit -3", STATE_EXITED},
      {{4, 0, "", ""}, "Exit 0", STATE_EXITED},
      {{3, 0, "Breakpoint 'counter'", "File not found."}, "Breakpoint 'counter'", STATE_REASON},
      {{3, 0, "", "File not found."}, "File not found.", STATE_LAST_ERROR},
      {{3, 0, "", ""}, "OK.", STATE_OK},
  };
  for (auto &c : cases) {
    char text[260];
    EXPECT_EQ(status_state_text(c.facts, text, sizeof text), c.kind) << c.text;
    EXPECT_STREQ(text, c.text);
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
