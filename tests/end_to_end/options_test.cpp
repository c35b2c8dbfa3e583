// The options dialog, the status bar and the input prompt of kq.exe under Wine, driven
// from outside through window messages to the controls of its windows, and read back
// through the windows' texts, the registry key of the runs and the options file.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "startup/resource_ids.h"
#include "tests/support/kq_driver.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/panels/status_bar/status_bar_text.h"
#include "util/tests/test_support.h"

namespace {

// kq.exe placed in a folder of this test (its log, its start directory and the options
// file there are its own), with the test's debuggee in a folder below it.
struct Kq : KqDriver {
  bool prepare() {
    if (!place("options")) return false;
    CreateDirectoryA((folder + "debuggee").c_str(), nullptr);
    return !copy_in(kDebuggee, "debuggee\\kq_debuggee.exe").empty();
  }
  std::string debuggee() const { return folder + "debuggee\\kq_debuggee.exe"; }
  HWND status() const { return FindWindowExA(main, nullptr, "status", nullptr); }
  // One pane of the status bar, from its window text (the panes joined by tabs).
  std::string pane(int index) const {
    std::string all = text_of(status()) + "\t";
    size_t at = 0;
    for (int i = 0; i < index && at != std::string::npos; i++) at = all.find('\t', at) + 1;
    return at == std::string::npos ? "" : all.substr(at, all.find('\t', at) - at);
  }
  // Sends the command and waits for the dialog it opens.
  HWND open(int id, const char *caption) const {
    command(id);
    HWND found = nullptr;
    wait_for([&] { return (found = window("#32770", caption)) != nullptr; });
    return found;
  }
};

void click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool closes(HWND dialog) {
  return wait_for([&] { return !IsWindow(dialog); }, 10);
}
bool checked(HWND dialog, int id) {
  return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void set_text(HWND dialog, int id, const char *text) {
  SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text);
}
std::string item(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }
// True when no program holds key as its global hot key.
bool hot_key_free(UINT key) {
  if (!RegisterHotKey(nullptr, 7, 0, key)) return false;
  UnregisterHotKey(nullptr, 7);
  return true;
}
void write_file(const std::string &path, const char *text) {
  FILE *f = fopen(path.c_str(), "wb");
  if (f) fputs(text, f), fclose(f);
}

std::vector<std::string> list_of(HWND combo) {
  std::vector<std::string> list;
  int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
  // Wide: Wine hands an ANSI list text to another process only up to its first letter.
  for (int i = 0; i < count; i++) {
    wchar_t entry[512] = {0};
    SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)entry);
    char narrow[512] = {0};
    WideCharToMultiByte(CP_ACP, 0, entry, -1, narrow, sizeof narrow, nullptr, nullptr);
    list.push_back(narrow);
  }
  return list;
}

// Answers the input prompt with Enter in its field.
void answer_prompt(HWND prompt, const char *text) {
  HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
  SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)text);
  HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
}

}  // namespace

