// The workspace file's text: arguments coded and decoded, records written and read back
// (every byte value among them), damaged lines skipped with a log line while the sound
// ones around them are kept, and a failed write that leaves the old file as it was.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "startup/workspace_file.h"
#include "util/tests/test_support.h"
#include "util/zone.h"

#ifdef _WIN32
#include <direct.h>
inline int make_dir(const char *path) { return _mkdir(path); }
#else
#include <sys/stat.h>
inline int make_dir(const char *path) { return mkdir(path, 0700); }
#endif

namespace {

WorkspaceRecord make(int kind, const char *a, const char *b = "") {
  WorkspaceRecord r;
  memset(&r, 0, sizeof r);
  r.kind = kind;
  snprintf(r.args[0], sizeof r.args[0], "%s", a);
  snprintf(r.args[1], sizeof r.args[1], "%s", b);
  return r;
}

std::string line_of(const WorkspaceRecord &r) {
  char line[8192];
  EXPECT_TRUE(workspace_format_record(&r, line, sizeof line));
  return line;
}

void write_text(const std::string &path, const std::string &text) {
  FILE *f = fopen(path.c_str(), "w");
  ASSERT_TRUE(f);
  fputs(text.c_str(), f);
  fclose(f);
}

// A text file as the program reads it: line ends without the carriage returns Windows
// writes in text mode.
std::string read_text(const std::string &path) {
  std::string text = read_file(path), out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

void collect(const WorkspaceRecord *r, void *context) {
  ((std::vector<WorkspaceRecord> *)context)->push_back(*r);
}

TEST(WorkspaceFile, RecordsAreWrittenAsTheUserSeesThem) {
  struct Case {
    WorkspaceRecord record;
    const char *line;
  };
  const Case cases[] = {
      {make(WS_BREAK, "main"), "break main;\n"},
      {make(WS_COMMENT, "0x401000", ""), "comment 0x401000, \"\";\n"},
      {make(WS_COMMENT, "main+/0x10", "say \"hi\""), "comment \"main+/0x10\", \"say \\qhi\\q\";\n"},
      {make(WS_GUARD, "counter", ""), "guard counter, \"\";\n"},
      {make(WS_GUARD, "g_table[2]", "eax == 0"), "guard \"g_table[2]\", \"eax == 0\";\n"},
      {make(WS_WATCH, "it's\ta\\b\x01\x7f\r\n"),
       "watch \"it\\'s\\ta\\\\b\\x{01}\\x{7F}\\r\\n\";\n"},
      {make(WS_WATCH, "\xE9t\xE9"), "watch \"\xE9t\xE9\";\n"},  // bytes above 127 as they are
      {make(WS_WATCH, "\x0E\x1F"), "watch \"\\x{016}\\x{1F}\";\n"},  // read back, not as octal 0
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.line, line_of(c.record));
  }
  char small[12] = "";
  EXPECT_FALSE(workspace_format_record(&cases[2].record, small, sizeof small));
  EXPECT_EQ(strlen(small), sizeof small - 1);  // cut, still terminated
}

TEST(WorkspaceFile, EscapesAreDecoded) {
  struct Case {
    const char *line, *text;
  };
  const Case cases[] = {
      {"watch \"a\\sb\";", "a b"},
      {"watch \"a\\ b\";", "a\xFF" "b"},
      {"watch \"\\x{41}\\x{0101}\\x42\\x07\\x{7e}\";", "AAB\x07~"},
      {"watch \"\\x{41\";", "A"},  // the closing brace may be left out
      {"watch \"\\z\\\\\\q\";", "z\\\""},
      {"watch \"\\x\";", "x"},
      {"WaTcH   plain_1  ;", "plain_1"},  // keywords in any case, blanks around arguments
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    WorkspaceRecord r;
    ASSERT_EQ(WSL_RECORD, workspace_parse_line(c.line, &r));
    EXPECT_EQ(WS_WATCH, r.kind);
    EXPECT_STREQ(c.text, r.args[0]);
  }
}

TEST(WorkspaceFile, EveryByteSurvivesTheRoundTrip) {
  std::vector<WorkspaceRecord> records;
  for (int start = 1; start < 256; start += 100) {
    std::string text;
    for (int c = start; c < start + 100 && c < 256; c++) text += (char)c;
    records.push_back(make(WS_COMMENT, text.c_str(), text.c_str() + 50));
  }
  records.push_back(make(WS_BREAK, std::string(KQ_PATH - 1, '"').c_str()));  // longest line
  records.push_back(make(WS_GUARD, "x", ""));
  records.push_back(make(WS_WATCH, "*(int*)0x402000"));
  for (const WorkspaceRecord &w : records) {
    WorkspaceRecord r;
    std::string line = line_of(w);
    ASSERT_EQ(WSL_RECORD, workspace_parse_line(line.c_str(), &r)) << line;
    EXPECT_EQ(w.kind, r.kind);
    EXPECT_STREQ(w.args[0], r.args[0]);
    EXPECT_STREQ(w.args[1], r.args[1]);
  }
}

TEST(WorkspaceFile, UnsoundLinesAreDamagedOrUnknown) {
  struct Case {
    const char *line;
    WorkspaceLine found;
  };
  const Case cases[] = {
      {"break ;", WSL_DAMAGED},          {"break main", WSL_DAMAGED},
      {"break main, x;", WSL_DAMAGED},   {"comment a;", WSL_DAMAGED},
      {"comment a, ;", WSL_DAMAGED},     {"watch \"open;", WSL_DAMAGED},
      {"watch \"ends in \\", WSL_DAMAGED}, {"guard a b;", WSL_DAMAGED},
      {"breakpoint main;", WSL_UNKNOWN}, {"", WSL_UNKNOWN},
      {" break main;", WSL_UNKNOWN},     {"\xFF\xFE", WSL_UNKNOWN},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    WorkspaceRecord r;
    EXPECT_EQ(c.found, workspace_parse_line(c.line, &r));
  }
}

class WorkspaceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    log_path_ = open_test_log(name);
    path_ = temp_log_path(name) + ".job";
    blocks_ = zone_block_count();
  }
  void TearDown() override {
    for (const char *suffix : {"", ".bad", ".new"}) remove((path_ + suffix).c_str());
    rmdir_new();
    log_close();
    EXPECT_EQ(blocks_, zone_block_count());
  }
  void rmdir_new() { rmdir((path_ + ".new").c_str()); }
  std::vector<WorkspaceRecord> read(int *damaged) {
    std::vector<WorkspaceRecord> got;
    EXPECT_TRUE(workspace_read_file(path_.c_str(), collect, &got, damaged));
    return got;
  }
  std::string log_path_, path_;
  int blocks_ = 0;
};

