// Editing values: memory variables, registers and flags, strings into arrays and through
// pointers, and each refusal with its message.
#include <math.h>

#include "eval_fixture.h"

namespace {

struct Case {
  const char *target, *text, *shown;
};

class Assign : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    define_world();
  }
  // Evaluates target, assigns text to it and gives the target's text afterwards, or
  // "error: message".
  static std::string assign(const char *target, const char *text) {
    ValueDescriptor v;
    if (!expression_evaluate(target, &v)) return "bad target";
    if (!expression_assign(&v, text)) {
      const char *e = expression_last_error();
      return std::string("error: ") + (e ? e : "(none)");
    }
    char shown[300];
    expression_format_value(&v, shown, sizeof shown);
    return shown;
  }
  static void check(const Case *cases, size_t n) {
    for (size_t i = 0; i < n; i++) {
      SCOPED_TRACE(std::string(cases[i].target) + " = " + cases[i].text);
      EXPECT_EQ(cases[i].shown, assign(cases[i].target, cases[i].text));
    }
  }
};

TEST_F(Assign, IntoMemoryAndRegisters) {
  g_fake.regs.r[ER_EAX] = 0x11223344;
  g_fake.regs.r[ER_EFLAGS] = 0x246;
  const Case cases[] = {
      {"counter", "counter * 2", "14"},
      {"counter", "-1", "-1"},
      {"counter", "2.75", "2"},
      {"head.next->value", "0x1234", "4660"},
      {"table[3]", "table[0] + 100", "101"},
      {"word ptr [0x1100]", "0xABCD", "0xABCD"},
      {"EAX", "0x1234", "0x1234"},
      {"AH", "0x56", "0x56"},
      {"AL", "0x1FF", "0xFF"},
      {"Z", "0", "0"},
      {"C", "5", "1"},
      {"ST3", "2.5", "2.5"},
      {"ST4", "-1e300", "-1e+300"},
      {"MM5", "0x1122334455667788", "0x1122334455667788"},
      {"text", "\"bye\"", "\"byelo\""},
      {"ptr", "\"\\x{9}\\0\\0\\0\"", "{9, 2, 3, 101, 5, 6, 7, 8}"},
  };
  check(cases, sizeof cases / sizeof cases[0]);
  EXPECT_EQ(0xABCDu, peek32(0x1100));  // the word over the last counter
  EXPECT_EQ(0x56FFu, g_fake.regs.r[ER_EAX] & 0xFFFF);
  EXPECT_EQ(0x207u, g_fake.regs.r[ER_EFLAGS]);  // Z cleared, C set
  EXPECT_EQ(0x1234u, peek32(0x120C));
}

TEST_F(Assign, Refusals) {
  poke32(0x1504, 0x9000);  // back points where nothing can be written
  const Case cases[] = {
      {"5", "1", "error: Expression has no valid write address"},
      {"counter + 1", "1", "error: Expression has no valid write address"},
      {"counter", "\"abc\"", "error: Invariant variable"},
      {"head", "1", "error: Expression type mismatches"},
      {"counter", "nosuch", "error: Unknown symbol 'nosuch'"},
      {"counter", "7/0", "error: Division by zero"},
      {"back", "\"x\"", "error: Cannot write memory at 0x9000"},
      {"text", "", "error: Any term expected"},
  };
  check(cases, sizeof cases / sizeof cases[0]);
  ValueDescriptor v;
  ASSERT_TRUE(expression_evaluate("counter", &v));
  v.address = 0x9000;  // a place that cannot be written
  EXPECT_FALSE(expression_assign(&v, "1"));
  EXPECT_STREQ("Cannot write to 0x9000", expression_last_error());
  EXPECT_EQ(7u, peek32(0x1100));
}

}  // namespace
