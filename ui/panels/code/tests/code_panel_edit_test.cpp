// The code panel's assemble and copy over a small piece of memory: a shorter command is
// padded with NOPs to the old one's length, a longer one runs on, an error writes nothing,
// and the copied text has one line per command.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "ui/panels/code/code_panel_edit.h"
#include "util/zone.h"

namespace {

const uint32_t kCode = 0x401000;
const uint8_t kBytes[] = {0x68, 0x78, 0x56, 0x34, 0x12,  // push 0x12345678
                          0x8B, 0xC3,                    // mov eax,ebx
                          0x0F,                          // no command with the byte after it
                          0xC3};                         // ret

int read_code(uint32_t address, uint8_t *out, int count) {
  int n = 0;
  for (; n < count && address + (uint32_t)n - kCode < sizeof kBytes; n++)
    out[n] = kBytes[address + (uint32_t)n - kCode];
  return n;
}

int decode_back(const uint8_t *bytes, int count, uint32_t address, DisasmResult *r) {
  return decode_command(bytes, count, address, r, DECODE_TEXT);
}

}  // namespace

TEST(CodeEdit, AssembleOverTheOldCommand) {
  struct Case {
    const char *text;
    int old_length;
    const char *first;  // the first command of the result, as the decoder reads it back
    int first_length, length;
  } cases[] = {
      {"mov eax,ebx", 5, "mov eax,ebx", 2, 5},  // 2 bytes and three NOPs
      {"nop", 3, "nop", 1, 3},
      {"push 0x12345678", 1, "push 0x12345678", 5, 5},  // runs on over the next command
      {"jmp 0x401000", 5, "jmp 0x401000", 2, 5},        // the short jump of the last try
      {"bogus eax", 5, nullptr, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    uint8_t code[ASM_CODE];
    char error[ASM_ERROR_TEXT] = "";
    const int length = code_assemble(c.text, kCode, c.old_length, code, error);
    EXPECT_EQ(c.length, length);
    if (!c.first) {
      EXPECT_STRNE("", error);
      continue;
    }
    DisasmResult r;
    EXPECT_EQ(c.first_length, decode_back(code, length, kCode, &r));
    EXPECT_STREQ(c.first, r.text);
    for (int i = c.first_length; i < length; i++) EXPECT_EQ(CODE_NOP, code[i]) << i;
  }
}

TEST(CodeEdit, CommandTextAndCopy) {
  const int blocks = zone_block_count();
  char text[DISASM_TEXT];
  EXPECT_EQ(5, code_command_text(kCode, read_code, text, sizeof text));
  EXPECT_STREQ("push 0x12345678", text);  // no tab: the text to edit
  EXPECT_EQ(1, code_command_text(kCode + 7, read_code, text, sizeof text));
  EXPECT_EQ(1, code_command_text(kCode + 100, read_code, text, sizeof text));  // unreadable
  struct Case {
    uint32_t low, high;
    const char *expected;
  } cases[] = {
      {kCode, kCode + 7, "401000\t\tpush    0x12345678\r\n401005\t\tmov     eax,ebx\r\n"},
      {kCode + 5, kCode + 6, "401005\t\tmov     eax,ebx\r\n"},  // a part takes the command
      {kCode + 7, kCode + 9, "401007\t\t???\r\n401008\t\tret\r\n"},
      {kCode, kCode, nullptr},
  };
  for (const Case &c : cases) {
    char *copy = code_copy_text(c.low, c.high, read_code);
    if (c.expected) EXPECT_STREQ(c.expected, copy);
    else EXPECT_EQ(nullptr, copy);
    copy = (char *)zone_free(copy);
  }
  EXPECT_EQ(blocks, zone_block_count());
}