// One run without a debuggee: the status bar's panes and hover help, the dialog's
// controls into the settings (live where a listener follows them, in the registry at the
// end), Cancel that changes nothing, and the input prompt's history across two questions.
TEST(KqOptions, DialogStatusBarAndPromptWithoutDebuggee) {
  Kq kq;
  ASSERT_TRUE(kq.prepare() && kq.set("ArgumentsHistory", "") && kq.set("ShowStdMenu", "1"));
  ASSERT_TRUE(kq.start(""));
  ASSERT_TRUE(kq.status());
  EXPECT_TRUE(wait_for([&] { return kq.pane(PANE_STATE) == "Not loaded"; })) << kq.pane(PANE_STATE);
  EXPECT_EQ(kq.pane(PANE_TIME), "no time");
  EXPECT_EQ(kq.pane(PANE_LOCATION), "");
  // The bar lies along the bottom of the main window's client area, full width.
  RECT client, bar;
  GetClientRect(kq.main, &client);
  GetWindowRect(kq.status(), &bar);
  MapWindowPoints(nullptr, kq.main, (POINT *)&bar, 2);
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.right, client.right);
  EXPECT_EQ(bar.bottom, client.bottom);
  EXPECT_EQ(bar.bottom - bar.top, 19);
  // A window of this program under the mouse is named in the hint.
  HWND mine = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other program", WS_POPUP | WS_VISIBLE,
                              0, 0, 120, 60, nullptr, nullptr, nullptr, nullptr);
  char name[MAX_PATH];
  GetModuleFileNameA(nullptr, name, sizeof name);
  std::string expected = "hwnd=" + std::to_string((unsigned)(uintptr_t)mine) +
                         " pid=" + std::to_string(GetCurrentProcessId()) + " " +
                         std::string(strrchr(name, '\\') + 1);
  EXPECT_TRUE(wait_for([&] {
    SetCursorPos(60, 30);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return _stricmp(kq.pane(PANE_HINT).c_str(), expected.c_str()) == 0;
  }, 20)) << kq.pane(PANE_HINT) << " / " << expected;
  DestroyWindow(mine);
  EXPECT_TRUE(GetMenu(kq.main));

  // The dialog shows the settings.
  HWND dialog = kq.open(10076, "Configuration");
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(checked(dialog, IDC_OPT_STARTUP_CODE));
  EXPECT_TRUE(checked(dialog, IDC_OPT_STD_MENU));
  EXPECT_FALSE(checked(dialog, IDC_OPT_MASTER_MODE));
  EXPECT_EQ(item(dialog, IDC_OPT_HOTKEY), "CTRL+ADD");
  EXPECT_EQ(item(dialog, IDC_OPT_WORKSPACE_FILE), "kq.job");
  EXPECT_EQ(item(dialog, IDC_OPT_OPTIONS_FILE), "kq.ini");
  EXPECT_EQ(item(dialog, IDC_OPT_BALLOON_DELAY), "1");
  EXPECT_NE(item(dialog, IDC_OPT_INTERPRETER).find("cmd.exe /C"), std::string::npos);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_APPLY)));
  // Changes through the controls: Apply becomes available.
  click(dialog, IDC_OPT_STARTUP_CODE);
  click(dialog, IDC_OPT_STD_MENU);
  click(dialog, IDC_OPT_HYPERLINKS);
  click(dialog, IDC_OPT_WRITE_READ_ONLY);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_APPLY)));
  set_text(dialog, IDC_OPT_WORKSPACE_FILE, "*.job");
  set_text(dialog, IDC_OPT_BALLOON_DELAY, "7");
  set_text(dialog, IDC_OPT_SOURCE_PATHS, "C:\\src\r\nD:\\more");
  set_text(dialog, IDC_OPT_ARGUMENTS, "alpha beta");
  // The hot-key edit shows the key pressed in it, not typed text; Backspace clears it.
  HWND hotkey = GetDlgItem(dialog, IDC_OPT_HOTKEY);
  PostMessageA(hotkey, WM_KEYDOWN, VK_F9, 0);
  EXPECT_TRUE(wait_for([&] { return text_of(hotkey) == "F9"; }, 10)) << text_of(hotkey);
  PostMessageA(hotkey, WM_CHAR, 'x', 0);
  PostMessageA(hotkey, WM_KEYDOWN, VK_SHIFT, 0);
  PostMessageA(hotkey, WM_KEYDOWN, VK_BACK, 0);
  EXPECT_TRUE(wait_for([&] { return text_of(hotkey).empty(); }, 10)) << text_of(hotkey);
  screenshot("options_dialog_invalid_hotkey.png");
  PostMessageA(hotkey, WM_KEYDOWN, VK_F9, 0);
  EXPECT_TRUE(wait_for([&] { return text_of(hotkey) == "F9"; }, 10)) << text_of(hotkey);
  screenshot("options_dialog.png");
  click(dialog, IDC_OPT_APPLY);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_APPLY)));
  // The main window's settings listener follows ShowStdMenu on the next broadcast.
  EXPECT_TRUE(wait_for([&] { return GetMenu(kq.main) == nullptr; }, 10));
  click(dialog, IDOK);
  ASSERT_TRUE(closes(dialog));
  // kq holds the hot key applied (F9, which nothing else takes); it gives it up while the
  // dialog is open, so that the dialog finds the key in force free, and takes it back.
  auto f9_free = [] { return hot_key_free(VK_F9); };
  EXPECT_TRUE(wait_for([&] { return !f9_free(); }, 10));

  // Opened again it shows what was applied; Cancel keeps it so.
  dialog = kq.open(10076, "Configuration");
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(f9_free());
  EXPECT_FALSE(checked(dialog, IDC_OPT_STARTUP_CODE));
  EXPECT_TRUE(checked(dialog, IDC_OPT_WRITE_READ_ONLY));
  EXPECT_EQ(item(dialog, IDC_OPT_SOURCE_PATHS), "C:\\src\r\nD:\\more");
  EXPECT_EQ(item(dialog, IDC_OPT_HOTKEY), "F9");
  EXPECT_EQ(list_of(GetDlgItem(dialog, IDC_OPT_ARGUMENTS)), std::vector<std::string>{"alpha beta"});
  click(dialog, IDC_OPT_MASTER_MODE);
  click(dialog, IDCANCEL);
  ASSERT_TRUE(closes(dialog));
  EXPECT_TRUE(wait_for([&] { return !f9_free(); }, 10));
  // A third time: new arguments go behind the earlier ones in the history.
  dialog = kq.open(10076, "Configuration");
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(checked(dialog, IDC_OPT_MASTER_MODE));
  set_text(dialog, IDC_OPT_ARGUMENTS, "gamma");
  click(dialog, IDOK);
  ASSERT_TRUE(closes(dialog));

  // Two questions of the add-watch command: the second offers the first answer.
  HWND prompt = kq.open(10099, "Insert expression");
  ASSERT_TRUE(prompt);
  EXPECT_EQ(item(prompt, IDC_PROMPT_LINE), "Enter a new expression to watch");
  answer_prompt(prompt, "first");
  ASSERT_TRUE(closes(prompt));
  prompt = kq.open(10099, "Insert expression");
  ASSERT_TRUE(prompt);
  HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
  EXPECT_EQ(text_of(combo), "first");
  EXPECT_EQ(list_of(combo), std::vector<std::string>{"first"});
  screenshot("input_prompt.png");
  // Drawing its picture traced the picture's size to the console.
  HWND console = FindWindowExA(kq.child("console"), nullptr, "Edit", nullptr);
  EXPECT_TRUE(wait_for([&] { return text_of(console).find("size ") != std::string::npos; }, 10))
      << text_of(console);
  answer_prompt(prompt, "second");
  ASSERT_TRUE(closes(prompt));

  // Hovering the bar itself gives the pane's tooltip; then the picture of the bar.
  RECT on_screen;
  GetWindowRect(kq.status(), &on_screen);
  EXPECT_TRUE(wait_for([&] {
    SetCursorPos(on_screen.left + 100, on_screen.top + 8);
    return kq.pane(PANE_HINT) == "The current location";
  }, 20)) << kq.pane(PANE_HINT);
  screenshot("status_bar.png");
  EXPECT_EQ(kq.close(), 0);

  // What was applied reached the registry at the end of the run.
  struct { const char *name, *value; } saved[] = {
      {"ExecuteStartupCode", "0"}, {"ShowStdMenu", "0"}, {"HyperlinkSymbols", "0"},
      {"WriteReadOnly", "1"}, {"MasterMode", "0"}, {"WorkspaceFilename", "*.job"},
      {"ContextHelpDelay", "7"}, {"SourceSearchPaths", "C:\\src\nD:\\more"},
      {"HotKey", "F9"}, {"Arguments", "gamma"}, {"ArgumentsHistory", "alpha beta\ngamma"},
      {"LastExpression", "second"}, {"LastExpressionHistory", "first\nsecond"},
      {"TraceOverLibraryCalls", "1"}, {"OptionsFilename", "kq.ini"}};
  for (auto &s : saved) EXPECT_EQ(kq.setting(s.name), s.value) << s.name;
}

