#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "settings/changes.h"
#include "settings/settings.h"
#include "util/tests/test_support.h"

static const SettingsMachine kMachine = {"C:\\start", "C:\\kq\\kq.exe", "C:\\windows\\system32",
                                         {0, 0, 1200, 900}};

struct SettingsFile : ::testing::Test {
  char path[64];
  void SetUp() override {
    ASSERT_TRUE(settings_init(&kMachine));
    changes_clear();
    snprintf(path, sizeof path, "kq-settings-%d.ini", (int)getpid());  // in the build folder
  }
  void TearDown() override {
    settings_free();
    unlink(path);
  }
  void write(const std::string &text) { ASSERT_TRUE(write_file(path, text)); }
  std::string read() {
    std::string s;
    FILE *f = fopen(path, "rb");
    // Line ends as the system writes text files.
    for (int c; f && (c = fgetc(f)) != EOF;)
      if (c != '\r') s += (char)c;
    if (f) fclose(f);
    return s;
  }
  bool from_file(const char *name) {
    return g_settings_store.states[settings_find(name) - g_setting_table].from_file;
  }
};

// The defaults computed from the machine: the window's place from the screen, the
// plug-in folder and the log beside kq, the interpreter in the system folder.
TEST_F(SettingsFile, ComputedDefaults) {
  EXPECT_EQ(g_settings.Position.left, 200);
  EXPECT_EQ(g_settings.Position.top, 150);
  EXPECT_EQ(g_settings.Position.right, 1000);
  EXPECT_EQ(g_settings.Position.bottom, 750);
  EXPECT_STREQ(g_settings.PluginPath, "C:\\kq\\plugin");
  EXPECT_STREQ(g_settings.LogFilename, "C:\\kq\\kq.log");
  EXPECT_STREQ(g_settings.CommandLineInterpreter, "C:\\windows\\system32\\cmd.exe /C");
}

TEST_F(SettingsFile, LinesOfTheOptionsFile) {
  write("Arguments=one two  three \n"
        "WatchWidth =77\n"           // a blank before "=": ignored
        "hotkey=ALT+F4\n"            // keys are case-sensitive
        "ShowMMX:1\r\n"
        "NoSuchKey=5\n"
        "garbage line without key\n"
        "ConsolePosition=10 20 800 600\n"
        "ExecuteStartupCode=x\n"
        "WriteReadOnly=257\n");
  ASSERT_TRUE(settings_read_options_file(path));
  EXPECT_STREQ(g_settings.Arguments, "one two  three ");
  EXPECT_EQ(g_settings.WatchWidth, 300);
  EXPECT_STREQ(g_settings.HotKey, "CTRL+ADD");
  EXPECT_EQ(g_settings.ShowMMX, 1);
  EXPECT_EQ(g_settings.ConsolePosition.left, 10);
  EXPECT_EQ(g_settings.ConsolePosition.top, 20);
  EXPECT_EQ(g_settings.ConsolePosition.right, 800);
  EXPECT_EQ(g_settings.ExecuteStartupCode, 0);
  EXPECT_EQ(g_settings.WriteReadOnly, 1);  // low 8 bits
  EXPECT_TRUE(from_file("Arguments"));
  EXPECT_FALSE(from_file("WatchWidth"));
  EXPECT_FALSE(from_file("HotKey"));
  EXPECT_FALSE(settings_read_options_file("/nonexistent/kq.ini"));
}

TEST_F(SettingsFile, ContinuationLinesRoundTrip) {
  strcpy(g_settings.SourceSearchPaths, "C:\\src\nD:\\more src");
  strcpy(g_settings.Arguments, "-x");
  g_settings_store.states[settings_find("SourceSearchPaths") - g_setting_table].from_file = true;
  g_settings_store.states[settings_find("Arguments") - g_setting_table].from_file = true;
  ASSERT_TRUE(settings_write_options_file(path));
  // Table order; the line feed written as a line beginning with a tab and a backslash.
  EXPECT_EQ(read(), "Arguments=-x\nSourceSearchPaths=C:\\src\n\t\\D:\\more src\n");
  ASSERT_TRUE(settings_init(&kMachine));
  ASSERT_TRUE(settings_read_options_file(path));
  EXPECT_STREQ(g_settings.SourceSearchPaths, "C:\\src\nD:\\more src");
  EXPECT_STREQ(g_settings.Arguments, "-x");
}

TEST_F(SettingsFile, OverlongValuesAreCut) {
  std::string text = "Arguments=" + std::string(5000, 'a') + "\nSourceSearchPaths=" +
                     std::string(900, 'b');
  for (int i = 0; i < 10; i++) text += "\n\t\\" + std::string(300, 'c');
  text += "\nHotKey=ALT+F1\n";
  write(text.c_str());
  ASSERT_TRUE(settings_read_options_file(path));
  EXPECT_EQ(strlen(g_settings.Arguments), (size_t)SETTING_TEXT - 1);
  EXPECT_LT(strlen(g_settings.SourceSearchPaths), (size_t)SETTING_LONG_TEXT);
  EXPECT_EQ(g_settings.SourceSearchPaths[0], 'b');
  EXPECT_STREQ(g_settings.HotKey, "ALT+F1");  // the entry after them is still read
}

TEST_F(SettingsFile, SnapshotReportsExactlyWhatChanged) {
  settings_take_snapshot(false);  // start-up: the first one raises, nothing reports changed
  EXPECT_TRUE(g_changes.pending[CHG_SETTINGS]);
  EXPECT_FALSE(settings_changed(&g_settings.HotKey));
  changes_clear();
  settings_take_snapshot(true);  // applying without changes
  EXPECT_FALSE(g_changes.pending[CHG_SETTINGS]);
  strcpy(g_settings.HotKey, "ALT+F5");
  settings_take_snapshot(true);
  EXPECT_TRUE(g_changes.pending[CHG_SETTINGS]);
  int changed = 0;
  for (int i = 0; i < g_settings_store.count; i++) changed += g_settings_store.states[i].changed;
  EXPECT_EQ(changed, 1);
  EXPECT_TRUE(settings_changed(&g_settings.HotKey));
  EXPECT_FALSE(settings_changed(&g_settings.Arguments));
}

TEST(SettingsPattern, NamePatternRule) {
  struct { const char *pattern, *debuggee, *result; } cases[] = {
      {"kq.ini", "C:\\prog\\app.exe", "C:\\prog\\kq.ini"},
      {"*.job", "C:\\prog\\app.exe", "C:\\prog\\app.job"},
      {"*.log", "C:\\prog\\my.app.exe", "C:\\prog\\my.app.log"},
      {"kq.ini", "", "kq.ini"},
      {"C:\\logs\\*-*.txt", "D:\\x\\app.exe", "C:\\logs\\app-app.txt"},
      {"\\\\srv\\share\\*.ini", "D:\\x\\app", "\\\\srv\\share\\app.ini"},
  };
  for (auto &c : cases) {
    char out[KQ_PATH];
    settings_pattern_path(c.pattern, c.debuggee, out, sizeof out);
    EXPECT_STREQ(out, c.result) << c.pattern;
  }
  char small[8];
  settings_pattern_path("*.ini", "C:\\prog\\averylongname.exe", small, sizeof small);
  EXPECT_EQ(strlen(small), 7u);
}
