// Value and type texts: every base type's form, strings read from memory in pieces,
// pointers at the top level and inside structures, cut buffers and failed loads.
#include "eval_fixture.h"

namespace {

class Format : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    define_world();
  }
  static std::string value_text(const char *text, int size = 300) {
    ValueDescriptor v;
    if (!expression_evaluate(text, &v)) return "bad expression";
    std::string out((size_t)size, 'X');
    int n = expression_format_value(&v, &out[0], size);
    EXPECT_EQ((size_t)n, strlen(out.c_str()));
    return out.c_str();
  }
};

TEST_F(Format, EveryBaseType) {
  struct Case {
    const char *text, *shown;
  };
  const Case cases[] = {
      {"(char)0", "'\\0'"},         {"(char)8", "'\\b'"},         {"(char)9", "'\\t'"},
      {"(char)10", "'\\n'"},        {"(char)11", "'\\v'"},        {"(char)12", "'\\f'"},
      {"(char)13", "'\\r'"},        {"(char)1", "'\\x{01}'"},     {"(char)127", "'\\x{7F}'"},
      {"(char)0xE9", "'\xE9'"},     {"(short)-2", "-2"},          {"(long)-70000", "-70000"},
      {"(quad)-5", "-5"},           {"(byte)0x1AB", "0xAB"},      {"(word)0x12345", "0x2345"},
      {"(qword)0x123456789", "0x123456789"},
      {"(float)0.1", "0.1"},        {"(double)1e100", "1e+100"},  {"1.0/3", "0.333333"},
      {"(dword)0x1100", "counter"}, {"(dword)0x1104", "0x1104"},  {"(dword)0x401000", "main"},
      {"(dword)0x10001000", "<lib.dll>+/Export"},
      {"\"text\"", ""},             {"<app.exe>", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.shown, value_text(c.text));
  }
}

TEST_F(Format, StringsPointersAndStructures) {
  // A text running up to the end of readable memory, with no NUL.
  for (uint32_t i = 0; i < 300; i++) g_fake.memory[0x5000 + i] = (uint8_t)('a' + i % 26);
  poke32(0x1504, 0x5000 + 300 - 30);
  std::string tail;
  for (uint32_t i = 270; i < 300; i++) tail += (char)('a' + i % 26);
  EXPECT_EQ("\"" + tail + "\"", value_text("(char*)[0x1504]"));
  EXPECT_EQ(302u, value_text("(byte*)0x5000", 400).size());
  EXPECT_EQ("\"hello\"", value_text("(byte[])text"));
  EXPECT_EQ("{10, 0x120C, \"hello\"}", value_text("head"));  // inner pointers by name
  EXPECT_EQ("{10, 0x120C, \"hello\"}", value_text("*&head"));
  EXPECT_EQ("NULL", value_text("(Node*)0"));
  EXPECT_EQ("NULL", value_text("(char*)0"));
  EXPECT_EQ("counter", value_text("(Node**)0x1100"));  // a pointer to a pointer: its name
  // Cut outputs stay terminated inside the buffer.
  EXPECT_EQ("{1, ", value_text("table", 5));
  EXPECT_EQ("", value_text("table", 1));
  EXPECT_EQ("\"hel", value_text("text", 5));
  char type[8];
  EXPECT_EQ(7, expression_format_type(expression_get_type("Node**"), type, sizeof type));
  EXPECT_STREQ("struct ", type);
}

TEST_F(Format, NestedStructuresAreBounded) {
  TypeRecord *loop = type_define_struct("Loop", 8);
  type_define_member(loop, "tag", 0, type_base(BT_LONG));
  type_define_member(loop, "self", 0, loop);  // holds itself at the same place
  entry_define("loop", 0x1100, loop, nullptr);
  std::string text = value_text("loop", 4000);
  EXPECT_EQ(0u, text.find("{7, {7, {7, "));
  EXPECT_LT(text.size(), 200u);
  TypeRecord *big = type_define_array(type_base(BT_LONG), 0xFFFFFFF0);
  entry_define("big", 0x1300, big, nullptr);
  EXPECT_EQ(299u, value_text("big").size());  // ends where the buffer does
}

TEST_F(Format, FailedLoadGivesNothingAndALogLine) {
  ValueDescriptor v;
  ASSERT_TRUE(expression_evaluate("counter", &v));
  v.address = 0x9000;
  char text[50] = "junk";
  EXPECT_EQ(0, expression_format_value(&v, text, sizeof text));
  EXPECT_STREQ("", text);
  EXPECT_NE(std::string::npos, log().find("Cannot format value 9000"));
  ASSERT_TRUE(expression_evaluate("(Node)1", &v) == false);
  EXPECT_NE(std::string::npos, log().find("NIY"));
}

}  // namespace
