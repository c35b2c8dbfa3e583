// Data guards: the DR7 encoding, the watches that cover a value, and guards on the values
// of the "probe" debuggee.
#include "engine/address_eval.h"
#include "engine/guards.h"
#include "engine/tests/debuggee_fixture.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using namespace engine_test;

TEST(GuardDr7, SlotFieldsAndEnableBits) {
  struct Case {
    uint32_t dr7;
    int slot;
    uint32_t length, expected;
  } cases[] = {
      {0, 0, 1, 0x00010003},          // write, 1 byte
      {0, 1, 2, 0x0050000C},          // write, 2 bytes: length code 1
      {0, 3, 4, 0xD00000C0},          // 4 bytes: length code 3
      {0, 2, 3, 0},                   // no 3-byte watch exists (code 2 is 8 bytes or nothing)
      {0, 3, 8, 0},                   // nor an 8-byte one on a 32-bit processor
      {0xFFFFFFFF, 1, 0, 0xFF0FFFF3}, // disarm clears only slot 1
      {0x00010003, 0, 2, 0x00050003}, // re-arming replaces the old field
  };
  for (const Case &c : cases)
    EXPECT_EQ(guard_dr7(c.dr7, c.slot, c.length), c.expected) << c.slot << " " << c.length;
}

TEST(GuardPieces, FewestAlignedWatchesCoverTheValueExactly) {
  struct Case {
    uint32_t address, size;
    std::vector<uint32_t> watches;  // address, length, ...
  } cases[] = {
      {0x1000, 1, {0x1000, 1}},
      {0x1000, 2, {0x1000, 2}},
      {0x1001, 2, {0x1001, 1, 0x1002, 1}},
      {0x1003, 2, {0x1003, 1, 0x1004, 1}},
      {0x1000, 3, {0x1000, 2, 0x1002, 1}},
      {0x1001, 3, {0x1001, 1, 0x1002, 2}},
      {0x1002, 3, {0x1002, 2, 0x1004, 1}},
      {0x1003, 3, {0x1003, 1, 0x1004, 2}},
      {0x1000, 4, {0x1000, 4}},
      {0x1001, 4, {0x1001, 1, 0x1002, 2, 0x1004, 1}},
      {0x1002, 4, {0x1002, 2, 0x1004, 2}},
      {0x1004, 8, {0x1004, 4}},  // longer values are watched by their first 4 bytes
      {0x1004, 0, {}},
  };
  for (const Case &c : cases) {
    GuardPiece pieces[GUARD_PIECES_MAX];
    int count = guard_pieces(c.address, c.size, pieces);
    std::vector<uint32_t> got;
    for (int i = 0; i < count; i++) {
      got.push_back(pieces[i].address);
      got.push_back(pieces[i].length);
    }
    EXPECT_EQ(got, c.watches) << std::hex << c.address << " " << c.size;
  }
  // Every placement: watches of defined lengths, aligned, together the value's bytes.
  for (uint32_t address = 0x2000; address < 0x2010; address++)
    for (uint32_t size = 1; size <= 4; size++) {
      GuardPiece pieces[GUARD_PIECES_MAX];
      int count = guard_pieces(address, size, pieces);
      std::vector<bool> covered(size, false);
      for (int i = 0; i < count; i++) {
        const GuardPiece &p = pieces[i];
        EXPECT_TRUE(p.length == 1 || p.length == 2 || p.length == 4);
        EXPECT_EQ(p.address % p.length, 0u);
        for (uint32_t b = p.address; b < p.address + p.length; b++) {
          ASSERT_LT(b - address, size) << std::hex << address << " " << size;
          EXPECT_FALSE(covered[b - address]);
          covered[b - address] = true;
        }
      }
      EXPECT_EQ(std::count(covered.begin(), covered.end(), true), (long)size);
    }
}

uint32_t g_word_address, g_bytes_address;

// The evaluator knows variables and their types; this one knows the 2-byte g_word, and
// "bytes OFFSET SIZE" for a value of SIZE bytes at OFFSET in the 16 bytes of g_bytes.
bool locate_value(const char *text, uint32_t *address, uint32_t *size) {
  unsigned offset, length;
  if (!strcmp(text, "g_word")) {
    *address = g_word_address;
    *size = 2;
    return true;
  }
  if (sscanf(text, "bytes %u %u", &offset, &length) != 2) return false;
  *address = g_bytes_address + offset;
  *size = length;
  return true;
}

