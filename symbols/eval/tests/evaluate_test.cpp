// Literals, operators, registers and memory operands over the fake debuggee, each case as
// the type and value text the watch panel would show.
#include <string>

#include "eval_fixture.h"

namespace {

struct Case {
  const char *text;
  const char *shown;  // "type: value" or "error: message"
};

class Evaluate : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    EvalRegisters &r = g_fake.regs;
    r.r[ER_EAX] = 5;
    r.r[ER_EBX] = 0x80000000;
    r.r[ER_ECX] = 0xFFFFFFFF;
    r.r[ER_EDX] = 0x1234;
    r.r[ER_EBP] = 0x2000;
    r.r[ER_ESP] = 0x1FF0;
    r.r[ER_EIP] = 0x401005;
    r.r[ER_EFLAGS] = 0x245;  // I, Z, P, C
    r.r[ER_CS] = 0x1B;
    r.r[ER_FS] = 0x3B;
    r.r[ER_TIB] = 0x7FFDF000;
    r.r[ER_ERR] = 2;
    const uint8_t st0[10] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F};  // 1.5
    memcpy(r.st[0], st0, sizeof st0);
    const uint8_t st1[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0};  // -2
    memcpy(r.st[1], st1, sizeof st1);
    const uint8_t mm2[10] = {1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFF};
    memcpy(r.st[2], mm2, sizeof mm2);
    poke32(0x1FF0, 0x1122BEEF);
    poke32(0x1FF8, 5);
  }
  void check(const Case *cases, size_t n) {
    for (size_t i = 0; i < n; i++) {
      SCOPED_TRACE(cases[i].text);
      EXPECT_EQ(cases[i].shown, show(cases[i].text));
    }
  }
};

#define CHECK_ALL(cases) check(cases, sizeof cases / sizeof cases[0])

TEST_F(Evaluate, LiteralsTakeTheSmallestTypeOfTheirForm) {
  const Case cases[] = {
      {"12", "char: '\\f'"},
      {"0x12", "char: '\\x{12}'"},
      {"65", "char: 'A'"},
      {"300", "short: 300"},
      {"0x1234", "word: 0x1234"},
      {"70000", "long: 70000"},
      {"0x12345", "dword: 0x12345"},
      {"5000000000", "quad: 5000000000"},
      {"0x123456789", "qword: 0x123456789"},
      {"1.5", "real: 1.5"},
      {"2.5e1", "real: 25"},
      {"0.5", "real: 0.5"},
      {"0777", "short: 511"},
      {"100h", "word: 0x100"},
      {"0FFFFh", "word: 0xFFFF"},
      {"'ab'", "short: 24930"},
      {"'A'", "char: 'A'"},
      {"'\t'", "char: '\\t'"},
      {"\"AB\"", "tp_variant: "},
      {"  300   trailing text is ignored", "short: 300"},
  };
  CHECK_ALL(cases);
}

TEST_F(Evaluate, OperatorsFollowTheLeftOperandsType) {
  const Case cases[] = {
      {"EAX+1", "dword: 0x6"},
      {"AL+300", "byte: 0x31"},
      {"3*4", "char: '\\f'"},
      {"(long)3*4", "long: 12"},
      {"200 + 300 * 2", "char: ' '"},  // 800 cut to the left operand's char
      {"256 + 300 * 2", "short: 856"},
      {"(256 + 300) * 2", "short: 1112"},
      {"1000 - 400 - 300", "short: 300"},
      {"-7 / 2", "long: -3"},
      {"-7 % 3", "long: -1"},
      {"(long)1 << 33", "long: 2"},
      {"-8 >> 1", "long: -4"},
      {"0xFFFFFFF0 >> 4", "dword: 0xFFFFFFF"},
      {"ECX + 1", "dword: 0x0"},
      {"EBX < 0", "dword: 0x0"},
      {"(long)EBX < 0", "long: 1"},
      {"300 == 300", "short: 1"},
      {"300 != 300", "short: 0"},
      {"300 > 2 && 300 < 400", "short: 1"},
      {"300 < 2 || 300 >= 400", "short: 0"},
      {"300 | 0x0F", "short: 303"},
      {"300 & 0xFF", "short: 44"},
      {"300 ^ 300", "short: 0"},
      {"~0", "long: -1"},
      {"!300", "long: 0"},
      {"-EAX", "dword: 0xFFFFFFFB"},
      {"+AL", "dword: 0x5"},
      {"-1.5", "real: -1.5"},
      {"1.5 * 2", "real: 3"},
      {"(long)0x80000000 / -1", "long: -2147483648"},
      {"1 ? 300 : 400", "short: 300"},
      {"0 ? 300 : 400", "short: 400"},
      {"EAX == 5 ? 1000 : 2000", "short: 1000"},
      {"(float)1.25 + 1", "float: 2.25"},
      {"(char)321", "char: 'A'"},
      {"(short)0xFFFF", "short: -1"},
      {"(long)2.9", "long: 2"},
      {"(dword)-1", "dword: 0xFFFFFFFF"},
      {"(real)(long)-3", "real: -3"},
      {"(qword)-1", "qword: 0xFFFFFFFFFFFFFFFF"},
      {"(real)0x123456789", "error: Invalid typecast"},
  };
  CHECK_ALL(cases);
}

