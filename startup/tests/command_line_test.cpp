#include <gtest/gtest.h>
#include <string.h>

#include "startup/command_line.h"

TEST(CommandLine, RequestsFromRealisticLines) {
  struct {
    const char *line;
    const char *file;
    uint32_t pid, event;
    bool run;
    const char *run_expression;
    bool maximize;
  } cases[] = {
      {"kq.exe", "", NO_PROCESS, 0, false, "", false},
      {"\"C:\\Program Files\\kq\\kq.exe\"", "", NO_PROCESS, 0, false, "", false},
      {"kq.exe prog.exe", "prog.exe", NO_PROCESS, 0, false, "", false},
      {"kq.exe -file:\"C:\\my dir\\a-b.exe\"", "C:\\my dir\\a-b.exe", NO_PROCESS, 0, false, "",
       false},
      {"kq.exe /file=x.exe", "x.exe", NO_PROCESS, 0, false, "", false},
      {"kq.exe first second", "second", NO_PROCESS, 0, false, "", false},
      {"kq.exe -PID=0x1A4 -event=12", "", 420, 12, false, "", false},
      {"kq.exe -pid=0644", "", 420, 0, false, "", false},
      {"kq.exe -pid:99999999999", "", NO_PROCESS, 0, false, "", false},
      {"kq.exe -run:main -maximize prog", "prog", NO_PROCESS, 0, true, "main", true},
      {"kq.exe -run prog", "prog", NO_PROCESS, 0, true, "", false},
      // Unquoted, the drive colon ends the first word; the rest is a later bare word.
      {"kq.exe C:\\dir\\prog.exe", "\\dir\\prog.exe", NO_PROCESS, 0, false, "", false},
      // A missing closing quote ends the token at the end of the line.
      {"kq.exe -file:\"C:\\unbalanced", "C:\\unbalanced", NO_PROCESS, 0, false, "", false},
      {"kq.exe \"", "", NO_PROCESS, 0, false, "", false},
      {"kq.exe -- / -= :: \"\"", "", NO_PROCESS, 0, false, "", false},
      {"kq.exe -bogus=1 prog", "prog", NO_PROCESS, 0, false, "", false},
  };
  for (auto &c : cases) {
    StartupRequest r;
    parse_command_line(c.line, &r);
    EXPECT_STREQ(r.file, c.file) << c.line;
    EXPECT_EQ(r.process_id, c.pid) << c.line;
    EXPECT_EQ(r.event_handle, c.event) << c.line;
    EXPECT_EQ(r.run, c.run) << c.line;
    EXPECT_STREQ(r.run_expression, c.run_expression) << c.line;
    EXPECT_EQ(r.maximize, c.maximize) << c.line;
  }
}

TEST(CommandLine, HugeTokensAreCutNeverOverflow) {
  static char line[20000];
  strcpy(line, "kq.exe -file:\"");
  memset(line + strlen(line), 'x', 15000);
  strcat(line, "\" ");
  memset(line + strlen(line), 'y', 3000);
  StartupRequest r;
  parse_command_line(line, &r);
  EXPECT_EQ(strlen(r.file), (size_t)KQ_PATH - 1);
  EXPECT_EQ(r.file[0], 'y');
}
