#include <gtest/gtest.h>

#include <vector>

#include "settings/changes.h"

static std::vector<int> g_calls;
static int g_raise_from_listener = 0;

static void record(int argument) {
  g_calls.push_back(argument);
  if (g_raise_from_listener) changes_raise(g_raise_from_listener);
}

struct Broadcast : ::testing::Test {
  void SetUp() override {
    changes_clear();
    g_calls.clear();
    g_raise_from_listener = 0;
  }
  void TearDown() override { changes_free(); }
};

TEST_F(Broadcast, CoalescesAndCallsLastRegisteredFirst) {
  changes_add_listener(record, 1);
  changes_add_listener(record, 2);
  changes_add_listener(record, 3);
  EXPECT_EQ(changes_broadcast(), 0);  // nothing pending: nobody is called
  changes_raise(CHG_STATE);
  changes_raise(CHG_STATE);
  changes_raise(CHG_STATE);
  EXPECT_EQ(changes_broadcast(), 3);
  EXPECT_EQ(g_calls, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(changes_broadcast(), 0);
  EXPECT_FALSE(changes_test(CHG_STATE));  // current only during the broadcast
}

static bool g_seen_state, g_seen_any;
static void inspect(int) {
  g_seen_state = changes_test(CHG_STATE);
  static const int list[] = {CHG_MEMORY, CHG_MODULES, 0};
  g_seen_any = changes_test_any(list);
}

TEST_F(Broadcast, ListenersSeeTheCurrentFlags) {
  changes_add_listener(inspect, 0);
  changes_raise(CHG_MODULES);
  changes_broadcast();
  EXPECT_FALSE(g_seen_state);
  EXPECT_TRUE(g_seen_any);
}

TEST_F(Broadcast, FlagRaisedDuringBroadcastWaitsForTheNextTick) {
  changes_add_listener(record, 7);
  g_raise_from_listener = CHG_SETTINGS;
  changes_raise(CHG_STATE);
  EXPECT_EQ(changes_broadcast(), 1);
  EXPECT_TRUE(g_changes.pending[CHG_SETTINGS]);
  g_raise_from_listener = 0;
  EXPECT_EQ(changes_broadcast(), 1);
  EXPECT_EQ(changes_broadcast(), 0);
}

TEST_F(Broadcast, RemoveTakesTheLastMatchingEntry) {
  changes_add_listener(record, 1);
  changes_add_listener(record, 2);
  changes_add_listener(record, 1);
  changes_add_listener(record, 3);
  EXPECT_TRUE(changes_remove_listener(record, 1));
  EXPECT_FALSE(changes_remove_listener(record, 9));
  changes_raise(CHG_GUARDS);
  changes_broadcast();
  EXPECT_EQ(g_calls, (std::vector<int>{3, 2, 1}));
}

static void remove_self(int argument) {
  g_calls.push_back(argument);
  changes_remove_listener(remove_self, argument);
}

TEST_F(Broadcast, ListenerMayRemoveItselfDuringBroadcast) {
  changes_add_listener(record, 1);
  changes_add_listener(remove_self, 2);
  changes_add_listener(remove_self, 3);
  changes_raise(CHG_STATE);
  changes_broadcast();
  EXPECT_EQ(g_calls, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(g_changes.listener_count, 1);
}
