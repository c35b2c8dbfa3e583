// The symbol store on real names: loading the exports of every DLL Wine installs as
// modules (map, PE dump, exports into the store), then name and address look-ups per
// second with all of them loaded, and the cost of definitions and look-ups at several
// store sizes, to show it grows like n log n (per-operation cost like log n).
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target symbols_bench
//   build/host/bench/symbols_bench
#include <dirent.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "bench/wine_dlls.h"
#include "settings/changes.h"
#include "symbols/address_name.h"
#include "symbols/entries.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_image.h"
#include "symbols/symbols.h"
#include "util/index.h"
#include "util/stringpool.h"
#include "util/zone.h"

namespace {

struct Symbol {
  std::string name;
  uint32_t address;
};

// Every entry in the store, in address order.
std::vector<Symbol> all_entries() {
  std::vector<Symbol> out;
  for (int id = 0; id < tab_count(&g_entries.table); id++) {
    if (!tab_in_use(&g_entries.table, id)) continue;
    const EntryRecord *e = *(EntryRecord **)tab_slot(&g_entries.table, id);
    out.push_back(Symbol{e->name, e->address});
  }
  std::sort(out.begin(), out.end(), [](const Symbol &a, const Symbol &b) { return a.address < b.address; });
  return out;
}

// Look-ups per second: names of the symbols, and addresses spread over their range.
void look_ups(const std::vector<Symbol> &symbols, int rounds, double *names_per_s,
              double *addresses_per_s, double *namings_per_s) {
  std::mt19937 rng(1);
  std::vector<const char *> names;
  std::vector<uint32_t> addresses;
  for (int i = 0; i < rounds; i++) {
    const Symbol &s = symbols[rng() % symbols.size()];
    names.push_back(s.name.c_str());
    addresses.push_back(s.address + rng() % 64);
  }
  uintptr_t sum = 0;
  double t0 = now();
  for (const char *n : names) sum += (uintptr_t)entry_find(n);
  double t1 = now();
  for (uint32_t a : addresses) sum += (uintptr_t)entry_nearest(a);
  double t2 = now();
  char text[300];
  for (uint32_t a : addresses) sum += address_name(0, a, true, text, sizeof text);
  double t3 = now();
  *names_per_s = rounds / (t1 - t0);
  *addresses_per_s = rounds / (t2 - t1);
  *namings_per_s = rounds / (t3 - t2);
  if (sum == 1) printf("\n");  // keeps the work
}

// Comparisons counted through the indexes' own comparators: a measure of the work that
// the machine's load and caches do not blur.
IndexCompare g_by_address, g_by_name;
long g_comparisons;

int count_address(const void *key, uint32_t context, uint32_t id) {
  g_comparisons++;
  return g_by_address(key, context, id);
}

int count_name(const void *key, uint32_t context, uint32_t id) {
  g_comparisons++;
  return g_by_name(key, context, id);
}

}  // namespace

int main() {
  pool_init();
  symbols_init();
  double load = load_wine_dlls();
  std::vector<Symbol> symbols = all_entries();
  printf("Loaded %d Wine DLLs (map, PE dump, exports) in %.3f s: %d entries, %.0f entries/s\n",
         modules_count(), load, entries_count(), entries_count() / load);
  double names, addresses, namings;
  look_ups(symbols, 1000000, &names, &addresses, &namings);
  printf("With all loaded: %.0f name look-ups/s, %.0f address look-ups/s, %.0f address names/s\n",
         names, addresses, namings);
  modules_refresh_from(nullptr, 0);

  // Definitions of n symbols (in a shuffled order) into an empty store, then look-ups;
  // per-operation cost divided by log2 n should stay about level. Best of five runs,
  // the machine being shared.
  std::mt19937 rng(2);
  std::shuffle(symbols.begin(), symbols.end(), rng);
  g_by_address = g_entries.by_address.compare;
  g_by_name = g_entries.by_name.compare;
  g_entries.by_address.compare = count_address;
  g_entries.by_name.compare = count_name;
  printf("\n%8s %10s %12s %10s %10s %12s %12s %10s %10s\n", "n", "define ms", "def ns/log2n",
         "name ns", "addr ns", "name/log2n", "addr/log2n", "cmp/def", "cmp/find");
  for (int shift = 4; shift >= 0; shift--) {
    size_t n = symbols.size() >> shift;
    std::vector<Symbol> part(symbols.begin(), symbols.begin() + n);
    double define = 1e9, name_ns = 1e9, address_ns = 1e9;
    long define_cmp = 0, find_cmp = 0;
    for (int run = 0; run < 5; run++) {
      g_comparisons = 0;
      double s0 = now();
      for (const Symbol &s : part) entry_define(s.name.c_str(), s.address, nullptr, nullptr);
      define = std::min(define, now() - s0);
      define_cmp = g_comparisons;
      g_comparisons = 0;
      for (int i = 0; i < 1000; i++) entry_find(part[(size_t)i * 7919 % n].name.c_str());
      find_cmp = g_comparisons;
      look_ups(part, 300000, &names, &addresses, &namings);
      name_ns = std::min(name_ns, 1e9 / names);
      address_ns = std::min(address_ns, 1e9 / addresses);
      entries_clear();
    }
    double log_n = log2((double)n);
    printf("%8zu %10.2f %12.1f %10.1f %10.1f %12.1f %12.1f %10.1f %10.1f\n", n, define * 1e3,
           define / n * 1e9 / log_n, name_ns, address_ns, name_ns / log_n, address_ns / log_n,
           (double)define_cmp / n, find_cmp / 1000.0);
  }
  symbols_shutdown();
  pool_free();
  return 0;
}
