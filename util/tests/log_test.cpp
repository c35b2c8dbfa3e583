#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>

#include <string>

#include "test_support.h"
#include "util/line_ends.h"
#include "util/log.h"
#include "util/path.h"

namespace {

// Every line takes the next number (log_body checks them), the greeting the first three.
TEST(Log, GreetingNumbersAndLineJoining) {
  std::string path = open_test_log("greeting");
  log_write("a\nb");
  log_write("c\n");
  log_write("");  // takes no line number
  log_info("info %d", 7);
  log_warning("bad %s", "thing");
  log_printf("%s", "");
  EXPECT_EQ(log_body(path), "a\nbc\ninfo 7\nWARNING: bad thing\n");
  log_close();  // a second close writes nothing more
  std::string text = read_file(path);
  EXPECT_EQ(text.find(" 1\tHello from <test.exe>\n 2\tCurrent time: "), 0u) << text;
  EXPECT_NE(text.find("\n 3\tCurrent date: "), std::string::npos) << text;
}

// With no debugger attached, the break line is a warning that takes its own number.
TEST(Log, BreakLineIsAWarningOfItsOwn) {
  std::string path = open_test_log("break");
  log_set_break_line(5);
  log_write("a\nb\n");
  log_set_break_line(-1);
  EXPECT_EQ(log_body(path), "a\nWARNING: Waiting an error here...\nb\n");
}

// 2047 characters, then "Bye!" continues the same line.
TEST(Log, LongFormattedMessageIsCut) {
  std::string path = open_test_log("long");
  log_printf("%s", std::string(3000, 'x').c_str());
  EXPECT_EQ(log_body(path), std::string(2047, 'x'));
}

TEST(Log, HexDumpLines) {
  unsigned char bytes[20];
  for (int i = 0; i < 20; i++) bytes[i] = (unsigned char)(i < 16 ? 'A' + i : i - 16);
  char line[96];
  log_format_dump_line(line, 0x401000, bytes, 16);
  EXPECT_STREQ(line,
               "  401000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50 ABCDEFGHIJKLMNOP\n");
  log_format_dump_line(line, 0x10, bytes + 16, 4);
  std::string expect = "      10  00 01 02 03";
  expect += std::string(12 * 3 + 1, ' ') + " ....\n";  // 12 blank columns, extra blank at 8
  EXPECT_EQ(std::string(line), expect);

  std::string path = open_test_log("dump");
  log_hexdump(bytes, 20);
  std::string two_lines = log_body(path);
  EXPECT_EQ(std::count(two_lines.begin(), two_lines.end(), '\n'), 2) << two_lines;
}

TEST(Log, TraceNamesTheCallerOrItsAddress) {
  std::string path = open_test_log("trace");
  log_trace("hello %d\n", 1);
  std::string text = log_body(path);
  // Without a map file for this program the caller is shown as its address.
  EXPECT_EQ(text[0], '[') << text;
  EXPECT_NE(text.find("]: hello 1\n"), std::string::npos) << text;
}

TEST(Log, WritesWhileClosedAreDropped) {
  log_close();
  uint32_t before = log_line_counter();
  log_write("nothing\n");
  EXPECT_EQ(log_line_counter(), before);
}

TEST(Log, SizeLimitIsFatal) {
  std::string path = temp_log_path("limit");
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        log_set_size_limit(200);
        for (int i = 0; i < 50; i++) log_info("line %d of some length", i);
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  std::string text = read_file(path);
  EXPECT_NE(text.find("Logfile limit overflow."), std::string::npos) << text;
}

TEST(LineEnds, CarriageReturnBeforeEveryBareLineFeed) {
  const struct { const char *text, *expected; } cases[] = {
      {"", ""}, {"a", "a"}, {"\n", "\r\n"}, {"a\nb\n\n", "a\r\nb\r\n\r\n"},
      {"a\r\nb", "a\r\nb"}, {"\r\r\n\n\r", "\r\r\n\r\n\r"}};
  for (const auto &c : cases) {
    const size_t len = strlen(c.text);
    std::string out(text_with_crlf(c.text, len, nullptr), '?');
    EXPECT_EQ(text_with_crlf(c.text, len, &out[0]), out.size());
    EXPECT_EQ(out, c.expected) << c.text;
  }
}

TEST(Path, ReplaceExtension) {
  struct Case {
    const char *path, *expect;
  } cases[] = {
      {"C:\\dir\\kq.exe", "C:\\dir\\kq.log"},
      {"C:\\dir.x\\kq", "C:\\dir.x\\kq.log"},
      {"/tmp/.hidden", "/tmp/.hidden.log"},
      {"/tmp/..a.b.c", "/tmp/..a.b.log"},
      {"name.", "name.log"},
  };
  for (const Case &c : cases) {
    char out[KQ_PATH];
    path_replace_extension(out, sizeof out, c.path, ".log");
    EXPECT_STREQ(out, c.expect) << c.path;
  }
  char small[8];
  path_replace_extension(small, sizeof small, "abcdefghij.exe", ".log");
  EXPECT_STREQ(small, "abcdefg");
  text_copy(small, sizeof small, "0123456789");
  EXPECT_STREQ(small, "0123456");
}

}  // namespace
