// Keys of kq.exe end to end: key messages posted to its focused window pass its message
// loop's filter and reach the commands of the command tables; the main menu carries the
// key names; the hot key comes from the setting's text.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "tests/support/kq_keyboard.h"
#include "tests/support/kq_driver.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "util/tests/test_support.h"

class Keys : public ::testing::Test {
 protected:
  // kq.exe runs in a folder of its own (its log is kq.log beside it), with the standard
  // menu and the hot key of the text.
  bool start(const char *hot_key, const std::string &arguments = "") {
    if (!kq_.place("keys") || !kq_.set("ShowStdMenu", "1") || !kq_.set("HotKey", hot_key) ||
        !kq_.start(arguments))
      return false;
    keys_ = keyboard_of(kq_);
    return true;
  }
  std::string log() const { return kq_.log(); }
  // Whether the hot key SHIFT+ALT+F11 is another program's: this one cannot take it.
  static bool hot_key_taken() {
    const BOOL mine = RegisterHotKey(nullptr, 7, MOD_SHIFT | MOD_ALT, VK_F11);
    if (mine) UnregisterHotKey(nullptr, 7);
    return !mine;
  }

  // kq's window of that class, top-level or inside one of its top-level windows.
  HWND window_of_class(const char *class_name) const {
    return process_child(kq_.pi.dwProcessId, class_name);
  }
  static std::string class_of(HWND hwnd) {
    char cls[64] = "(none)";
    if (hwnd) GetClassNameA(hwnd, cls, sizeof cls);
    return cls;
  }
  KqDriver kq_;
  KqKeyboard keys_;
};

// Main-window keys reach the main window's commands whichever panel has the focus; a
// panel's own keys go to the panel while it has the focus. The hot key of the setting is
// taken from the system while kq runs and given back when it ends.
TEST_F(Keys, KeysRunTheCommandsOfTheTables) {
  // With a debuggee the panels are shown, so that they can take the focus.
  ASSERT_TRUE(start("shift + alt + f11", "-file:\"" + build_file(kSample) + "\"")) << log();
  EXPECT_TRUE(hot_key_taken());
  HWND console = window_of_class("console"), log_panel = window_of_class("log");
  ASSERT_TRUE(console && log_panel) << log();
  ASSERT_TRUE(wait_for([&] { return log().find("EVN_Pause at ") != std::string::npos; })) << log();
  ASSERT_TRUE(IsWindowVisible(log_panel));
  ASSERT_TRUE(keys_.attach());
  // F2: the debugger's window maximised and restored.
  EXPECT_TRUE(keys_.press_in_front(0, VK_F2, [&] { return IsZoomed(kq_.main) != 0; }));
  EXPECT_TRUE(keys_.press_in_front(0, VK_F2, [&] { return !IsZoomed(kq_.main); }));
  // CTRL+F10: the console shown and hidden again; F10 alone is another command.
  ASSERT_FALSE(IsWindowVisible(console));
  EXPECT_TRUE(
      keys_.press_in_front(KEYMOD_CTRL, VK_F10, [&] { return IsWindowVisible(console) != 0; }));
  EXPECT_TRUE(keys_.press_in_front(KEYMOD_CTRL, VK_F10, [&] { return !IsWindowVisible(console); }));
  // With CTRL and SHIFT held nothing is bound to F10: the console stays hidden.
  SetForegroundWindow(kq_.main);
  keys_.press(KEYMOD_CTRL | KEYMOD_SHIFT, VK_F10);
  EXPECT_FALSE(IsWindowVisible(console));
  // CTRL+F4 gives the log panel the focus; its own CTRL+W is a command not implemented.
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, VK_F4, [&] { return keys_.focus() == log_panel; }))
      << class_of(keys_.focus());
  auto message_box = [&] {
    HWND box = FindWindowA(nullptr, "Not implemented");
    return box && GetWindowThreadProcessId(box, nullptr) == keys_.thread ? box : nullptr;
  };
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, 'W', [&] { return message_box() != nullptr; }));
  HWND box = message_box();
  char text[256] = {};
  EnumChildWindows(box, [](HWND child, LPARAM arg) WINAPI -> BOOL {
    char t[256];
    GetWindowTextA(child, t, sizeof t);
    if (strstr(t, "Sorry")) strcpy((char *)arg, t);
    return TRUE;
  }, (LPARAM)text);
  EXPECT_STREQ(text, "Sorry, but 'Wrap' command is not implemented in this version");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(box); }));
  // ALT+F4 quits, as a system key.
  EXPECT_TRUE(keys_.press_in_front(KEYMOD_ALT, VK_F4, [&] {
    return WaitForSingleObject(kq_.pi.hProcess, 0) == WAIT_OBJECT_0;
  }, true));
  EXPECT_EQ(kq_.close(), 0);
  EXPECT_FALSE(hot_key_taken());
}

// A hot key text that does not parse leaves kq without one and says so in the log.
TEST_F(Keys, HotKeyFromABadSettingText) {
  ASSERT_TRUE(start("CTRL+FOO")) << log();
  EXPECT_FALSE(hot_key_taken());
  EXPECT_EQ(kq_.close(), 0);
  EXPECT_NE(log().find("flags=8 key=0"), std::string::npos) << log();
}

