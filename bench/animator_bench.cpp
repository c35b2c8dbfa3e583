// The animation panel's frame: one stack sampled into the graph (with the pull and fade of
// every link and particle), the set written as the window text, and the whole panel drawn
// into an 800 x 600 memory bitmap as it paints itself (grid, counters, a 40-line log page,
// the particle column, links, particles and labels). Call graphs of 10, 100 and 1,000
// functions, each with about one and about four links a function; the frame must stay
// within the 20 ms tick at 100 functions and grow no worse than linearly with the links.
//
// Run by hand under Wine (a release build):
//   cmake --build build/win32 --target animator_bench
//   cmake/wine-run.sh build/win32/bench/animator_bench.exe
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ui/panels/animator/animator_draw_win32.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/rich_text/tests/canvas_win32.h"
#include "util/zone.h"

namespace {

const int kWidth = 800, kHeight = 600, kFrames = 200, kStackDepth = 20, kLogLines = 40;

double now() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart / (double)frequency.QuadPart;
}

// A call graph as the stacks that make it: the first ones pass every function once (a
// chain through a shuffled order), the others add random caller-callee pairs until there
// are about links_per_function links a function. Frames are the sampled form.
struct CallGraph {
  std::vector<std::string> names;
  std::vector<std::vector<AnimatorFrame>> stacks;
};

CallGraph make_graph(int functions, int links_per_function) {
  std::mt19937 random(functions * 10 + links_per_function);
  CallGraph graph;
  for (int i = 0; i < functions; i++) graph.names.push_back("function_" + std::to_string(i));
  const int depth = std::min(functions, (int)ANIMATOR_FRAMES_MAX);
  std::vector<int> order(functions);
  for (int i = 0; i < functions; i++) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);
  auto frame = [&](int f) {
    return AnimatorFrame{0x401000u + 16u * (uint32_t)f, graph.names[f].c_str()};
  };
  for (int start = 0; start < functions; start += depth) {
    graph.stacks.emplace_back();
    for (int i = start; i < functions && i < start + depth; i++)
      graph.stacks.back().push_back(frame(order[i]));
  }
  const int more = (links_per_function - 1) * functions / (depth - 1);
  for (int s = 0; s < more; s++) {
    std::shuffle(order.begin(), order.end(), random);
    graph.stacks.emplace_back();
    for (int i = 0; i < depth; i++) graph.stacks.back().push_back(frame(order[i]));
  }
  return graph;
}

// Each timed frame samples a slice of one of the graph's stacks: the pairs met again, none
// new, so the graph keeps its size while it is measured.
struct Slices {
  const CallGraph *graph;
  int next;
};

int take(void *context, AnimatorFrame *out, int max) {
  Slices *s = (Slices *)context;
  const auto &stack = s->graph->stacks[s->next++ % s->graph->stacks.size()];
  const int count = std::min({(int)stack.size(), kStackDepth, max});
  const int first = rand() % ((int)stack.size() - count + 1);
  std::copy(stack.begin() + first, stack.begin() + first + count, out);
  return count;
}

struct Row {
  int particles, links;
  double sample, text, draw;  // microseconds, median of the frames
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

Row measure(const CallGraph &graph, HDC dc, AnimatorDocs *docs) {
  AnimatorGraph g;
  animator_init(&g, 1);
  for (const auto &stack : graph.stacks) animator_sample(&g, stack.data(), (int)stack.size());
  Slices slices = {&graph, 0};
  const AnimatorStack source = {take, &slices};
  const RECT client = {0, 0, kWidth, kHeight};
  std::vector<double> sample, text, draw;
  for (int frame = 0; frame < kFrames; frame++) {
    const double t0 = now();
    animator_tick(&g, true, &source);
    const double t1 = now();
    zone_free(animator_describe(&g, 0));
    const double t2 = now();
    animator_draw(dc, &client, &g, docs, 0);
    GdiFlush();
    const double t3 = now();
    sample.push_back((t1 - t0) * 1e6);
    text.push_back((t2 - t1) * 1e6);
    draw.push_back((t3 - t2) * 1e6);
  }
  Row row = {animator_particle_count(&g), animator_link_count(&g), median(sample), median(text),
             median(draw)};
  animator_free(&g);
  return row;
}

}  // namespace

int main() {
  srand(1);
  RichGdiMeasurer gdi;
  if (!rich_gdi_measurer_init(&gdi, (HFONT)GetStockObject(SYSTEM_FIXED_FONT),
                              (HFONT)GetStockObject(ANSI_FIXED_FONT), ANIMATOR_PAPER,
                              GetModuleHandleA(nullptr)))
    return 1;
  Canvas canvas(kWidth, kHeight);  // the panels' back buffer is such a bitmap
  if (!canvas.bitmap) return 1;
  AnimatorDocs docs = {rich_create(&gdi.measurer), rich_create(&gdi.measurer),
                       rich_create(&gdi.measurer)};
  for (int i = 0; i < kLogLines; i++)
    rich_put_format(docs.log, "%i\tdeliver_debugger_event: EVN_Pause at %X\n", i, 0x401000 + i);

  printf("one frame into a %dx%d bitmap, stacks of %d frames, median of %d frames\n", kWidth,
         kHeight, kStackDepth, kFrames);
  printf("%9s %9s %7s %11s %9s %9s %9s %11s\n", "functions", "particles", "links",
         "sample us", "text us", "draw us", "frame ms", "us per link");
  for (int functions : {10, 100, 1000})
    for (int per_function : {1, 4}) {
      const CallGraph graph = make_graph(functions, per_function);
      const Row r = measure(graph, canvas.dc, &docs);
      const double frame = r.sample + r.text + r.draw;
      printf("%9d %9d %7d %11.1f %9.1f %9.1f %9.2f %11.2f\n", functions, r.particles, r.links,
             r.sample, r.text, r.draw, frame / 1000, frame / (r.links ? r.links : 1));
    }
  rich_destroy(docs.counters);
  rich_destroy(docs.column);
  rich_destroy(docs.log);
  rich_gdi_measurer_free(&gdi);
  return 0;
}
