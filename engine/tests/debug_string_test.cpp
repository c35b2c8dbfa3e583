// Debug output copied into the log in pieces, over a fake debuggee memory.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/debug_string.h"
#include "util/tests/test_support.h"

namespace {

const uint32_t kBase = 0x00401000;

struct FakeMemory {
  std::string bytes;
  std::vector<size_t> reads;  // size of each read
};

bool read_fake(uint32_t address, void *out, size_t size, void *context) {
  FakeMemory *m = (FakeMemory *)context;
  if (address < kBase || address - kBase + size > m->bytes.size()) return false;
  memcpy(out, m->bytes.data() + (address - kBase), size);
  m->reads.push_back(size);
  return true;
}

std::string digits(int count) {
  std::string text;
  for (int i = 0; i < count; i++) text += (char)('a' + i % 26);
  return text;
}

TEST(DebugString, PiecesOfAtMost79CharactersInOrder) {
  struct Case {
    int length;
    bool wide;
    std::vector<size_t> reads;
  } cases[] = {
      {200, false, {79, 79, 42}},
      {200, true, {158, 158, 84}},
      {79, false, {79}},
      {1, false, {1}},
      {0, false, {}},
  };
  for (const Case &c : cases) {
    std::string path = open_test_log("debug_string");
    FakeMemory memory;
    std::string text = digits(c.length);
    for (char ch : text) {
      memory.bytes += ch;
      if (c.wide) memory.bytes += '\0';
    }
    EXPECT_EQ(debug_string_to_log(read_fake, &memory, kBase, c.length, c.wide),
              (int)c.reads.size());
    EXPECT_EQ(memory.reads, c.reads) << c.length << (c.wide ? " wide" : "");
    debug_output_flush();
    EXPECT_EQ(log_body(path), text);
  }
}

TEST(DebugString, UnreadableMemoryStopsTheCopy) {
  std::string path = open_test_log("debug_string_unreadable");
  FakeMemory memory;
  memory.bytes = digits(100);
  // Claims 200 characters where only 100 can be read: the first piece only.
  EXPECT_EQ(debug_string_to_log(read_fake, &memory, kBase, 200, false), 1);
  debug_output_flush();
  EXPECT_EQ(log_body(path), digits(79));
}

// A debuggee that writes without end: what goes past its budget is dropped after one
// warning, and the next debuggee starts with a budget of its own.
TEST(DebugString, OutputPastTheBudgetIsDropped) {
  std::string path = open_test_log("debug_string_budget");
  FakeMemory memory;
  memory.bytes = digits(60);
  debug_output_limit(100);
  for (int i = 0; i < 3; i++)
    EXPECT_EQ(debug_string_to_log(read_fake, &memory, kBase, 60, false), 1);
  debug_output_flush();
  debug_output_limit(DEBUG_OUTPUT_LIMIT);
  EXPECT_EQ(debug_string_to_log(read_fake, &memory, kBase, 60, false), 1);
  debug_output_flush();
  EXPECT_EQ(log_body(path), digits(60) +
                                "WARNING: the debuggee wrote 60 bytes of debug output: the rest "
                                "is dropped\n" + digits(60));
}

}  // namespace
