// The instruction search over a fake debuggee memory with an unreadable page: the text
// search's documented cases, and the masked pattern search against a plain scan.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "decode_support.h"
#include "x86/assemble.h"
#include "x86/search.h"

namespace {

const uint32_t kBase = 0x10000;
std::vector<uint8_t> g_memory;
uint32_t g_hole = 0;  // start of an unreadable page, 0 for none

int fake_reader(uint32_t address, uint8_t *out, int count) {
  int n = 0;
  for (; n < count; n++) {
    uint32_t a = address + (uint32_t)n;
    if (a < kBase || a - kBase >= g_memory.size()) break;
    if (g_hole && a >= g_hole && a < g_hole + SEARCH_PAGE) break;
    out[n] = g_memory[a - kBase];
  }
  return n;
}

uint32_t end_of_memory() { return kBase + (uint32_t)g_memory.size(); }

struct SearchTest : DecoderTest {
  void SetUp() override {
    DecoderTest::SetUp();
    g_hole = 0;
  }
};

TEST_F(SearchTest, TextSearchCases) {
  // 00: 55 push ebp; 01: 8B EC mov ebp,esp; 03: B8 55 8B EC 00 mov eax,0xEC8B55; 08: 55; 09: C3
  g_memory = hex_bytes("55 8B EC B8 55 8B EC 00 55 C3");
  uint32_t found = 0;
  int length = 0;
  struct Case {
    const char *text;
    uint32_t start;
    int direction;
    bool hit;
    uint32_t found;
    int length;
  } cases[] = {
      {"push ebp", kBase - 1, 1, true, kBase, 1},   // before the first byte: finds 55 at 0
      {"push ebp", kBase, 1, true, kBase + 4, 1},   // not itself; a match inside B8's operand
      {"push ebp", kBase + 4, 1, true, kBase + 8, 1},
      {"push ebp", kBase + 8, -1, true, kBase + 4, 1},  // backward: the nearest earlier one
      {"PUSH EBP", kBase - 1, 1, false, 0, 0},       // the text is lower case
      {"mov eax,0xEC8B55", kBase, 1, true, kBase + 3, 5},
      {"ret", kBase + 9, 1, false, 0, 0},           // nothing after the last command
  };
  for (const Case &c : cases) {
    bool hit = search_command_text(c.text, c.start, c.direction, fake_reader, kBase - 1,
                                   end_of_memory(), &found, &length);
    EXPECT_EQ(hit, c.hit) << c.text << " from " << std::hex << c.start;
    if (hit && c.hit) {
      EXPECT_EQ(found, c.found) << c.text;
      EXPECT_EQ(length, c.length) << c.text;
    }
  }
}

// Where pattern matches, by reading every position through the reader.
bool plain_scan(const CodePattern &p, uint32_t start, int direction, uint32_t *found) {
  for (uint32_t a = start + direction; a >= kBase && a < end_of_memory(); a += direction) {
    uint8_t bytes[SEARCH_BYTES];
    if (fake_reader(a, bytes, p.length) < p.length) continue;  // also past the end
    bool same = true;
    for (int i = 0; i < p.length; i++) same &= ((bytes[i] ^ p.code[i]) & p.mask[i]) == 0;
    if (same) {
      *found = a;
      return true;
    }
  }
  return false;
}

TEST_F(SearchTest, PatternSearchAgreesWithPlainScan) {
  srand(7);
  g_memory.resize(0x30000);
  for (uint8_t &b : g_memory) b = (uint8_t)(rand() % 8 == 0 ? 0x8B : rand() & 0xFF);
  const char *patterns[] = {"mov eax,[R32+CONST]", "mov r32,r32", "push r32", "jcc 0",
                            "add esp,CONST", "mov eax,ecx"};
  for (uint32_t hole : {0u, kBase + 0x10000}) {
    g_hole = hole;
    for (const char *text : patterns) {
      AsmResult r;
      char error[ASM_ERROR_TEXT];
      ASSERT_GT(assemble_command(text, 0, &r, 0, 3, error), 0) << text << ": " << error;
      CodePattern p;
      memcpy(p.code, r.code, sizeof p.code);
      memcpy(p.mask, r.mask, sizeof p.mask);
      p.length = r.length;
      for (uint32_t start : {kBase - 1, kBase + 0x0FFF0, kBase + 0x1F000, end_of_memory()}) {
        for (int direction : {1, -1}) {
          uint32_t want = 0, got = 0;
          bool expected = plain_scan(p, start, direction, &want);
          bool hit = search_pattern(p, start, direction, fake_reader, kBase, end_of_memory(), &got);
          ASSERT_EQ(hit, expected) << text << " from " << std::hex << start << " dir " << direction;
          if (hit) {
            EXPECT_EQ(got, want) << text << " from " << std::hex << start;
          }
        }
      }
    }
  }
}

}  // namespace
