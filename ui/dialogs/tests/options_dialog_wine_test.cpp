// The options dialog in this process: the dialog found from a timer inside its modal loop,
// its controls changed as a user would, and the settings and their change flags read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include <functional>
#include <set>
#include <string>

#include "settings/changes.h"
#include "settings/settings.h"
#include "ui/dialogs/options_dialog_ids.h"
#include "ui/dialogs/options_dialog_win32.h"
#include "util/path.h"
#include "util/tests/thread_dialog_win32.h"

static const SettingsMachine kMachine = {"C:\\start", "C:\\kq\\kq.exe", "C:\\windows\\system32",
                                         {0, 0, 1200, 900}};

static std::function<void(HWND)> g_user;

static void CALLBACK act(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = thread_dialog();
  if (!dialog) return;
  KillTimer(nullptr, timer);
  g_user(dialog);
}

// Runs the dialog while user does its part (and closes it).
static void run_dialog(std::function<void(HWND)> user) {
  g_user = user;
  SetTimer(nullptr, 0, 30, act);
  options_dialog(nullptr, "C:\\start");
}

static std::string text(HWND dialog, int id) {
  char buffer[4096] = {0};
  GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
  return buffer;
}

static void key(HWND dialog, int vk) {
  SendMessageA(GetDlgItem(dialog, IDC_OPT_HOTKEY), WM_KEYDOWN, vk, 0);
}

// The names of the settings that reported changed on the last broadcast.
static std::set<std::string> g_reported;
static int g_calls;
static void listener(int) {
  g_calls++;
  if (!changes_test(CHG_SETTINGS)) return;
  for (int i = 0; g_setting_table[i].name; i++)
    if (settings_changed(setting_value(&g_setting_table[i])))
      g_reported.insert(g_setting_table[i].name);
}

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(settings_init(&kMachine));
    settings_take_snapshot(false);
    changes_clear();
    changes_add_listener(listener, 0);
    g_reported.clear();
    g_calls = 0;
  }
  void TearDown() override {
    changes_remove_listener(listener, 0);
    changes_free();
    settings_free();
  }
};

TEST_F(OptionsDialogTest, OkWithoutChangesRaisesNothing) {
  run_dialog([](HWND dialog) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_APPLY)));
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(changes_broadcast(), 0);
  EXPECT_EQ(g_calls, 0);
}

// The hot-key field shows keys, not typed text; only the hot key reports changed.
TEST_F(OptionsDialogTest, HotKeyFieldAndOnlyItsSettingChanged) {
  run_dialog([](HWND dialog) {
    EXPECT_EQ(text(dialog, IDC_OPT_HOTKEY), "CTRL+ADD");
    struct { int vk; const char *shown; } presses[] = {
        {VK_F5, "F5"}, {VK_SHIFT, "F5"}, {VK_CONTROL, "F5"}, {VK_MENU, "F5"},
        {VK_DELETE, ""}, {'K', "K"}, {VK_BACK, ""}, {VK_F5, "F5"}};
    for (auto &p : presses) {
      key(dialog, p.vk);
      EXPECT_EQ(text(dialog, IDC_OPT_HOTKEY), p.shown) << p.vk;
    }
    SendMessageA(GetDlgItem(dialog, IDC_OPT_HOTKEY), WM_CHAR, 'x', 0);
    EXPECT_EQ(text(dialog, IDC_OPT_HOTKEY), "F5");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_APPLY)));
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_STREQ(g_settings.HotKey, "F5");
  EXPECT_EQ(changes_broadcast(), 1);
  EXPECT_EQ(g_reported, std::set<std::string>{"HotKey"});
}

