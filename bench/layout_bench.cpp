// Relayouts per second over the holders of the default layout script, and bar drags (a
// move of the bar and the relayout that follows, as on every mouse move of a drag).
// Neither may allocate: the zone's block count is shown before and after.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/host --target layout_bench && build/host/bench/layout_bench
#include <stdio.h>

#include <chrono>
#include <string>

#include "ui/layout_drag.h"
#include "ui/layout_load.h"
#include "ui/layout_size.h"
#include "util/zone.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs step(i) for about a second; gives steps per second.
template <typename F>
double rate(F step) {
  long runs = 0;
  double start = now(), elapsed = 0;
  while (elapsed < 1.0) {
    for (int i = 0; i < 1000; i++) step(runs + i);
    runs += 1000;
    elapsed = now() - start;
  }
  return runs / elapsed;
}

}  // namespace

int main() {
  Layout layout = {};
  if (layout_read_file(&layout, KQ_DEFAULT_LAYOUT, 0) != LAYOUT_LOADED) {
    fprintf(stderr, "cannot load %s\n", KQ_DEFAULT_LAYOUT);
    return 1;
  }
  printf("%-16s %8s %6s %16s\n", "holder", "sections", "bars", "relayouts/s");
  int blocks = zone_block_count();
  for (int i = 0; i < layout.holdernum; i++) {
    Holder *h = layout.holders[i];
    // The size changes every time, as while the main window is resized.
    double r = rate([h](long k) { layout_relayout(h, 800 + (int)(k & 63), 600 + (int)(k & 31)); });
    printf("%-16s %8d %6d %16.0f\n", h->id, h->secnum, h->barnum, r);
  }

  // A drag of reg's right bar in CodeTopBottom, back and forth over 200 pixels.
  Holder *h = nullptr;
  for (int i = 0; i < layout.holdernum; i++)
    if (h == nullptr && std::string(layout.holders[i]->id) == "CodeTopBottom") h = layout.holders[i];
  layout_relayout(h, 1024, 768);
  layout_drag_begin(h, LayoutPoint{139, 500});
  double drags = rate([h](long k) {
    int x = 140 + (int)(k % 400 < 200 ? k % 200 : 200 - k % 200);
    layout_drag_move(h, LayoutPoint{x - 1, 500});
  });
  layout_drag_end(h, LayoutPoint{139, 500});
  printf("%-16s %8d %6d %16.0f  (bar drags/s)\n", "CodeTopBottom", h->secnum, h->barnum, drags);
  printf("zone blocks before %d, after %d\n", blocks, zone_block_count());
  layout_free(&layout);
  return 0;
}
