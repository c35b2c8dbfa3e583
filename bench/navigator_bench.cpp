// The navigator's symbol page with the exports of every DLL Wine installs loaded through
// the symbol store, as kq loads a program's modules: the time to fill the page's rows
// (every named entry collected and sorted by name) and to sort them by name again from a
// shuffled order, against sorting the same names as std::strings with strcasecmp. The
// page's list view is virtual: it takes the row count, not the rows, so filling the
// control adds nothing that grows with them. Also the module page over the 544 modules.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target navigator_bench
//   build/host/bench/navigator_bench
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bench/wine_dlls.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "ui/panels/navigator/navigator_stores.h"
#include "ui/panels/navigator/navigator_tables.h"
#include "util/stringpool.h"
#include "util/zone.h"

namespace {

// Best of the runs, the machine being shared.
template <typename Work>
double best_of(int runs, Work work) {
  double best = 1e9;
  for (int i = 0; i < runs; i++) {
    double t0 = now();
    work();
    best = std::min(best, now() - t0);
  }
  return best;
}

}  // namespace

int main() {
  pool_init();
  symbols_init();
  const double load = load_wine_dlls();
  printf("Loaded %d DLLs from %s in %.3f s: %d entries\n", modules_count(), kWineDir, load,
         entries_count());

  NavRowSet rows = {};
  const double fill = best_of(5, [&] { symbol_rows_fill(&rows, SYMBOLS_ALL, 0); });
  printf("Symbol page fill (collect and sort by name): %d rows in %.1f ms\n", rows.count,
         fill * 1e3);

  std::mt19937 rng(3);
  const NavListTable &table = nav_list_tables[NAV_SYMBOL];
  const double sort = best_of(5, [&] {
    std::shuffle(rows.rows, rows.rows + rows.count, rng);
    nav_rows_sort(&rows, table.methods, table.method_count, 1);
  });
  std::vector<std::string> names;
  for (int i = 0; i < rows.count; i++) names.push_back(nav_rows_text(&rows, i, 0));
  const double reference = best_of(5, [&] {
    std::shuffle(names.begin(), names.end(), rng);
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
      return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
  });
  printf("Sort by name from a shuffled order: %.1f ms (std::string with strcasecmp: %.1f ms)\n",
         sort * 1e3, reference * 1e3);
  // The shuffles above are part of each timed run; alone they are:
  const double shuffles = best_of(5, [&] { std::shuffle(rows.rows, rows.rows + rows.count, rng); });
  printf("  (of which the shuffle of the rows: %.1f ms)\n", shuffles * 1e3);

  const double modules = best_of(5, [&] { module_rows_fill(&rows); });
  printf("Module page fill: %d rows in %.2f ms\n", rows.count, modules * 1e3);

  nav_rows_free(&rows);
  modules_refresh_from(nullptr, 0);
  symbols_shutdown();
  pool_free();
  return 0;
}
