// Settings, binary values and the just-in-time registration through Wine's real registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "settings/changes.h"
#include "settings/settings.h"
#include "settings/settings_registry_win32.h"
#include "startup/jit_registration_win32.h"
#include "startup/privilege_win32.h"
#include "startup/tests/saved_registry_value.h"
#include "util/zone.h"

// The settings go to a key of this run's own, named through the environment, so that
// other tests and kq.exe's own runs never meet them.
struct Registry : ::testing::Test {
  const std::string key_ = "SOFTWARE\\KaquinDebuggerTest-" + std::to_string(GetCurrentProcessId());
  void SetUp() override {
    SetEnvironmentVariableA(kSettingsKeyVariable, key_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    ASSERT_TRUE(settings_startup("C:\\start"));
  }
  void TearDown() override {
    settings_free();
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    SetEnvironmentVariableA(kSettingsKeyVariable, nullptr);
  }
  static void set_value(const char *name, DWORD type, const void *data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, settings_key(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
  }
};

TEST(SettingsKey, TheProductsUnlessTheEnvironmentNamesAnother) {
  const std::string too_long(300, 'K');
  struct {
    const char *variable;  // null: not set
    const char *key;
  } cases[] = {
      {nullptr, "SOFTWARE\\KaquinDebugger"},
      {"", "SOFTWARE\\KaquinDebugger"},
      {"SOFTWARE\\Elsewhere", "SOFTWARE\\Elsewhere"},
      {too_long.c_str(), "SOFTWARE\\KaquinDebugger"},  // a name cut short would be another
  };
  for (auto &c : cases) {
    SetEnvironmentVariableA(kSettingsKeyVariable, c.variable);
    EXPECT_STREQ(settings_key(), c.key) << (c.variable ? c.variable : "(not set)");
  }
  SetEnvironmentVariableA(kSettingsKeyVariable, nullptr);
}

TEST_F(Registry, SettingsRoundTripAndForeignValues) {
  strcpy(g_settings.HotKey, "ALT+F9");
  g_settings.WatchWidth = -5;
  g_settings.Position = {10, 20, 800, 600};
  strcpy(g_settings.Arguments, "");
  ASSERT_TRUE(settings_save_registry());
  settings_startup("C:\\start");  // defaults again, then the registry
  EXPECT_STREQ(g_settings.HotKey, "ALT+F9");
  EXPECT_EQ(g_settings.WatchWidth, -5);
  EXPECT_EQ(g_settings.Position.left, 10);
  EXPECT_EQ(g_settings.Position.bottom, 600);
  // A value of another type is ignored; an empty string gives an empty text.
  DWORD number = 7;
  set_value("ShowMMX", REG_DWORD, &number, sizeof number);
  set_value("LastGlobal", REG_SZ, "", 1);
  set_value("ConsolePosition", REG_SZ, "1 2 3 4", 8);
  settings_load_registry();
  EXPECT_EQ(g_settings.ShowMMX, 0);
  EXPECT_STREQ(g_settings.LastGlobal, "");
  EXPECT_EQ(g_settings.ConsolePosition.right, 3);
}

TEST_F(Registry, BinaryValues) {
  const unsigned char bytes[5] = {1, 0, 2, 0xFF, 3};
  ASSERT_TRUE(registry_write_binary("RecentFiles", bytes, sizeof bytes));
  size_t length = 0;
  void *copy = registry_read_binary("RecentFiles", &length);
  ASSERT_TRUE(copy);
  EXPECT_EQ(length, sizeof bytes);
  EXPECT_EQ(memcmp(copy, bytes, sizeof bytes), 0);
  zone_free(copy);
  set_value("Text", REG_SZ, "abc", 4);
  EXPECT_EQ(registry_read_binary("Text", &length), nullptr);
  EXPECT_EQ(registry_read_binary("Missing", &length), nullptr);
  EXPECT_EQ(length, 0u);
}

// The life of the settings around one debuggee: its options file overrides while it is
// loaded, and at unload the file keeps its entries while the registry is restored.
TEST_F(Registry, OptionsFileOverridesWhileLoaded) {
  char dir[MAX_PATH], exe[MAX_PATH], ini[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryA(sizeof dir, dir), 0u);  // the test's build folder
  snprintf(exe, sizeof exe, "%s\\app.exe", dir);
  snprintf(ini, sizeof ini, "%s\\kq.ini", dir);
  FILE *f = fopen(ini, "w");
  ASSERT_TRUE(f);
  fputs("Arguments=from the file\nSourceSearchPaths=a\n\t\\b\n", f);
  fclose(f);
  strcpy(g_settings.Arguments, "global");
  settings_save_registry();
  settings_read_debuggee_options(exe);
  EXPECT_STREQ(g_settings.Arguments, "from the file");
  EXPECT_STREQ(g_settings.SourceSearchPaths, "a\nb");
  strcpy(g_settings.Arguments, "changed while loaded");
  strcpy(g_settings.HotKey, "CTRL+F12");
  settings_save_at_unload(exe);
  EXPECT_STREQ(g_settings.Arguments, "global");
  EXPECT_STREQ(g_settings.HotKey, "CTRL+F12");
  f = fopen(ini, "r");
  ASSERT_TRUE(f);
  char text[200] = {0};
  fread(text, 1, sizeof text - 1, f);
  fclose(f);
  DeleteFileA(ini);
  EXPECT_STREQ(text, "Arguments=changed while loaded\nSourceSearchPaths=a\n\t\\b\n");
}

const char kAeDebug[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";

// The prefix's own just-in-time debugger is registered again afterwards.
struct JustInTime : ::testing::Test {
  SavedRegistryValue debugger_, automatic_;
  void SetUp() override {
    debugger_.save(HKEY_LOCAL_MACHINE, kAeDebug, "Debugger");
    automatic_.save(HKEY_LOCAL_MACHINE, kAeDebug, "Auto");
  }
  void TearDown() override {
    debugger_.restore();
    automatic_.restore();
  }
};

TEST_F(JustInTime, RegistrationInTheMachineKey) {
  const char *program = "C:\\tools\\kq.exe";
  ASSERT_TRUE(jit_register(program, true));
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAeDebug, 0, KEY_READ, &key), ERROR_SUCCESS);
  char value[600];
  DWORD size = sizeof value, type;
  ASSERT_EQ(RegQueryValueExA(key, "Debugger", nullptr, &type, (BYTE *)value, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(value, "\"C:\\tools\\kq.exe\" -pid=%ld -event=%ld");
  size = sizeof value;
  RegQueryValueExA(key, "Auto", nullptr, &type, (BYTE *)value, &size);
  EXPECT_STREQ(value, "0");
  RegCloseKey(key);
  bool registered, ask;
  ASSERT_TRUE(jit_read(program, &registered, &ask));
  EXPECT_TRUE(registered);
  EXPECT_TRUE(ask);
  ASSERT_TRUE(jit_register(program, false));
  jit_read(program, &registered, &ask);
  EXPECT_FALSE(ask);
  jit_read("C:\\other\\kq.exe", &registered, &ask);
  EXPECT_FALSE(registered);
}

TEST(Privilege, SwitchRaisesTheFlag) {
  changes_clear();
  ASSERT_TRUE(privilege_switch(true));
  EXPECT_TRUE(g_changes.pending[CHG_PRIVILEGE]);
  changes_clear();
  ASSERT_TRUE(privilege_switch(false));
  EXPECT_TRUE(g_changes.pending[CHG_PRIVILEGE]);
}
