#include <gtest/gtest.h>

#include "ui/panels/code/recent_addresses.h"

TEST(RecentAddresses, RevisitRefreshesAndTheOldestMakesRoom) {
  recent_addresses_clear();
  for (uint32_t i = 0; i < RECENT_ADDRESS_COUNT; i++) recent_address_enter(0x1000 + i * 16);
  recent_address_enter(0x1000);  // visited again: now the newest
  recent_address_enter(0x9000);  // replaces 0x1010, entered longest ago
  uint32_t found = 0;
  EXPECT_TRUE(recent_address_nearest_below(0x1005, 0x100, &found));
  EXPECT_EQ(found, 0x1000u);
  EXPECT_TRUE(recent_address_nearest_below(0x101F, 0x100, &found));
  EXPECT_EQ(found, 0x1000u);  // 0x1010 is gone
  EXPECT_TRUE(recent_address_nearest_below(0x9000, 0, &found));
  EXPECT_FALSE(recent_address_nearest_below(0xFFF, 0x100, &found));
  recent_addresses_clear();
  EXPECT_FALSE(recent_address_nearest_below(0x1000, 0x100, &found));
}