// Every kind of control into its setting: check boxes, texts, numbers, the line breaks
// of the source paths and the arguments with their history; Apply takes the snapshot and
// is unavailable again until the next change.
TEST_F(OptionsDialogTest, ControlsIntoSettings) {
  strcpy(g_settings.Arguments, "b");
  strcpy(g_settings.ArgumentsHistory, "a\nb");
  strcpy(g_settings.SourceSearchPaths, "x\ny");
  settings_take_snapshot(false);
  changes_clear();
  run_dialog([](HWND dialog) {
    EXPECT_EQ(text(dialog, IDC_OPT_SOURCE_PATHS), "x\r\ny");
    EXPECT_EQ(text(dialog, IDC_OPT_ARGUMENTS), "b");
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_OPT_ARGUMENTS), CB_GETCOUNT, 0, 0), 2);
    SetDlgItemTextA(dialog, IDC_OPT_ARGUMENTS, "c");
    SetDlgItemTextA(dialog, IDC_OPT_SOURCE_PATHS, "p\r\nq;r");
    SetDlgItemTextA(dialog, IDC_OPT_BALLOON_DELAY, "12");
    SetDlgItemTextA(dialog, IDC_OPT_OPTIONS_FILE, "*.ini");
    SendMessageA(GetDlgItem(dialog, IDC_OPT_MASTER_MODE), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, IDC_OPT_FORMAT_WARNING), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, IDC_OPT_APPLY), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_APPLY)));
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_STREQ(g_settings.Arguments, "c");
  EXPECT_STREQ(g_settings.ArgumentsHistory, "b\na\nc");
  EXPECT_STREQ(g_settings.SourceSearchPaths, "p\nq;r");
  EXPECT_EQ(g_settings.ContextHelpDelay, 12);
  EXPECT_STREQ(g_settings.OptionsFilename, "*.ini");
  EXPECT_EQ(g_settings.MasterMode, 1);
  EXPECT_EQ(g_settings.ShowFormatWarning, 0);
  EXPECT_EQ(changes_broadcast(), 1);
  EXPECT_EQ(g_reported,
            (std::set<std::string>{"Arguments", "ArgumentsHistory", "SourceSearchPaths",
                                   "ContextHelpDelay", "OptionsFilename", "MasterMode",
                                   "ShowFormatWarning"}));
  // Cancel after a change keeps the settings as they were.
  run_dialog([](HWND dialog) {
    SendMessageA(GetDlgItem(dialog, IDC_OPT_MASTER_MODE), BM_CLICK, 0, 0);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(g_settings.MasterMode, 1);
  EXPECT_EQ(changes_broadcast(), 0);
}

// The hot-key edit is drawn light red while the system would not take its key as a hot
// key: a modifier alone, no key, or a key that another registration holds.
TEST_F(OptionsDialogTest, HotKeyFieldRedWhileTheSystemWouldNotTakeIt) {
  ASSERT_TRUE(RegisterHotKey(nullptr, 9, 0, VK_F14));  // a key no other test uses
  text_copy(g_settings.HotKey, sizeof g_settings.HotKey, "CTRL+");
  run_dialog([](HWND dialog) {
    HWND edit = GetDlgItem(dialog, IDC_OPT_HOTKEY);
    auto red = [&] {
      HDC dc = GetDC(edit);
      SendMessageA(dialog, WM_CTLCOLOREDIT, (WPARAM)dc, (LPARAM)edit);
      const bool is_red = GetBkColor(dc) == 0xC8C8FF;
      ReleaseDC(edit, dc);
      return is_red;
    };
    EXPECT_TRUE(red()) << "a modifier alone";
    struct { int vk; const char *shown; bool red; } presses[] = {
        {VK_F5, "F5", false}, {VK_BACK, "", true}, {VK_F14, "F14", true},
        {VK_F15, "F15", false}, {VK_DELETE, "", true}, {'K', "K", false}};
    for (auto &p : presses) {
      key(dialog, p.vk);
      EXPECT_EQ(text(dialog, IDC_OPT_HOTKEY), p.shown);
      EXPECT_EQ(red(), p.red) << p.shown;
    }
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  UnregisterHotKey(nullptr, 9);
  // The key tried is given back.
  ASSERT_TRUE(RegisterHotKey(nullptr, 9, 0, VK_F15));
  UnregisterHotKey(nullptr, 9);
}