// Runs with a debuggee: the state pane follows it through a fault and an exit, "Flush
// Into Config File" writes kq.ini beside the debuggee with every setting, and arguments
// changed in the dialog reach that options file when the debuggee is unloaded.
TEST(KqOptions, StatusFollowsTheDebuggeeAndFlushWritesItsOptionsFile) {
  Kq kq;
  ASSERT_TRUE(kq.prepare() && kq.set("Arguments", "fault") && kq.set("HotKey", "F9") &&
              kq.set("SourceSearchPaths", "C:\\src\nD:\\more"));
  ASSERT_TRUE(kq.start("\"" + kq.debuggee() + "\""));
  // Paused at the start: the state is a stop, the location names where.
  auto stopped = [&] {
    std::string s = kq.pane(PANE_STATE);
    return s != "Not loaded" && s != "Loading..." && s != "Running..." && !s.empty() &&
           !kq.pane(PANE_LOCATION).empty();
  };
  EXPECT_TRUE(wait_for(stopped)) << kq.pane(PANE_STATE) << " / " << kq.pane(PANE_LOCATION);
  screenshot("status_bar_paused.png");

  HWND dialog = kq.open(10076, "Configuration");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(item(dialog, IDC_OPT_ARGUMENTS), "fault");
  click(dialog, IDC_OPT_FLUSH);
  click(dialog, IDCANCEL);
  ASSERT_TRUE(closes(dialog));
  std::string ini_path = kq.folder + "debuggee\\kq.ini";
  auto ini = [&] {
    std::string text = read_file(ini_path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());  // a text-mode file
    return text;
  };
  EXPECT_EQ(ini().find("WriteReadOnly="), 0u) << ini();  // table order, every entry
  for (const char *line : {"\nHotKey=F9\n", "\nArguments=fault\n",
                           "\nSourceSearchPaths=C:\\src\n\t\\D:\\more\n", "\nLastLineHistory="})
    EXPECT_NE(ini().find(line), std::string::npos) << line << "\n" << ini();
  EXPECT_EQ(read_file(kq.folder + "kq.ini"), "");  // not in the start directory

  kq.command(10077);  // run into the fault
  EXPECT_TRUE(wait_for([&] { return kq.pane(PANE_STATE) == "Access violation"; }))
      << kq.pane(PANE_STATE);
  screenshot("status_bar_fault.png");

  // New arguments from the dialog go to the options file when the debuggee is unloaded.
  dialog = kq.open(10076, "Configuration");
  ASSERT_TRUE(dialog);
  set_text(dialog, IDC_OPT_ARGUMENTS, "exit 7");
  click(dialog, IDOK);
  ASSERT_TRUE(closes(dialog));
  kq.command(10090);
  EXPECT_TRUE(wait_for([&] { return kq.pane(PANE_STATE) == "Not loaded"; })) << kq.pane(PANE_STATE);
  EXPECT_NE(ini().find("\nArguments=exit 7\n"), std::string::npos) << ini();
  EXPECT_NE(ini().find("\nArgumentsHistory=exit 7\n"), std::string::npos) << ini();
  EXPECT_EQ(kq.close(), 0);

  // A debuggee that exits, with options of its own: kq takes its hot key and shows its
  // log once it is loaded. The state pane gives its exit code.
  ASSERT_TRUE(kq.set("Arguments", "exit 7"));
  write_file(ini_path, "HotKey=F8\nLogFilename=*.txt\n");
  write_file(kq.folder + "debuggee\\kq_debuggee.txt", "its own log\n");
  ASSERT_TRUE(kq.start("\"" + kq.debuggee() + "\""));
  EXPECT_TRUE(wait_for(stopped)) << kq.pane(PANE_STATE);
  EXPECT_TRUE(wait_for([&] { return !hot_key_free(VK_F8); }, 20));
  HWND log_panel = kq.child("log");
  EXPECT_TRUE(wait_for([&] { return text_of(log_panel).find("its own log") == 0; }, 20))
      << text_of(log_panel);
  kq.command(10077);
  EXPECT_TRUE(wait_for([&] { return kq.pane(PANE_STATE) == "Exit 7"; })) << kq.pane(PANE_STATE);
  EXPECT_NE(kq.pane(PANE_TIME), "");
  EXPECT_EQ(kq.close(), 0);
  DeleteFileA(ini_path.c_str());
}