bool condition_value(const char *text, uint32_t *value) {
  if (!strcmp(text, "zero")) *value = 0;
  else if (!strcmp(text, "one")) *value = 1;
  else return false;
  return true;
}

class Guards : public Probe {
 protected:
  void SetUp() override {
    Probe::SetUp();
    AddressEvaluator eval = g_address_eval;
    eval.locate = locate_value;
    eval.condition = condition_value;
    address_eval_install(&eval);
  }
  void TearDown() override {
    address_eval_install(nullptr);
    Probe::TearDown();
  }
  bool start(const char *args = "probe") {
    if (!launch_probe(args)) return false;
    g_word_address = table_.word;
    g_bytes_address = table_.bytes;
    return true;
  }
  // The bytes the debug registers watch, as offsets from g_bytes; each watch of a length
  // the processor defines at an address aligned to it.
  std::vector<uint32_t> watched_bytes() {
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_DEBUG_REGISTERS;
    EXPECT_TRUE(GetThreadContext(g_debuggee.thread, &context));
    const DWORD addresses[4] = {context.Dr0, context.Dr1, context.Dr2, context.Dr3};
    const uint32_t kLengths[4] = {1, 2, 0, 4};
    std::vector<uint32_t> bytes;
    for (int r = 0; r < 4; r++) {
      if (!(context.Dr7 & 3u << (2 * r))) continue;
      uint32_t field = context.Dr7 >> (16 + 4 * r) & 0xF, length = kLengths[field >> 2];
      EXPECT_EQ(field & 3, 1u) << r;  // data writes
      EXPECT_NE(length, 0u) << r;
      EXPECT_EQ(addresses[r] % (length ? length : 1), 0u) << r;
      for (uint32_t b = 0; b < length; b++) bytes.push_back(addresses[r] + b - table_.bytes);
    }
    std::sort(bytes.begin(), bytes.end());
    return bytes;
  }
  // Resumes the "probe bytes" program until it ends; gives the offset of the byte written
  // last at each stop, and its guard slot.
  std::vector<std::pair<uint32_t, int>> byte_stops() {
    std::vector<std::pair<uint32_t, int>> stops;
    while (debuggee_resume() && drain_until_stop() && debuggee_state() == DS_PAUSED) {
      EXPECT_EQ(g_debuggee.pause.code, 0x80000004u);
      uint8_t bytes[16];
      EXPECT_EQ(memory_read(table_.bytes, bytes, 16), 16u);
      uint32_t written = 0;
      while (written < 16 && bytes[written] == written + 1) written++;
      stops.push_back({written - 1, g_debuggee.pause.guard_index});
    }
    EXPECT_EQ(debuggee_state(), DS_EXITED);
    EXPECT_EQ(debuggee_exit_code(), 0u);
    return stops;
  }
  // Resumes until the program ends; gives the guard stops on the way, the first of which
  // should see the value first.
  int count_guard_stops(int slot, int first = 1) {
    int stops = 0;
    while (debuggee_resume() && drain_until_stop() && debuggee_state() == DS_PAUSED) {
      EXPECT_EQ(g_debuggee.pause.code, 0x80000004u);
      EXPECT_EQ(g_debuggee.pause.guard_index, slot);
      uint16_t word = 0;
      memory_read(table_.word, &word, 2);
      EXPECT_EQ(word, first + stops);
      stops++;
    }
    return stops;
  }
};

TEST_F(Guards, TwoByteGuardStopsAtEachWriteWithItsSlot) {
  ASSERT_TRUE(start());
  EXPECT_EQ(guard_add("somewhere", ""), 0);  // does not evaluate: kept, not armed
  memset(&g_changes, 0, sizeof g_changes);
  EXPECT_EQ(guard_add("g_word", ""), 1);
  EXPECT_TRUE(g_changes.pending[CHG_GUARDS]);
  char line[64];
  snprintf(line, sizeof line, "Guard [1] is set to %X\n", (unsigned)table_.word);
  EXPECT_TRUE(has(log(), line)) << log();
  EXPECT_FALSE(has(log(), "Guard [0]")) << log();
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_DEBUG_REGISTERS;
  ASSERT_TRUE(GetThreadContext(g_debuggee.thread, &context));
  EXPECT_EQ(context.Dr1, table_.word);
  EXPECT_EQ(context.Dr7 & 0x00F0000C, 0x0050000Cu);
  char expression[KQ_PATH], condition[KQ_PATH];
  EXPECT_TRUE(guard_get(0, expression, sizeof expression, condition, sizeof condition));
  EXPECT_STREQ(expression, "somewhere");
  EXPECT_FALSE(guard_get(4, expression, sizeof expression, condition, sizeof condition));
  ASSERT_TRUE(debuggee_resume());
  ASSERT_TRUE(drain_until_stop());
  EXPECT_EQ(status(), "Breakpoint 'g_word'");
  EXPECT_EQ(log().find(line), log().rfind(line)) << "re-armed at the stop, told once\n" << log();
  EXPECT_EQ(count_guard_stops(1, 2), 4);  // the first was the one above
  EXPECT_EQ(debuggee_exit_code(), 0u);
}