// Comparisons of floating values give their true 0 or 1, in the left operand's type; an
// integer compared with a floating value is compared as one too, not cut to an integer.
TEST_F(Evaluate, ComparisonsOfFloatingValues) {
  const uint64_t nan = 0x7FF8000000000000ull;  // a quiet NaN, as a double in memory
  poke(0x3000, &nan, sizeof nan);
  const Case cases[] = {
      {"1.5 < 2.0", "real: 1"},     {"2.0 < 1.5", "real: 0"},     {"1.5 < 1.5", "real: 0"},
      {"1.5 <= 1.5", "real: 1"},    {"2.0 <= 1.5", "real: 0"},    {"2.0 > 1.5", "real: 1"},
      {"1.5 > 1.5", "real: 0"},     {"1.5 >= 1.5", "real: 1"},    {"1.5 >= 2.0", "real: 0"},
      {"1.5 == 1.5", "real: 1"},    {"1.5 == 2.0", "real: 0"},    {"1.5 != 2.0", "real: 1"},
      {"1.5 != 1.5", "real: 0"},    {"-0.5 < 0.25", "real: 1"},   {"0.0 == -0.0", "real: 1"},
      {"ST0 > 1.25", "double: 1"},  {"ST0 > 1.5", "double: 0"},   {"ST1 < ST0", "double: 1"},
      {"(float)1.25 == 1.25", "float: 1"},
      // Mixed: the integer is not cut to the other's type, nor the floating value.
      {"(long)1 < 1.5", "long: 1"}, {"(long)1 == 1.5", "long: 0"}, {"(long)1 != 1.5", "long: 1"},
      {"(long)2 >= 1.5", "long: 1"}, {"(long)2 <= 1.5", "long: 0"}, {"(long)2 > 2.5", "long: 0"},
      {"(long)2 == 2.0", "long: 1"}, {"1.5 > (long)1", "real: 1"}, {"EAX < 5.5", "dword: 0x1"},
      {"0.5 && 0.25", "real: 1"},   {"0.5 && 0.0", "real: 0"},    {"0.0 || 0.0", "real: 0"},
      {"(long)0 || 0.5", "long: 1"},
      // NaN is unordered: only != holds, against itself too.
      {"double ptr [0x3000] == double ptr [0x3000]", "double: 0"},
      {"double ptr [0x3000] != double ptr [0x3000]", "double: 1"},
      {"double ptr [0x3000] < 1.0", "double: 0"},
      {"double ptr [0x3000] <= 1.0", "double: 0"},
      {"double ptr [0x3000] > 1.0", "double: 0"},
      {"double ptr [0x3000] >= 1.0", "double: 0"},
      {"(long)1 < double ptr [0x3000]", "long: 0"},
      {"(long)1 != double ptr [0x3000]", "long: 1"},
      // Bit operations have no meaning for floating values.
      {"1.5 & 1.0", "real: 0"},
  };
  CHECK_ALL(cases);
}

