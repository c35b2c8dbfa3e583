#include <gtest/gtest.h>

#include "ui/panels/code/recent_addresses.h"

TEST(RecentAddresses, RevisitRefreshesAndTheOldestMakesRoom) {
  recent_addresses_clear();
  for (uint32_t i = 0; i < RECENT_ADDRESS_COUNT; i++) recent_address_enter(0x1000 + i * 16);
  recent_address_enter(0x1000);  // visited again: now the newest
  recent_address_enter(0x9000);  // replaces 0x1010, entered longest ago
  EXPECT_EQ(recent_address_next(0xFFF), 0x1000u);
  EXPECT_EQ(recent_address_next(0x1000), 0x1020u);  // 0x1010 is gone
  EXPECT_EQ(recent_address_next(0x1005), 0x1020u);
  EXPECT_EQ(recent_address_next(0x1000 + (RECENT_ADDRESS_COUNT - 1) * 16), 0x9000u);
  EXPECT_EQ(recent_address_next(0x9000), 0u);
  recent_addresses_clear();
  EXPECT_EQ(recent_address_next(0), 0u);
}