TEST_F(Guards, FalseOrUnevaluableConditionLetsTheProgramRunOn) {
  for (const char *condition : {"zero", "no such thing"}) {
    ASSERT_TRUE(start());
    EXPECT_EQ(guard_add("g_word", condition), 0);
    EXPECT_EQ(count_guard_stops(0), 0);
    EXPECT_EQ(debuggee_state(), DS_EXITED);
    EXPECT_TRUE(debuggee_unload());
    guard_set(0, "", "");
  }
  ASSERT_TRUE(start());
  EXPECT_EQ(guard_add("g_word", "one"), 0);
  EXPECT_EQ(count_guard_stops(0), 5);
}

// A value that is no aligned 1, 2 or 4 bytes is watched through more registers, which
// together watch exactly its bytes: the program stops after each write to one of them and
// after no write to a byte beside it.
TEST_F(Guards, OddValuesStopAtWritesToTheirOwnBytesOnly) {
  struct Case {
    uint32_t offset, size;
  } cases[] = {{1, 2}, {3, 2}, {0, 3}, {1, 3}, {3, 3}, {1, 4}, {3, 4}, {6, 2}, {4, 8}};
  for (const Case &c : cases) {
    ASSERT_TRUE(start("probe bytes"));
    char text[32];
    snprintf(text, sizeof text, "bytes %u %u", c.offset, c.size);
    EXPECT_EQ(guard_add(text, ""), 0);
    std::vector<uint32_t> own;
    std::vector<std::pair<uint32_t, int>> expected;
    for (uint32_t b = c.offset; b < c.offset + std::min(c.size, 4u); b++) {
      own.push_back(b);
      expected.push_back({b, 0});
    }
    EXPECT_EQ(watched_bytes(), own) << text;
    EXPECT_EQ(byte_stops(), expected) << text;
    EXPECT_TRUE(debuggee_unload());
    guard_set(0, "", "");
  }
}

// The registers a value needs beyond its slot's own come from free slots; a slot taken
// later gets its register back, and a guard left without enough is not armed.
TEST_F(Guards, BorrowedRegistersHonourTheFourSlots) {
  ASSERT_TRUE(start("probe bytes"));
  EXPECT_EQ(guard_add("bytes 1 4", ""), 0);  // three watches
  EXPECT_EQ(watched_bytes(), (std::vector<uint32_t>{1, 2, 3, 4}));
  EXPECT_EQ(guard_add("bytes 8 4", ""), 1);  // one: slot 0 still has three
  EXPECT_EQ(watched_bytes(), (std::vector<uint32_t>{1, 2, 3, 4, 8, 9, 10, 11}));
  EXPECT_FALSE(has(log(), "cannot be created")) << log();
  EXPECT_EQ(guard_add("bytes 12 1", ""), 2);  // now slot 0 cannot have three
  EXPECT_TRUE(has(log(), "For some reason a guard cannot be created\n")) << log();
  EXPECT_EQ(watched_bytes(), (std::vector<uint32_t>{8, 9, 10, 11, 12}));
  EXPECT_EQ(byte_stops(), (std::vector<std::pair<uint32_t, int>>{
                              {8, 1}, {9, 1}, {10, 1}, {11, 1}, {12, 2}}));
}

TEST_F(Guards, AllSlotsTakenGivesMinusOne) {
  for (int n = 0; n < GUARD_SLOTS; n++) EXPECT_EQ(guard_add("g_word", ""), n);
  EXPECT_EQ(guard_add("g_word", ""), -1);
  EXPECT_TRUE(guard_set(2, "", ""));
  EXPECT_EQ(guard_add("g_word", "one"), 2);
  EXPECT_FALSE(guard_set(4, "g_word", ""));
}

}  // namespace