TEST_F(WorkspaceFiles, DamagedLinesAreSkippedAndTheFileKept) {
  const std::string text =
      "comment main, \"entry\";\n"
      "break \"unterminated;\n"
      "BREAK main;\n" +
      std::string(20000, 'w') + "\n" +  // longer than any record
      "guard counter, \"\";\n"
      "gibberish here;\n"
      "watch never_read;\n";
  write_text(path_, text);
  int damaged = 0;
  std::vector<WorkspaceRecord> got = read(&damaged);
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(WS_COMMENT, got[0].kind);
  EXPECT_STREQ("entry", got[0].args[1]);
  EXPECT_EQ(WS_BREAK, got[1].kind);
  EXPECT_EQ(WS_GUARD, got[2].kind);
  EXPECT_STREQ("", got[2].args[1]);
  EXPECT_EQ(3, damaged);
  std::string log = read_file(log_path_);
  EXPECT_NE(std::string::npos, log.find("line 2 is damaged and skipped"));
  EXPECT_NE(std::string::npos, log.find("line 4 is damaged and skipped"));
  EXPECT_NE(std::string::npos, log.find("line 6 has no known record"));
  // The text as it was stays beside it, for the next save rewrites the file.
  EXPECT_EQ(text, read_text(path_ + ".bad"));
}

TEST_F(WorkspaceFiles, TruncatedAndSoundFiles) {
  write_text(path_, "watch a;\nwatch \"b c");  // cut in the middle of the last line
  int damaged = 0;
  EXPECT_EQ(1u, read(&damaged).size());
  EXPECT_EQ(1, damaged);
  remove((path_ + ".bad").c_str());
  write_text(path_, "watch a;\nwatch b;");  // no line feed at the end is still whole
  EXPECT_EQ(2u, read(&damaged).size());
  EXPECT_EQ(0, damaged);
  EXPECT_EQ("", read_text(path_ + ".bad"));
  remove(path_.c_str());
  std::vector<WorkspaceRecord> got;
  EXPECT_FALSE(workspace_read_file(path_.c_str(), collect, &got, &damaged));
}

TEST_F(WorkspaceFiles, AFailedWriteKeepsTheOldFile) {
  const std::string old_text = "break main;\n", new_text = "break other;\n";
  ASSERT_TRUE(workspace_write_file(path_.c_str(), old_text.data(), old_text.size()));
  EXPECT_EQ(old_text, read_text(path_));
  // The temporary file cannot be made: the old workspace stays whole.
  ASSERT_EQ(0, make_dir((path_ + ".new").c_str()));
  EXPECT_FALSE(workspace_write_file(path_.c_str(), new_text.data(), new_text.size()));
  EXPECT_EQ(old_text, read_text(path_));
  EXPECT_NE(std::string::npos, read_file(log_path_).find("the old file is kept"));
  rmdir_new();
  ASSERT_TRUE(workspace_write_file(path_.c_str(), new_text.data(), new_text.size()));
  EXPECT_EQ(new_text, read_text(path_));
  EXPECT_EQ("", read_text(path_ + ".new"));
}

}  // namespace
