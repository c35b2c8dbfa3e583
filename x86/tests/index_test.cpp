// The indexed table search against a plain first-match scan of the whole table.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "x86/command_index.h"

namespace {

const CommandRow *linear_next(uint32_t key, const CommandRow *after) {
  const CommandRow *row = after ? after + 1 : CommandTable;
  for (; row->mask != 0; row++)
    if (((key ^ row->code) & row->mask) == 0) return row;
  return nullptr;
}

// Every matching row in order, as the decoder walks them when it passes rows over.
std::vector<const CommandRow *> chain(uint32_t key, bool indexed) {
  std::vector<const CommandRow *> rows;
  const CommandRow *row = nullptr;
  while ((row = indexed ? next_command_row(key, row) : linear_next(key, row)) != nullptr)
    rows.push_back(row);
  return rows;
}

// Keys as the decoder builds them: three bytes, or under REP the prefix byte and then
// the three bytes.
uint32_t make_key(uint32_t three_bytes, int rep) {
  return rep ? three_bytes << 8 | rep : three_bytes;
}

TEST(CommandIndex, AllTwoByteKeysWithAndWithoutRep) {
  std::mt19937 rng(1);
  for (int rep : {0, 0xF2, 0xF3}) {
    for (uint32_t k = 0; k < 0x10000; k++) {
      for (uint32_t third : {0u, (uint32_t)(rng() & 0xFF)}) {
        uint32_t key = make_key(k | third << 16, rep);
        ASSERT_EQ(chain(key, true), chain(key, false)) << std::hex << "key " << key;
      }
    }
  }
}

TEST(CommandIndex, RandomThreeByteKeys) {
  std::mt19937 rng(2);
  const int kSamples = 2000000;
  for (int i = 0; i < kSamples; i++) {
    uint32_t r = rng();
    int rep = (r >> 24) % 8 == 0 ? 0xF3 : (r >> 24) % 8 == 1 ? 0xF2 : 0;
    uint32_t key = make_key(r & 0xFFFFFF, rep);
    ASSERT_EQ(next_command_row(key, nullptr), linear_next(key, nullptr))
        << std::hex << "key " << key;
  }
}

}  // namespace
