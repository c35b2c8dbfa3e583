// The code panel's search walk over a small memory map: two adjacent readable regions with
// a command straddling their border, a reserved gap the walk must never read, and a third
// readable region; by text and by pattern, both ways; not found; and stopped from the tick.
#include <gtest/gtest.h>
#include <string.h>

#include "ui/panels/code/code_panel_search.h"

namespace {

const uint32_t kLow = 0x10000, kHigh = 0x17000;
const MemoryRegion kRegions[] = {
    {0x10000, 0x10000, 4, 0x1000, 0x1000, 0x20, 0x20000},  // executable, committed
    {0x11000, 0x10000, 4, 0x1000, 0x1000, 0x04, 0x20000},  // read-write, right after it
    {0x12000, 0x12000, 4, 0x3000, 0x2000, 0, 0x20000},     // reserved
    {0x15000, 0x15000, 4, 0x2000, 0x1000, 0x02, 0x20000},  // read-only
};
const uint32_t kMov = 0x10FFE;   // mov eax,0x12345678 across the first border
const uint32_t kPush = 0x15800;  // push 0x11223344
uint8_t g_memory[kHigh - kLow];
uint32_t g_read_low, g_read_high;  // the span of what the walk read
int g_gap_reads;                   // reads that touched the reserved region

void fill() {
  memset(g_memory, 0x90, sizeof g_memory);
  const uint8_t mov[] = {0xB8, 0x78, 0x56, 0x34, 0x12}, push[] = {0x68, 0x44, 0x33, 0x22, 0x11};
  memcpy(g_memory + (kMov - kLow), mov, sizeof mov);
  memcpy(g_memory + (kPush - kLow), push, sizeof push);
  g_read_low = 0xFFFFFFFFu;
  g_read_high = 0;
  g_gap_reads = 0;
}

int read_memory(uint32_t address, uint8_t *out, int count) {
  if (address < 0x15000 && address + (uint32_t)count > 0x12000) g_gap_reads++;
  int n = 0;
  for (uint32_t a = address; n < count && a >= kLow && a < kHigh && (a < 0x12000 || a >= 0x15000); a++)
    out[n++] = g_memory[a - kLow];
  if (n) {
    if (address < g_read_low) g_read_low = address;
    if (address + (uint32_t)n > g_read_high) g_read_high = address + (uint32_t)n;
  }
  return n;
}

bool runs(uint32_t address, int direction, uint32_t *low, uint32_t *high) {
  return code_readable_run(kRegions, sizeof kRegions / sizeof kRegions[0], address, direction, low,
                           high);
}

int g_ticks;
uint32_t g_stopped_at;
void count_ticks(CodeSearch *, uint32_t, int) { g_ticks++; }
void stop_at_first(CodeSearch *s, uint32_t address, int) {
  g_ticks++;
  g_stopped_at = address;
  s->stop = 1;
}

}  // namespace

TEST(CodeSearch, ReadableRunsJoinAdjacentRegions) {
  struct Case {
    uint32_t address;
    int direction;
    bool any;
    uint32_t low, high;
  } cases[] = {
      {0x10800, 1, true, 0x10000, 0x12000},   {0x11FFF, 1, true, 0x10000, 0x12000},
      {0x12000, 1, true, 0x15000, 0x17000},   {0x13000, -1, true, 0x10000, 0x12000},
      {0x16FFF, -1, true, 0x15000, 0x17000},  {0x17000, 1, false, 0, 0},
      {0xFFFF, -1, false, 0, 0},              {0x0, 1, true, 0x10000, 0x12000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.address << " " << c.direction);
    uint32_t low = 0, high = 0;
    ASSERT_EQ(c.any, runs(c.address, c.direction, &low, &high));
    if (!c.any) continue;
    EXPECT_EQ(c.low, low);
    EXPECT_EQ(c.high, high);
  }
}

TEST(CodeSearch, FindsAcrossRegionsAndSkipsTheGap) {
  struct Case {
    const char *text;
    uint32_t start;
    int direction;
    bool hit;
    uint32_t found;
    int length;
  } cases[] = {
      {"mov eax,0x12345678", kLow, 1, true, kMov, 5},     // straddles the regions' border
      {"mov eax,CONST", kLow, 1, true, kMov, 5},          // the same by its pattern
      {"mov R32,0x12345678", kLow, 1, true, kMov, 5},
      {"push 0x11223344", kLow, 1, true, kPush, 5},       // past the reserved gap
      {"push CONST", kLow, 1, true, kPush, 5},
      {"mov eax,0x12345678", 0x16F00, -1, true, kMov, 5}, // back over the gap
      {"mov eax,CONST", 0x16F00, -1, true, kMov, 5},
      {"push 0x11223344", kPush, 1, false, 0, 0},         // not the command at the start
      {"push 0x11223344", kPush, -1, false, 0, 0},
      {"push CONST", kPush, 1, false, 0, 0},
      {"MOV EAX", kLow, 1, false, 0, 0},                  // the text is lower case
      {"int3", kLow, 1, false, 0, 0},
      {"int3", 0x16F00, -1, false, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " " << c.direction);
    fill();
    CodeSearch s = {read_memory, runs, count_ticks, nullptr, 0};
    uint32_t found = 0;
    int length = 0;
    ASSERT_EQ(c.hit, code_search(&s, c.text, c.start, c.direction, &found, &length));
    EXPECT_EQ(0, g_gap_reads);
    if (!c.hit) {
      // Nothing found: the walk went to the end of the memory that way.
      EXPECT_EQ(c.direction > 0 ? kHigh : kLow, c.direction > 0 ? g_read_high : g_read_low);
      continue;
    }
    EXPECT_EQ(c.found, found);
    EXPECT_EQ(c.length, length);
  }
}

TEST(CodeSearch, StopsWhenTheTickSaysSo) {
  for (const char *text : {"int3", "int CONST"}) {
    for (int direction : {1, -1}) {
      SCOPED_TRACE(testing::Message() << text << " " << direction);
      fill();
      g_ticks = 0;
      CodeSearch s = {read_memory, runs, stop_at_first, nullptr, 0};
      uint32_t found;
      int length;
      EXPECT_FALSE(code_search(&s, text, direction > 0 ? kLow : kHigh - 1, direction, &found, &length));
      EXPECT_EQ(1, g_ticks);
      // Stopped in the first region: the last one was never read.
      if (direction > 0) EXPECT_LT(g_read_high, 0x15000u);
      else EXPECT_GE(g_read_low, 0x15000u);
    }
  }
}