// kq's main menu, labelled as kq labels it, shows each item's key (menus of another
// process cannot be read under Wine, so the menu is kq's resource in this process); and
// every command of every table has its help text in kq's string table, except the few
// the tables leave without.
TEST(KeysOfKq, MenuShowsKeysAndCommandsHaveHelp) {
  HMODULE kq = LoadLibraryExA(build_file("startup\\kq.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(kq);
  HWND window = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  ASSERT_TRUE(SetMenu(window, LoadMenuA(kq, MAKEINTRESOURCEA(1340))));
  keyb_label_menu(window, main_keys);
  HMENU menu = GetMenu(window);
  struct { int command; const char *text_end; } items[] = {
      {10075, "\tALT+F2"}, {10079, "\tALT+F4"}, {10077, "\tF10"}, {10085, "\tF7"},
      {10090, "\tALT+F10"}, {10080, "\tALT+F3"}, {10076, "\tALT+F1"},
  };
  for (auto &item : items) {
    char text[128] = {};
    ASSERT_GT(GetMenuStringA(menu, item.command, text, sizeof text, MF_BYCOMMAND), 0)
        << item.command;
    std::string s = text;
    EXPECT_EQ(s.substr(s.size() - std::min(s.size(), strlen(item.text_end))), item.text_end)
        << item.command << ": " << s;
    EXPECT_EQ(s.find('\t'), s.rfind('\t')) << "labelled once: " << s;
  }
  // The menus and their items as the user reads them, separators as "-".
  struct { const char *title; const char *items; } menus[] = {
      {"File", "10075 Open executable..|10095 Open process..|10090 Close|-|10080 Restart|"
               "10076 Options..|10083 Setup JustInTime debugger..|-|10079 Quit debugger"},
      {"Process", "10077 Run/Stop|10069 Guards list..|-|10085 Step into|10086 Step over|"
                  "10084 Step back"},
      {"Source", "10154 Search string..|10138 Goto address..|10140 Goto line..|10139 Goto EIP|"
                 "10135 Switch breakpoint"},
      {"Code", "10027 Search..|10012 Goto address..|10013 Goto EIP|10007 Switch breakpoint|"
               "10011 Follow|-|10010 Erase|10008 Comment line..|10006 Edit instruction..|"
               "10016 New EIP|-|10032 View bytes|10005 Save patches.."},
      {"Data", "10057 Search..|10046 Goto address..|10044 Fill..|10049 Insert.."},
      {"Variables", "10158 Add expressoin..|10159 Change value..|10164 Inspect..|10160 Delete"},
      {"View", "10062 Animation window..|10094 Plugins commands..|-|10100 Zoom panel|-|"
               "10092 View comments..|10091 View breakpoints..|10096 View symbols..|"
               "10093 View modules..|10097 View threads..|10095 View processes.."},
      {"Help", "10072 Help index..|10073 Plugins interface..|-|10071 Our site"},
  };
  const int count = (int)(sizeof menus / sizeof menus[0]);
  ASSERT_EQ(GetMenuItemCount(menu), count);
  for (int m = 0; m < count; m++) {
    char text[128] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    ASSERT_TRUE(GetMenuItemInfoA(menu, m, TRUE, &info));
    EXPECT_STREQ(text, menus[m].title);
    EXPECT_EQ((info.fType & MFT_RIGHTJUSTIFY) != 0, m == count - 1) << text;
    std::string seen;
    for (int i = 0; i < GetMenuItemCount(info.hSubMenu); i++) {
      char item[128] = {};
      GetMenuStringA(info.hSubMenu, i, item, sizeof item, MF_BYPOSITION);
      const UINT id = GetMenuItemID(info.hSubMenu, i);
      std::string shown = item;
      shown = shown.substr(0, shown.find('\t'));  // the key, if any, was checked above
      seen += std::string(i ? "|" : "") + (id == 0 ? "-" : std::to_string(id) + " " + shown);
    }
    EXPECT_EQ(seen, menus[m].items);
  }
  // A command in two menus shows its key in both.
  HMENU view = GetSubMenu(menu, 6);
  char processes[128] = {};
  GetMenuStringA(view, GetMenuItemCount(view) - 1, processes, sizeof processes, MF_BYPOSITION);
  EXPECT_STREQ(processes, "View processes..\tSHIFT+F7");
  DestroyWindow(window);

  const KeyCommand *tables[] = {main_keys, code_keys, data_keys, source_keys, reg_keys,
                                watch_keys, log_keys, inspector_keys, cover_keys,
                                cmdline_keys, comments_keys, breakpoints_keys,
                                animator_keys, dialog_keys};
  const int without_help[] = {0, 1, 2, 10038, 10045, 10048, 10157};
  for (const KeyCommand *table : tables)
    for (const KeyCommand *row = table; row->title; row++) {
      bool none = false;
      for (int id : without_help) none |= id == row->command;
      char help[256] = {};
      EXPECT_EQ(LoadStringA(kq, row->command, help, sizeof help) > 0, !none)
          << row->command << " " << row->title;
    }
  FreeLibrary(kq);
}
