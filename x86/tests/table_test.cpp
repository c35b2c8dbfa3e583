// The command table as data: size, well-formed rows, the condition and loop bits, and
// that every row the decoder should reach is reached. What the rows decode to is checked
// against an independent decoder in tests/oracle.
#include <ctype.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "x86/command_index.h"
#include "x86/command_table.h"

namespace {

bool has_string_operand(const CommandRow *row) {
  for (int kind : {row->operand1, row->operand2})
    if (kind == OPK_STR_SRC || kind == OPK_STR_DST) return true;
  return false;
}

int row_count() {
  int n = 0;
  while (CommandTable[n].mask != 0) n++;
  return n;
}

TEST(CommandTable, HoldsAllRowsAndEndsWithZeroMask) {
  EXPECT_EQ(row_count(), COMMAND_ROWS);
  EXPECT_EQ(CommandTable[COMMAND_ROWS].mask, 0u);
  EXPECT_EQ(HazardTable[HAZARD_ROWS].mask, 0u);
  EXPECT_EQ(VxdCallTable[1].mask, 0u);
  EXPECT_EQ(VxdCallTable[0].code, 0x20CDu);
}

TEST(CommandTable, RowsAreWellFormed) {
  const std::set<int> bits = {CB_NONE, CB_W,    CB_S,    CB_WS,   CB_W3,
                              CB_CC,   CB_SIZE2, CB_LOOP, CB_PRIV, CB_IO};
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    SCOPED_TRACE(row->mnemonic);
    bool three_dnow = (row->command_class & CC_KIND) == CC_3DNOW;
    // Only a 3DNow! row keeps code outside its mask: the suffix, matched separately.
    EXPECT_EQ(row->code & ~row->mask & ~(three_dnow ? 0xFF0000u : 0u), 0u);
    EXPECT_GE(row->length, 1);
    EXPECT_LE(row->length, 3);
    // Every opcode byte is covered by the mask.
    for (int i = 0; i < row->length; i++) EXPECT_NE(row->mask >> 8 * i & 0xFF, 0u);
    EXPECT_TRUE(bits.count(row->bits));
    for (int kind : {row->operand1, row->operand2, row->operand3})
      EXPECT_TRUE((kind >= OPK_NONE && kind <= OPK_DR) ||
                  (kind >= OPK_IMPLICIT && kind <= OPK_I_EDI));
    if (three_dnow) {
      // The suffix is the command's only immediate.
      EXPECT_EQ(row->code & 0xFFFF, 0x0F0Fu);
      EXPECT_EQ(row->operand3, OPK_NONE);
      EXPECT_EQ(row->operand2, OPK_3DN_RM);
    }
  }
}

TEST(CommandTable, BitsMarkConditionsPrivilegeAndPorts) {
  std::multiset<std::string> loops;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    if (row->bits == CB_LOOP) loops.insert(row->mnemonic);
    // Condition rows carry their condition in the low nibble of the last opcode byte.
    std::string name = row->mnemonic;
    bool conditional = (name[0] == 'J' && name != "JMP") || name.compare(0, 3, "SET") == 0 ||
                       name.compare(0, 4, "CMOV") == 0;
    EXPECT_EQ(row->bits == CB_CC, conditional) << name;
  }
  EXPECT_EQ(loops, (std::multiset<std::string>{"$LOOP*", "$LOOP*E", "$LOOP*NE", "$LOOP*Z",
                                               "$LOOP*NZ"}));
}

// The 16-bit short string forms are the 32-bit ones with 66 in front of the same code.
TEST(CommandTable, WordStringFormsAreDwordFormsBehind66) {
  int count = 0;
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    if ((row->code & 0xFF) != 0x66) continue;
    count++;
    std::string name = row->mnemonic;
    int code_bytes = 0;
    while (code_bytes < 4 && (row->mask >> 8 * code_bytes & 0xFF)) code_bytes++;
    EXPECT_EQ(row->length, code_bytes) << name;
    const CommandRow *dword = next_command_row(row->code >> 8, nullptr);
    while (dword && has_string_operand(dword)) dword = next_command_row(row->code >> 8, dword);
    ASSERT_NE(dword, nullptr) << name;
    EXPECT_EQ(name.substr(0, name.size() - 1) + "D", dword->mnemonic);
  }
  EXPECT_EQ(count, 16);
}

// The rows that stand only for the assembler: spellings that an earlier row decodes.
bool assembler_only(const CommandRow *row) {
  std::string name = row->mnemonic;
  return (row->code & 0xFF) == 0x66 || name == "VxDCall" || name == "JCC" || name == "SETCC" ||
         name == "CMOVCC" || name == "FWAIT" || name == "XLATB" || name == "$LOOP*Z" ||
         name == "$LOOP*NZ" || (name == "PINSRW" && row->operand2 == OPK_R32);
}

// Random keys within the row's pattern find the row itself: earlier rows do not hide
// it. With string rows passed over, the short forms are found instead.
TEST(CommandTable, EveryDecodableRowIsReached) {
  std::mt19937 rng(5);
  for (const CommandRow *row = CommandTable; row->mask != 0; row++) {
    // 3DNow! rows are told apart by the suffix after the operand, not by the key.
    if (assembler_only(row) || (row->command_class & CC_KIND) == CC_3DNOW) continue;
    bool reached = false;
    for (int i = 0; i < 4000 && !reached; i++) {
      uint32_t key = (row->code | (rng() & ~row->mask)) & 0xFFFFFF;
      if ((row->code & 0xFF) == 0xF2 || (row->code & 0xFF) == 0xF3) key |= rng() << 24;
      const CommandRow *found = next_command_row(key, nullptr);
      bool short_form = found != row && !has_string_operand(row);
      while (short_form && found && has_string_operand(found)) found = next_command_row(key, found);
      reached = found == row;
    }
    EXPECT_TRUE(reached) << row->mnemonic << " row " << row - CommandTable;
  }
}

}  // namespace