TEST_F(Evaluate, RegistersAndFlags) {
  const Case cases[] = {
      {"EAX", "dword: 0x5"},     {"eax", "dword: 0x5"},       {"AX", "word: 0x5"},
      {"AH", "byte: 0x0"},       {"DH", "byte: 0x12"},        {"DL", "byte: 0x34"},
      {"DX", "word: 0x1234"},    {"C", "short: 1"},           {"Z", "short: 1"},
      {"S", "short: 0"},         {"I", "short: 1"},           {"P", "short: 1"},
      {"CS", "word: 0x1B"},      {"FS", "word: 0x3B"},        {"ST0", "double: 1.5"},
      {"ST1", "double: -2"},     {"MM2", "qword: 0x807060504030201"},
      {"TIB", "dword: 0x7FFDF000"}, {"ERR", "dword: 0x2"},   {"EIP", "dword: 0x401005"},
  };
  CHECK_ALL(cases);
}

TEST_F(Evaluate, MemoryOperands) {
  const Case cases[] = {
      {"[ESP]", "dword: 0x1122BEEF"},
      {"word ptr [ESP]", "word: 0xBEEF"},
      {"word PTR [esp+2]", "word: 0x1122"},
      {"byte ptr [ESP]", "byte: 0xEF"},
      {"[ebp-8]", "dword: 0x5"},
      {"[ebp-0x8]==5 && EAX>3", "dword: 0x1"},
      {"[ebp-8]==6 || EAX>3", "dword: 0x1"},
      {"[ESP]+1", "dword: 0x1122BEF0"},
      {"[[ESP]]", "error: Cannot read memory at 0x1122BEEF"},
      {"[0x9999]", "error: Cannot read memory at 0x9999"},
      {"word ptr [0x1FF3]", "error: Cannot read memory at 0x1FF3"},
      {"long ptr [ESP", "error: Closing bracket expected"},
      {"long ptr ESP", "error: Left bracket expected"},
      {"nosuch ptr [ESP]", "error: Unknown type 'nosuch'"},
      {"WORD ptr [ESP]", "error: Unknown type 'WORD'"},
      {"[\"ab\"]", "error: Invalid operation"},
  };
  CHECK_ALL(cases);
}

TEST_F(Evaluate, EveryMessageForItsInput) {
  const Case cases[] = {
      {"", "error: Any term expected"},
      {"#", "error: Unknown token"},
      {"1 + #", "error: Unknown token"},
      {"'ab", "error: Unterminated constant"},
      {"\"ab", "error: Unterminated string"},
      {"\"ab\\", "error: Unterminated string"},
      {"\"a\\x\"", "error: Incorrect string format"},
      {"\"a\\x{41\"", "error: Incorrect string format"},
      {"nosuch", "error: Unknown symbol 'nosuch'"},
      {"<nomod>", "error: Unknown module 'nomod'"},
      {"(1", "error: Closing brace expected"},
      {"(long[", "error: Right bracket expected"},
      {"(long)", "error: Any term expected"},
      {"(long)\"ab\"", "error: Invalid typecast"},
      {"1 ? 2", "error: Colon expected"},
      {"\"a\" ? 1 : 2", "error: Invalid condition type"},
      {"{1}", "error: Structures are not supported yet"},
      {"1 +", "error: Any term expected"},
      {"-", "error: Any term expected"},
      {"7/0", "error: Division by zero"},
      {"7%0", "error: Division by zero"},
      {"1.5/0", "error: Division by zero"},
      {"1 +/ (", "error: Symbol or number expected"},
      {"EAX +/ nosym", "error: Unknown symbol nosym"},
      {"5[1]", "error: Type 'char' does not support indices"},
      {"EAX->x", "error: Type 'dword' does not support indices"},
      {"EAX.x", "error: Unknown symbol x"},
      {"EAX.", "error: Field name expected"},
      {"\"a\" + 1", "error: Invalid operation"},
      {"1 + \"a\"", "error: Type mismatches"},
      {"-\"a\"", "error: Type mismatches"},
      {"*EAX", "error: Invalid operation"},
  };
  CHECK_ALL(cases);
  ValueDescriptor v;
  EXPECT_FALSE(expression_evaluate(nullptr, &v));
  EXPECT_EQ(nullptr, expression_last_error());
  EXPECT_TRUE(expression_evaluate("1", &v));
  EXPECT_EQ(nullptr, expression_last_error());
}

