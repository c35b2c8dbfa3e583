// Data guards: the DR7 encoding, and guards on the "probe" debuggee's 2-byte global.
#include "engine/address_eval.h"
#include "engine/guard_dialog.h"
#include "engine/guards.h"
#include "engine/tests/debuggee_fixture.h"

namespace {

using namespace engine_test;

TEST(GuardDr7, SlotFieldsAndEnableBits) {
  struct Case {
    uint32_t dr7;
    int slot;
    uint32_t length, expected;
  } cases[] = {
      {0, 0, 1, 0x00010003},          // write, 1 byte
      {0, 1, 2, 0x0050000C},          // write, 2 bytes: length code 1
      {0, 2, 3, 0x09000030},          // 3 bytes: length code 2
      {0, 3, 4, 0xD00000C0},          // 4 bytes: length code 3
      {0, 3, 8, 0xD00000C0},          // longer values are watched as 4 bytes
      {0xFFFFFFFF, 1, 0, 0xFF0FFFF3}, // disarm clears only slot 1
      {0x00010003, 0, 2, 0x00050003}, // re-arming replaces the old field
  };
  for (const Case &c : cases)
    EXPECT_EQ(guard_dr7(c.dr7, c.slot, c.length), c.expected) << c.slot << " " << c.length;
}

uint32_t g_word_address;

// The evaluator that will come knows variables and their types; this one knows one.
bool locate_word(const char *text, uint32_t *address, uint32_t *size) {
  if (strcmp(text, "g_word")) return false;
  *address = g_word_address;
  *size = 2;
  return true;
}

bool condition_value(const char *text, uint32_t *value) {
  if (!strcmp(text, "zero")) *value = 0;
  else if (!strcmp(text, "one")) *value = 1;
  else return false;
  return true;
}

class Guards : public Probe {
 protected:
  void SetUp() override {
    Probe::SetUp();
    AddressEvaluator eval = g_address_eval;
    eval.locate = locate_word;
    eval.condition = condition_value;
    address_eval_install(&eval);
  }
  void TearDown() override {
    address_eval_install(nullptr);
    Probe::TearDown();
  }
  bool start() {
    if (!launch_probe()) return false;
    g_word_address = table_.word;
    return true;
  }
  // Resumes until the program ends; gives the guard stops on the way, the first of which
  // should see the value first.
  int count_guard_stops(int slot, int first = 1) {
    int stops = 0;
    while (debuggee_resume() && drain_until_stop() && debuggee_state() == DS_PAUSED) {
      EXPECT_EQ(g_debuggee.pause.code, 0x80000004u);
      EXPECT_EQ(g_debuggee.pause.guard_index, slot);
      uint16_t word = 0;
      memory_read(table_.word, &word, 2);
      EXPECT_EQ(word, first + stops);
      stops++;
    }
    return stops;
  }
};

TEST_F(Guards, TwoByteGuardStopsAtEachWriteWithItsSlot) {
  ASSERT_TRUE(start());
  EXPECT_EQ(guard_add("somewhere", ""), 0);  // does not evaluate: kept, not armed
  memset(&g_changes, 0, sizeof g_changes);
  EXPECT_EQ(guard_add("g_word", ""), 1);
  EXPECT_TRUE(g_changes.pending[CHG_GUARDS]);
  char line[64];
  snprintf(line, sizeof line, "Guard [1] is set to %X\n", (unsigned)table_.word);
  EXPECT_TRUE(has(log(), line)) << log();
  EXPECT_FALSE(has(log(), "Guard [0]")) << log();
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_DEBUG_REGISTERS;
  ASSERT_TRUE(GetThreadContext(g_debuggee.thread, &context));
  EXPECT_EQ(context.Dr1, table_.word);
  EXPECT_EQ(context.Dr7 & 0x00F0000C, 0x0050000Cu);
  char expression[KQ_PATH], condition[KQ_PATH];
  EXPECT_TRUE(guard_get(0, expression, sizeof expression, condition, sizeof condition));
  EXPECT_STREQ(expression, "somewhere");
  EXPECT_FALSE(guard_get(4, expression, sizeof expression, condition, sizeof condition));
  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(status(), "Breakpoint 'g_word'");
  EXPECT_EQ(count_guard_stops(1, 2), 4);  // the first was the one above
  EXPECT_EQ(debuggee_exit_code(), 0u);
}

TEST_F(Guards, FalseOrUnevaluableConditionLetsTheProgramRunOn) {
  for (const char *condition : {"zero", "no such thing"}) {
    ASSERT_TRUE(start());
    EXPECT_EQ(guard_add("g_word", condition), 0);
    EXPECT_EQ(count_guard_stops(0), 0);
    EXPECT_EQ(debuggee_state(), DS_EXITED);
    EXPECT_TRUE(debuggee_unload());
    guard_set(0, "", "");
  }
  ASSERT_TRUE(start());
  EXPECT_EQ(guard_add("g_word", "one"), 0);
  EXPECT_EQ(count_guard_stops(0), 5);
}

TEST_F(Guards, AllSlotsTakenGivesMinusOne) {
  for (int n = 0; n < GUARD_SLOTS; n++) EXPECT_EQ(guard_add("g_word", ""), n);
  EXPECT_EQ(guard_add("g_word", ""), -1);
  EXPECT_TRUE(guard_set(2, "", ""));
  EXPECT_EQ(guard_add("g_word", "one"), 2);
  EXPECT_FALSE(guard_set(4, "g_word", ""));
}

}  // namespace

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
