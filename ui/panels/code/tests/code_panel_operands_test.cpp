// The operand box over hand-assembled commands, with the evaluator reading fake registers
// and memory: each operand with its value or the address it refers to, named where a
// symbol stands there, what lies at that address, and where "Follow" goes.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/code/code_panel_operands.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

const uint32_t kCode = 0x401000, kFrame = 0x12FF00, kGreeting = 0x402000;
const uint8_t kCommands[] = {
    0x8B, 0x45, 0x08,              // +0  mov eax,[ebp+0x8]
    0xB8, 0x00, 0x00, 0x00, 0x00,  // +3  mov eax,0x0
    0x68, 0x00, 0x20, 0x40, 0x00,  // +8  push 0x402000
    0x8B, 0x4D, 0x0C,              // +13 mov ecx,[ebp+0xC]
};

// The frame holds the address of main at +8 and a long number at +0xC.
bool read_memory(uint32_t address, void *buffer, uint32_t size) {
  uint8_t memory[16] = {0x00, 0x10, 0x40, 0x00};  // at kFrame + 8
  const uint32_t big = 0x12345678;
  memcpy(memory + 4, &big, sizeof big);
  for (uint32_t i = 0; i < size; i++) {
    const uint32_t a = address + i;
    if (a >= kCode && a - kCode < sizeof kCommands) ((uint8_t *)buffer)[i] = kCommands[a - kCode];
    else if (a >= kFrame + 8 && a < kFrame + 16) ((uint8_t *)buffer)[i] = memory[a - kFrame - 8];
    else return false;
  }
  return true;
}
int read_code(uint32_t address, uint8_t *out, int count) {
  int n = 0;
  while (n < count && read_memory(address + (uint32_t)n, out + n, 1)) n++;
  return n;
}
bool read_registers(EvalRegisters *out) {
  memset(out, 0, sizeof *out);
  out->r[ER_EAX] = kGreeting;
  out->r[ER_EBP] = kFrame;
  return true;
}
uint32_t reference() { return kCode; }

class CodeOperands : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    const EvalEnvironment env = {read_memory, nullptr, read_registers, nullptr, reference};
    expression_set_environment(&env);
    entry_define("main", kCode, nullptr, nullptr);
    entry_define("greeting", kGreeting, nullptr, nullptr);
  }
  void TearDown() override {
    expression_set_environment(nullptr);
    SymbolsTest::TearDown();
  }
};

}  // namespace

TEST_F(CodeOperands, ValuesAddressesAndFollow) {
  struct Case {
    uint32_t address;
    const char *box;
    uint32_t follow;
  } cases[] = {
      {kCode, "eax = greeting\r\n[ebp+0x8] = [0x12FF08] = main", kFrame + 8},
      {kCode + 3, "eax = greeting\r\n0x0", 0},  // a zero gives nothing more
      // The command names the symbol; its value cannot be read, so the symbol's address is
      // where Follow goes.
      {kCode + 8, "greeting", kGreeting},
      {kCode + 13, "ecx\r\n[ebp+0xC] = [0x12FF0C] = 0x12345678", kFrame + 12},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.box);
    RichDoc doc;
    EXPECT_EQ(c.follow, code_write_operands(doc.dd, c.address, read_code, 0));
    char *text = rich_text_range(doc.dd, 0, rich_length(doc.dd));
    EXPECT_STREQ(c.box, text);
    text = (char *)zone_free(text);
  }
}
