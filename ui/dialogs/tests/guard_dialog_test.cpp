// The guard dialog's choice of the row for an offered expression, over the engine's slots.
#include "ui/dialogs/guard_dialog.h"

#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/guards.h"

namespace {

TEST(GuardDialog, OfferedExpressionFindsItsRow) {
  engine_init();
  struct Case {
    const char *slots[GUARD_SLOTS];
    const char *offered, *recent;
    int row;
    bool ask;
  } cases[] = {
      {{"a", "", "c", ""}, "x", "", 1, false},           // the first free slot
      {{"a", "x", "", ""}, "x", "", GUARD_OFFER_NONE, false},  // held already
      {{"a", "b", "c", "d"}, "x", "c", 2, true},         // full: the most recent one, asked
      {{"a", "b", "c", "d"}, "x", "gone", GUARD_OFFER_FULL, false},
      {{"a", "b", "c", "d"}, "", "c", GUARD_OFFER_NONE, false},  // nothing offered
  };
  for (const Case &c : cases) {
    for (int n = 0; n < GUARD_SLOTS; n++) guard_set(n, c.slots[n], "");
    GuardOfferChoice choice = guard_offer_row(c.offered, c.recent);
    EXPECT_EQ(choice.row, c.row) << c.offered << " " << c.recent;
    EXPECT_EQ(choice.ask_recent, c.ask) << c.offered << " " << c.recent;
  }
  engine_shutdown();
}

}  // namespace