TEST_F(Evaluate, LongAndDeepTexts) {
  std::string sum = "1";
  for (int i = 1; i < 50000; i++) sum += "+1";
  EXPECT_EQ("char: 'P'", show(sum.c_str()));  // 50000 wraps to 80 in a char
  std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ("error: Expression is nested too deeply", show(deep.c_str()));
  std::string negations = std::string(5000, '-') + "1";
  EXPECT_EQ("error: Expression is nested too deeply", show(negations.c_str()));
  std::string shallow = std::string(20, '(') + "300" + std::string(20, ')');
  EXPECT_EQ("short: 300", show(shallow.c_str()));
  std::string name(1000, 'q');
  std::string shown = show(name.c_str());
  EXPECT_EQ(0u, shown.find("error: Unknown symbol 'qqq"));
  EXPECT_LT(shown.size(), 300u);
  std::string text = "\"" + std::string(400, 'x') + "\"";
  uint8_t bytes[300];
  EXPECT_EQ(260, expression_bytes(text.c_str(), bytes, sizeof bytes));
}

TEST_F(Evaluate, ByteStrings) {
  struct Bytes {
    const char *text;
    std::string bytes;
  };
  const Bytes cases[] = {
      {"0x41, 0x42", "AB"},
      {"\"ab\\n\\q\\s\\0\"", std::string("ab\n\" \0", 6)},
      {"\"\\x41\\x{142}\\x{0101}\\ \"", "AB" "A" "\xFF"},
      {"L\"ab\"", std::string("a\0b\0", 4)},
      {"\"a\", 300, EAX", std::string("a\x2C\x01\x05\0\0\0", 7)},
      {"word ptr [ESP]", "\xEF\xBE"},
      {"1.5", std::string("\0\0\0\0\0\0\xF8\x3F", 8)},
  };
  for (const Bytes &c : cases) {
    SCOPED_TRACE(c.text);
    uint8_t out[300];
    int n = expression_bytes(c.text, out, sizeof out);
    EXPECT_EQ(c.bytes, std::string((const char *)out, (size_t)n));
  }
  uint8_t small[3];
  EXPECT_EQ(3, expression_bytes("\"abcdef\"", small, sizeof small));
  EXPECT_EQ(0, expression_bytes("nosuch", small, sizeof small));
}

TEST_F(Evaluate, ConditionsAndAddresses) {
  struct Cond {
    const char *text;
    bool evaluated;
    uint32_t value;
  };
  const Cond conds[] = {
      {nullptr, true, 1},  {"", true, 1},          {"EAX == 5", true, 1},
      {"EAX == 6", true, 0}, {"nosuch", false, 0}, {"\"x\"", true, 0},
      {"1.5", true, 1},    {"0.25", true, 0},
      // A guard's condition on a floating value holds when it is true.
      {"ST0 > 1.25", true, 1}, {"ST0 > 1.5", true, 0}, {"(long)1 < 1.5", true, 1},
  };
  for (const Cond &c : conds) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    uint32_t value = 7;
    EXPECT_EQ(c.evaluated, expression_condition(c.text, &value));
    EXPECT_EQ(c.value, value);
  }
  EXPECT_EQ(0x401000u, expression_address("0x401000"));
  EXPECT_EQ(5u, expression_address("EAX"));
  EXPECT_EQ(0x1122BEEFu, expression_address("[ESP]"));
  EXPECT_EQ(0u, expression_address("nosuch"));
  uint32_t address = 0, size = 0;
  EXPECT_TRUE(expression_locate("word ptr [ESP+2]", &address, &size));
  EXPECT_EQ(0x1FF2u, address);
  EXPECT_EQ(2u, size);
  EXPECT_TRUE(expression_locate("0x401000", &address, &size));
  EXPECT_EQ(0x401000u, address);
  EXPECT_EQ(4u, size);
  EXPECT_FALSE(expression_locate("nosuch", &address, &size));
}

}  // namespace
