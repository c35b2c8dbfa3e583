// The data panel: pages of hex dump written per second (rows, cells, characters, through the
// fixed-width measurer), and the byte-sequence search through 64 MB of memory against the
// instruction search's pattern search over the same memory in the same run; and the same
// search walked over the memory's readable run a piece at a time with the progress ticks,
// as the panel runs it.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target data_panel_bench
//   build/host/bench/data_panel_bench
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <vector>

#include "symbols/symbols.h"
#include "ui/panels/data/data_panel_text.h"
#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/stringpool.h"
#include "x86/search.h"

namespace {

const uint32_t kBase = 0x10000000, kSize = 64u << 20;
std::vector<uint8_t> g_memory;

double seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int read_memory(uint32_t address, uint8_t *out, int count) {
  if (address < kBase || address - kBase >= kSize) return 0;
  const uint32_t left = kSize - (address - kBase);
  const int n = (uint32_t)count < left ? count : (int)left;
  memcpy(out, g_memory.data() + (address - kBase), (size_t)n);
  return n;
}
uint32_t no_region(uint32_t) { return 0; }
bool no_region_at(uint32_t, char *, size_t) { return false; }
// The memory as one readable run, and ticks that only count.
bool one_run(uint32_t address, int direction, uint32_t *low, uint32_t *high) {
  *low = kBase;
  *high = kBase + kSize;
  return direction > 0 ? address < *high : address >= *low;
}
int g_ticks;
void count_tick(CodeSearch *, uint32_t, int) { g_ticks++; }

}  // namespace

int main() {
  pool_init();
  symbols_init();
  g_memory.resize(kSize);
  uint32_t x = 12345;
  for (uint8_t &b : g_memory) b = (uint8_t)((x = x * 1103515245u + 12345u) >> 24);

  // Pages of 40 rows (about 600 pixels) at positions spread over the memory.
  const DataSource source = {read_memory, no_region, no_region, no_region_at};
  RichFixed fixed;
  rich_fixed_init(&fixed);
  RichText *dd = rich_create(&fixed.measurer);
  DataPage page = {};
  const DataView view = {1, 2, 3};
  const int pages = 2000;
  double t0 = seconds();
  for (int i = 0; i < pages; i++)
    data_write_page(dd, &page, &source, &view, kBase + (uint32_t)i * 4096u, 600);
  double t = seconds() - t0;
  printf("data page: %d rows, %d cells; %.0f pages/s\n", page.row_count, page.cell_count, pages / t);
  data_page_free(&page);
  rich_destroy(dd);

  // An 8-byte sequence that stands nowhere: the whole range is read both ways.
  const uint8_t absent[8] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, 0x04};
  DataSequence sequence = {};
  memcpy(sequence.bytes, absent, 8);
  memset(sequence.mask, 0xFF, 8);
  sequence.length = 8;
  const uint32_t high = kBase + kSize;
  uint32_t found = 0;
  struct Run {
    const char *name;
    int direction;
    uint32_t start;
  } runs[] = {{"forward", 1, kBase - 1}, {"backward", -1, high}};
  for (const Run &run : runs) {
    t0 = seconds();
    bool hit = data_search(read_memory, &sequence, run.start, run.direction, kBase, high, &found);
    const double data_rate = kSize / (seconds() - t0) / 1e6;
    CodePattern pattern = {};
    memcpy(pattern.code, absent, 8);
    memset(pattern.mask, 0xFF, 8);
    pattern.length = 8;
    t0 = seconds();
    bool pattern_hit = search_pattern(pattern, run.start, run.direction, read_memory, kBase, high, &found);
    const double pattern_rate = kSize / (seconds() - t0) / 1e6;
    printf("search %s: data %s %.1f MB/s, instruction pattern %s %.1f MB/s, ratio %.2f\n", run.name,
           hit ? "found" : "absent", data_rate, pattern_hit ? "found" : "absent", pattern_rate,
           data_rate / pattern_rate);
    CodeSearch walk = {read_memory, one_run, count_tick, nullptr, 0};
    g_ticks = 0;
    t0 = seconds();
    const bool walked_hit = data_search_runs(&walk, &sequence, run.start, run.direction, &found);
    const double walk_rate = kSize / (seconds() - t0) / 1e6;
    printf("  walked in pieces: %s %.1f MB/s, %d ticks, ratio to the plain search %.2f\n",
           walked_hit ? "found" : "absent", walk_rate, g_ticks, walk_rate / data_rate);
  }
  symbols_shutdown();
  pool_free();
  return 0;
}
