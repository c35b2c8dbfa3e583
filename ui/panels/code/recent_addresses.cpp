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

bool recent_address_nearest_below(uint32_t address, uint32_t range, uint32_t *found) {
  bool any = false;
  for (const RecentAddress &e : g_recent_addresses.entries) {
    if (!e.time || e.address > address || address - e.address > range) continue;
    if (!any || e.address > *found) *found = e.address;
    any = true;
  }
  return any;
}
