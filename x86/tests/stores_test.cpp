// The memory a command writes, for commands assembled by nasm, against the ranges the
// processor's manual gives for them under one set of registers.
#include <gtest/gtest.h>

#include "x86/command_stores.h"
#include "x86/tests/decode_support.h"

namespace {

struct StoreCase {
  const char *hex, *text;
  uint32_t flags;
  int count;  // ranges, or STORES_UNKNOWN
  StoreRange ranges[STORE_RANGES];
};

const uint32_t DF = 0x400;
// Not flags: the case asks for one repeat, and expects a 32-bit or 16-bit counter cut.
const uint32_t ONE = 0x80000000, CUT32 = 0x40000000, CUT16 = 0x20000000;
const StoreCase kCases[] = {
    {"89 44 B3 10", "mov [ebx+esi*4+0x10], eax", 0, 1, {{0x4050, 4}}},
    {"66 C7 45 FE 34 12", "mov word [ebp-2], 0x1234", 0, 1, {{0x8FFE, 2}}},
    {"39 03", "cmp [ebx], eax", 0, 0, {}},
    {"FF 30", "push dword [eax]", 0, 1, {{0x7FFC, 4}}},
    {"8F 44 24 08", "pop dword [esp+8]", 0, 1, {{0x800C, 4}}},
    {"FF 10", "call [eax]", 0, 1, {{0x7FFC, 4}}},
    {"FF 18", "call far [eax]", 0, 1, {{0x7FF8, 8}}},
    {"C8 10 00 03", "enter 16, 3", 0, 1, {{0x7FF0, 16}}},
    {"60", "pushad", 0, 1, {{0x7FE0, 32}}},
    {"66 9C", "pushfw", 0, 1, {{0x7FFE, 2}}},
    {"F3 A5", "rep movsd", 0, 1, {{0x5000, 0x8000}}},
    {"F3 AA", "rep stosb (down)", DF, 1, {{0x3001, 0x2000}}},
    {"F3 A5", "rep movsd, one repeat", ONE | CUT32, 1, {{0x5000, 4}}},
    {"F3 AA", "rep stosb (down), one repeat", DF | ONE | CUT32, 1, {{0x5000, 1}}},
    {"67 F3 AA", "rep stosb with CX, one repeat", ONE | CUT16, 1, {{0x5000, 1}}},
    {"AA", "stosb (down)", DF | ONE, 1, {{0x5000, 1}}},
    {"AE", "scasb", 0, 0, {}},
    {"DB 39", "fstp tword [ecx]", 0, 1, {{0x2000, 10}}},
    {"DD 31", "fnsave [ecx]", 0, 1, {{0x2000, 108}}},
    {"D9 00", "fld dword [eax]", 0, 0, {}},
    {"0F 7F 0A", "movq [edx], mm1", 0, 1, {{0x3000, 8}}},
    {"64 A3 14 00 00 00", "mov [fs:0x14], eax", 0, 1, {{0x7FFDE014, 4}}},
    {"0F C7 0E", "cmpxchg8b [esi]", 0, 1, {{0x10, 8}}},
    {"87 0F", "xchg [edi], ecx", 0, 1, {{0x5000, 4}}},
    {"0F AB 08", "bts [eax], ecx", 0, 1, {{0x1400, 4}}},
    {"A2 00 30 40 00", "mov [0x403000], al", 0, 1, {{0x403000, 1}}},
    {"0F F7 C1", "maskmovq mm0, mm1", 0, 1, {{0x5000, 8}}},
    {"F0 0F C1 01", "lock xadd [ecx], eax", 0, 1, {{0x2000, 4}}},
    {"CD 2E", "int 0x2e", 0, STORES_UNKNOWN, {}},
};

TEST(CommandStores, RangesOfEachKindOfWrite) {
  StoreContext context = {{0x1000, 0x2000, 0x3000, 0x4000, 0x8000, 0x9000, 0x10, 0x5000},
                          0,
                          {0, 0, 0, 0, 0x7FFDE000, 0},
                          false};
  for (const StoreCase &c : kCases) {
    std::vector<uint8_t> bytes = hex_bytes(c.hex);
    context.eflags = c.flags & DF;
    context.one_repeat = (c.flags & ONE) != 0;
    StoreRange out[STORE_RANGES] = {};
    uint32_t cut = 7;
    int n = command_stores(bytes.data(), (int)bytes.size(), 0x401000, context, out, &cut);
    ASSERT_EQ(n, c.count) << c.text;
    EXPECT_EQ(cut, c.flags & CUT32 ? 0xFFFFFFFFu : c.flags & CUT16 ? 0xFFFFu : 0u) << c.text;
    for (int i = 0; i < n; i++) {
      EXPECT_EQ(out[i].address, c.ranges[i].address) << c.text;
      EXPECT_EQ(out[i].length, c.ranges[i].length) << c.text;
    }
  }
}

}  // namespace
