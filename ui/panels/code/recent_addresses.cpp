#include "ui/panels/code/recent_addresses.h"

#include <string.h>

RecentAddresses g_recent_addresses;

void recent_addresses_clear() { memset(&g_recent_addresses, 0, sizeof g_recent_addresses); }

void recent_address_enter(uint32_t address) {
  RecentAddresses &r = g_recent_addresses;
  RecentAddress *oldest = &r.entries[0];
  for (RecentAddress &e : r.entries) {
    if (e.time && e.address == address) {
      e.time = ++r.clock;
      return;
    }
    if (e.time < oldest->time) oldest = &e;
  }
  *oldest = {address, ++r.clock};
}

uint32_t recent_address_next(uint32_t address) {
  uint32_t next = 0;
  for (const RecentAddress &e : g_recent_addresses.entries)
    if (e.time && e.address > address && (!next || e.address < next)) next = e.address;
  return next;
}
