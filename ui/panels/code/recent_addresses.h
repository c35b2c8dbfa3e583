// The table of recently visited addresses: the entry point at load, every pause, every
// search hit. The code panel starts its listing at the nearest of them.
#pragma once
#include <stdint.h>

enum { RECENT_ADDRESS_COUNT = 200 };

struct RecentAddress {
  uint32_t address;
  uint64_t time;  // 0: unused
};

struct RecentAddresses {
  RecentAddress entries[RECENT_ADDRESS_COUNT];
  uint64_t clock;  // counts entries, so that "entered longest ago" is exact
};
extern RecentAddresses g_recent_addresses;

void recent_addresses_clear();
// An address already present only gets the new time; a new one replaces the entry
// entered longest ago.
void recent_address_enter(uint32_t address);
// The nearest recorded address above address, where the code panel starts a line; 0
// when there is none.
uint32_t recent_address_next(uint32_t address);
