// The text panels of kq.exe under Wine, read from outside in two runs. The first: the log
// panel follows a debuggee that keeps writing while kq's working set stays flat, stays put
// one line up and follows again from the end; the function-key bar shows the focused
// panel's keys and turns yellow with CTRL held, while the balloon lists the CTRL commands
// and a click on a row runs it; the filter dialog lists the lines of its words; the console
// keeps the traces; the command line runs in the debuggee's folder; after an unload the
// start page lists the program and a missing one, reopens the program with Enter, and the
// list is kept in the registry. The second: the list after a restart, newest first with
// true sizes and dates. Each panel's window text is what it shows (the log's last line,
// the list's rows, the keys' titles); screenshots lie beside the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/kq_keyboard.h"
#include "tests/support/kq_driver.h"
#include "ui/keyb.h"

namespace {

enum {
  CMD_FOCUS_LOG = 10065, CMD_PAUSE_RESUME = 10077, CMD_UNLOAD = 10090,
  CMD_CONSOLE = 10088, CMD_EXECUTE = 10004, CMD_LOG_FILTER = 10114
};
const char kMissing[] = "Z:\\nowhere\\gone.exe";
const COLORREF kPlainFill = 0xC89632, kCtrlFill = 0x64FFFF, kOtherKindPaper = 0xDCDCDC;

class TextPanelsRun : public ::testing::Test {
 protected:
  // The recent files as kq keeps them: the paths oldest first, each ended by a zero, then
  // one more zero.
  static std::string recent_form(const std::vector<std::string> &oldest_first) {
    std::string form;
    for (const std::string &path : oldest_first) form += path + '\0';
    return form + '\0';
  }
  std::string stored_recent() const {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kq_.settings_key.c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS)
      return "(no key)";
    char stored[2048] = {};
    DWORD size = sizeof stored;
    const LONG got =
        RegQueryValueExA(handle, "RecentFiles", nullptr, nullptr, (BYTE *)stored, &size);
    RegCloseKey(handle);
    return got == ERROR_SUCCESS ? std::string(stored, size) : "(none)";
  }
  // A row of the start page: the path, the size in bytes and the date of the last write.
  static std::string page_row(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME st;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &st))
      return path + "\t\tNot found\n";
    char date[16];
    snprintf(date, sizeof date, "%02u.%02u.%04u", st.wMonth, st.wDay, st.wYear);
    return path + "\t" + std::to_string(data.nFileSizeLow) + "\t" + date + "\n";
  }
  // With the debuggee on the command line, the first time: two more programs and one that
  // is gone are in the list from earlier runs. The second start is kq's alone.
  bool start(bool with_debuggee) {
    if (!with_debuggee) {  // without the first session's workspace and options file
      for (const char *old : {"kq.job", "kq.ini"}) DeleteFileA((kq_.folder + old).c_str());
      return kq_.start("") && (keys_ = keyboard_of(kq_), true);
    }
    if (!kq_.place("text") || !kq_.set("Arguments", "chatter") ||
        !kq_.set("CommandLineInterpreter", "cmd.exe /C") ||
        (debuggee_ = kq_.copy_in(kDebuggee)).empty())
      return false;
    char full[MAX_PATH];
    GetFullPathNameA(debuggee_.c_str(), sizeof full, full, nullptr);
    debuggee_ = full;
    older_ = debuggee_.substr(0, debuggee_.rfind('\\') + 1) + "older.exe";
    old_ = debuggee_.substr(0, debuggee_.rfind('\\') + 1) + "old.exe";
    CopyFileA((kq_.folder + "kq.map").c_str(), older_.c_str(), FALSE);
    CopyFileA(debuggee_.c_str(), old_.c_str(), FALSE);
    const std::string recent = recent_form({kMissing, older_, old_});
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kq_.settings_key.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
      return false;
    RegSetValueExA(handle, "RecentFiles", 0, REG_BINARY, (const BYTE *)recent.data(),
                   (DWORD)recent.size());
    RegCloseKey(handle);
    // An unknown parameter gives kq's log a warning of its own.
    if (!kq_.start("-shade \"" + debuggee_ + "\"")) return false;
    keys_ = keyboard_of(kq_);
    return true;
  }
  std::string log() const { return kq_.log(); }
  void settle() { ASSERT_TRUE(kq_.settle()) << "no focus trace"; }
  int count(const std::string &text) const { return count_in(log(), text); }
  HWND panel(const char *cls) const { return process_child(kq_.pi.dwProcessId, cls); }
  // The number of the newest chatter line in a text, -1 for none.
  static long last_chatter(const std::string &text) {
    const size_t at = text.rfind("chatter ");
    return at == std::string::npos ? -1 : strtol(text.c_str() + at + 8, nullptr, 10);
  }
  size_t working_set() const {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(kq_.pi.hProcess, &counters, sizeof counters)
               ? counters.WorkingSetSize
               : 0;
  }
  // Whether a pixel of the colour lies along the middle of the window on the screen.
  static bool shows_colour(HWND hwnd, COLORREF colour) {
    RECT r;
    GetWindowRect(hwnd, &r);
    HDC screen = GetDC(nullptr);
    bool found = false;
    for (int x = r.left; x < r.right && !found; x++)
      found = GetPixel(screen, x, (r.top + r.bottom) / 2) == colour;
    ReleaseDC(nullptr, screen);
    return found;
  }
  // The pixels of the colour in the top line of the window on the screen.
  static int top_line_pixels(HWND hwnd, COLORREF colour) {
    RECT r;
    GetWindowRect(hwnd, &r);
    HDC screen = GetDC(nullptr);
    int found = 0;
    for (int y = r.top + 2; y < r.top + 12; y++)
      for (int x = r.left; x < r.right; x++) found += GetPixel(screen, x, y) == colour;
    ReleaseDC(nullptr, screen);
    return found;
  }
  HWND open_filter() const {
    PostMessageA(panel("log"), WM_COMMAND, CMD_LOG_FILTER, 0);
    HWND filter = nullptr;
    wait_for([&] {
      return (filter = process_window(kq_.pi.dwProcessId, "#32770", "Log filter")) != nullptr;
    }, 20);
    return filter;
  }
  // Holds or lets go of CTRL as the keyboard driver would.
  void ctrl(bool down) {
    BYTE state[256] = {};
    if (down) state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    Sleep(KqKeyboard::kKeyStateAge);
    HWND target = keys_.focus() ? keys_.focus() : kq_.main;
    PostMessageA(target, down ? WM_KEYDOWN : WM_KEYUP, VK_CONTROL, down ? 1 : 0xC0000001);
    settle();
  }

  KqDriver kq_;
  std::string debuggee_, older_, old_;
  KqKeyboard keys_;
};

TEST_F(TextPanelsRun, LogKeysBalloonAndStartPage) {
  ASSERT_TRUE(start(true)) << log();
  ASSERT_TRUE(keys_.attach());
  // The system breakpoint pauses too; the start-up run ends with the pause after EVN_Initiate.
  ASSERT_TRUE(wait_for([&] {
    const std::string all = log();
    const size_t initiate = all.find("EVN_Initiate");
    return initiate != std::string::npos && all.find("EVN_Pause", initiate) != std::string::npos;
  })) << log();
  kq_.command(CMD_PAUSE_RESUME);

  // The log panel follows the end: its last line reaches every line the file held a
  // moment before, again and again, while kq's working set stays where it was.
  HWND log_panel = panel("log");
  ASSERT_TRUE(log_panel);
  ASSERT_TRUE(wait_for([&] { return last_chatter(log()) > 100; })) << log().substr(0, 4000);
  const size_t set_before = working_set(), log_before = log().size();
  for (int round = 0; round < 5; round++) {
    const long written = last_chatter(log());
    EXPECT_TRUE(wait_for([&] { return last_chatter(text_of(log_panel)) >= written; }, 20))
        << "round " << round << ": file at " << written << ", panel shows "
        << text_of(log_panel);
    Sleep(500);
  }
  const size_t set_after = working_set(), log_after = log().size();
  printf("kq.exe working set %zu KB -> %zu KB while the log grew %zu KB -> %zu KB\n",
         set_before / 1024, set_after / 1024, log_before / 1024, log_after / 1024);
  EXPECT_GT(log_after, log_before);
  EXPECT_LT(set_after, set_before + (8u << 20));
  screenshot("text_panels_log.png");

  // One line up, the page stays while the file grows; CTRL+END follows again.
  kq_.command(CMD_FOCUS_LOG);
  settle();
  ASSERT_TRUE(keys_.press_in_front(0, VK_UP, [&] {
    const std::string shown = text_of(log_panel);
    Sleep(300);
    return shown == text_of(log_panel);
  }));
  const std::string held = text_of(log_panel);
  const long file_then = last_chatter(log());
  ASSERT_TRUE(wait_for([&] { return last_chatter(log()) > file_then + 50; }));
  EXPECT_EQ(text_of(log_panel), held);
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, VK_END, [&] {
    const long written = last_chatter(log());
    return wait_for([&] { return last_chatter(text_of(log_panel)) >= written; }, 10);
  }));

  // The function-key bar: the main keys and the log's in blue; CTRL turns it yellow with
  // the CTRL keys, and the balloon lists the log panel's CTRL commands.
  HWND bar = panel("menu"), balloon = panel("balloon");
  ASSERT_TRUE(bar && balloon);
  EXPECT_NE(text_of(bar).find("F1=Help|"), std::string::npos) << text_of(bar);
  EXPECT_NE(text_of(bar).find("F7=Step into|"), std::string::npos) << text_of(bar);
  EXPECT_TRUE(wait_for([&] {
    SetForegroundWindow(kq_.main);
    return shows_colour(bar, kPlainFill);
  }, 10));
  EXPECT_FALSE(IsWindowVisible(balloon));
  // kq lists keys only while it is the active program, and other programs on the display
  // may take the front: CTRL is pressed again, with the log panel focused, until kq was
  // in front for it.
  bool shown = false;
  for (int attempt = 0; attempt < 5 && !shown; attempt++) {
    SetForegroundWindow(kq_.main);
    settle();
    kq_.command(CMD_FOCUS_LOG);
    settle();
    ctrl(true);
    shown = wait_for([&] { return IsWindowVisible(balloon) != 0; }, 5);
    if (!shown) ctrl(false);
  }
  ASSERT_TRUE(shown) << text_of(balloon);
  EXPECT_NE(text_of(bar).find("F4=Log|"), std::string::npos) << text_of(bar);
  EXPECT_EQ(text_of(balloon).rfind("CTRL+|", 0), 0u) << text_of(balloon);
  EXPECT_NE(text_of(balloon).find("S=Search..."), std::string::npos) << text_of(balloon);
  EXPECT_NE(text_of(balloon).find("L=Goto line..."), std::string::npos) << text_of(balloon);
  EXPECT_TRUE(wait_for([&] {
    SetForegroundWindow(kq_.main);
    return shows_colour(bar, kCtrlFill);
  }, 10));
  screenshot("text_panels_ctrl.png");
  // A click on the balloon's "Navigator..." row opens the log's filter dialog. The rows
  // are found as the balloon answers for them: the hint message says 1 over a row.
  const std::string listing = text_of(balloon);
  int navigator = -1, index = 0;
  for (size_t at = listing.find('|'); at != std::string::npos; at = listing.find('|', at + 1))
    if (listing.compare(at + 1, 2, "N=") == 0) {
      navigator = index;
    } else {
      index++;
    }
  ASSERT_GE(navigator, 0) << listing;
  RECT inside;
  GetClientRect(balloon, &inside);
  std::vector<int> bands;  // the middle of each row, top to bottom
  for (int y = 0, top = -1; y <= inside.bottom; y++) {
    const bool row = y < inside.bottom &&
                     SendMessageA(balloon, WM_USER + 3, 0, MAKELPARAM(inside.right / 2, y)) == 1;
    if (row && top < 0) top = y;
    if (!row && top >= 0) {
      bands.push_back((top + y) / 2);
      top = -1;
    }
  }
  ASSERT_GT((int)bands.size(), navigator) << listing;
  const LPARAM point = MAKELPARAM(inside.right / 2, bands[navigator]);
  PostMessageA(balloon, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageA(balloon, WM_LBUTTONUP, 0, point);
  HWND opened = nullptr;
  EXPECT_TRUE(wait_for([&] {
    return (opened = process_window(kq_.pi.dwProcessId, "#32770", "Log filter")) != nullptr;
  }, 20));
  if (opened) PostMessageA(opened, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(
      wait_for([&] { return !process_window(kq_.pi.dwProcessId, "#32770", "Log filter"); }, 20));
  // The dialog's end moves the focus: CTRL is let go again until kq saw it, as above.
  bool released = false;
  for (int attempt = 0; attempt < 5 && !released; attempt++) {
    ctrl(false);
    released = wait_for([&] { return text_of(bar).find("F1=Help|") != std::string::npos; }, 5);
  }
  EXPECT_TRUE(released) << text_of(bar);
  EXPECT_TRUE(wait_for([&] { return !IsWindowVisible(balloon); }, 10));

  // The filter dialog: the default words pick out no line of kq's numbered log, and
  // neither does a word that is only a line's number; with the word WARNING, OK lists kq's
  // warnings (one is for the unknown parameter kq was started with) and the words become
  // the setting. OK again takes the page to the first, tinted as a line of another kind;
  // with the default words back it is tinted no more.
  HWND filter = open_filter();
  ASSERT_TRUE(filter);
  HWND listed = GetDlgItem(filter, 600);
  EXPECT_EQ(text_of(GetDlgItem(filter, 590)), "Error, Warn, Info, Debug");
  EXPECT_EQ(SendMessageA(listed, LVM_GETITEMCOUNT, 0, 0), 0);
  const int warnings = count("\tWARNING: ");
  ASSERT_GE(warnings, 1) << log().substr(0, 3000);
  SendMessageA(GetDlgItem(filter, 590), WM_SETTEXT, 0,
               (LPARAM) "Error, Warn, Info, Debug, 1, WARNING");
  PostMessageA(filter, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] {
    return SendMessageA(listed, LVM_GETITEMCOUNT, 0, 0) == warnings;
  }, 20)) << SendMessageA(listed, LVM_GETITEMCOUNT, 0, 0) << " rows, " << warnings << " warnings";
  screenshot("text_panels_filter.png");
  PostMessageA(filter, WM_COMMAND, IDOK, 0);
  PostMessageA(filter, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(filter); }, 20));
  int tinted = 0;
  EXPECT_TRUE(wait_for([&] { return (tinted = top_line_pixels(log_panel, kOtherKindPaper)) >= 100; },
                       10)) << tinted;
  screenshot("text_panels_log_warning.png");
  filter = open_filter();
  ASSERT_TRUE(filter);
  SendMessageA(GetDlgItem(filter, 590), WM_SETTEXT, 0, (LPARAM) "Error, Warn, Info, Debug");
  PostMessageA(filter, WM_COMMAND, IDOK, 0);
  PostMessageA(filter, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(filter); }, 20));
  int plain = tinted;
  EXPECT_TRUE(wait_for([&] {
    return (plain = top_line_pixels(log_panel, kOtherKindPaper)) < tinted / 4;
  }, 10)) << tinted << " pixels tinted, " << plain << " without the word";

  // The console holds the focus traces written so far; its close box hides it and the
  // command brings it back with its text.
  HWND console = panel("console");
  ASSERT_TRUE(console);
  HWND field = FindWindowExA(console, nullptr, "Edit", nullptr);
  ASSERT_TRUE(field);
  kq_.command(CMD_CONSOLE);
  EXPECT_TRUE(wait_for([&] { return IsWindowVisible(console) != 0; }, 10));
  EXPECT_NE(text_of(field).find("Focus="), std::string::npos) << text_of(field);
  screenshot("text_panels_console.png");
  PostMessageA(console, WM_CLOSE, 0, 0);
  EXPECT_TRUE(wait_for([&] { return !IsWindowVisible(console); }, 10));
  kq_.command(CMD_CONSOLE);
  EXPECT_TRUE(wait_for([&] { return IsWindowVisible(console) != 0; }, 10));
  EXPECT_NE(text_of(field).find("Focus="), std::string::npos) << text_of(field);
  kq_.command(CMD_CONSOLE);

  // The command line runs the typed text through the interpreter in the debuggee's
  // folder, and keeps it in the box's list.
  HWND cmdline = panel("cmdline");
  ASSERT_TRUE(cmdline);
  HWND combo = FindWindowExA(cmdline, nullptr, "ComboBox", nullptr);
  ASSERT_TRUE(combo);
  const std::string here = kq_.folder + "here.txt";
  DeleteFileA(here.c_str());
  SendMessageA(combo, WM_SETTEXT, 0, (LPARAM) "echo %CD%> here.txt");
  PostMessageA(cmdline, WM_COMMAND, CMD_EXECUTE, 0);
  EXPECT_TRUE(wait_for([&] { return read_file(here).find("\r\n") != std::string::npos; }, 20));
  const std::string folder = debuggee_.substr(0, debuggee_.rfind('\\'));
  EXPECT_EQ(lstrcmpiA(read_file(here).c_str(), (folder + "\r\n").c_str()), 0)
      << read_file(here) << " from " << folder;
  EXPECT_EQ(text_of(combo), "");
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 1);

  // The start page after an unload: the program with its size and date, the missing one
  // as not found; Enter in the list opens the program again.
  const int loads = count("EVN_Load");
  kq_.command(CMD_UNLOAD);
  HWND cover = panel("cover");
  ASSERT_TRUE(cover);
  ASSERT_TRUE(wait_for([&] { return IsWindowVisible(cover) != 0; }, 20));
  const std::string rows = text_of(cover);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(debuggee_.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(rows.find(debuggee_ + "\t" + std::to_string(data.nFileSizeLow) + "\t"), 0u) << rows;
  EXPECT_NE(rows.find(std::string(kMissing) + "\t\tNot found\n"), std::string::npos) << rows;
  screenshot("text_panels_cover.png");
  PostMessageA(cover, WM_LBUTTONDOWN, 0, 0);  // a click on the page gives the list the focus
  settle();
  ASSERT_TRUE(keys_.press_in_front(0, VK_RETURN, [&] {
    return wait_for([&] { return count("EVN_Load") > loads; }, 20);
  })) << log().substr(log().size() > 3000 ? log().size() - 3000 : 0);

  // Kept in the registry at the end, the most recent last.
  EXPECT_EQ(kq_.close(), 0);
  EXPECT_EQ(stored_recent(), recent_form({kMissing, older_, old_, debuggee_}));

  // A new start without a debuggee: the list newest first with the files' true sizes and
  // dates; a file deleted while the page is shown is marked within moments. The log panel
  // is given a file that is not there: it says so, and so does the log.
  const char missing_log[] = "Z:\\nowhere\\missing.log";
  kq_.set("LogFilename", missing_log);
  ASSERT_TRUE(start(false)) << log();
  EXPECT_EQ(count(std::string("Fail to open the log file '") + missing_log + "'\n"), 1)
      << log();
  EXPECT_EQ(text_of(panel("log")), std::string("<") + missing_log + "> not found");
  cover = panel("cover");
  ASSERT_TRUE(cover);
  const std::string newest_first = page_row(debuggee_) + page_row(old_) + page_row(older_) +
                                   page_row(kMissing);
  EXPECT_TRUE(wait_for([&] { return text_of(cover) == newest_first; }, 10))
      << text_of(cover) << newest_first;
  ASSERT_TRUE(DeleteFileA(older_.c_str()));
  EXPECT_TRUE(wait_for([&] {
    return text_of(cover).find(older_ + "\t\tNot found\n") != std::string::npos;
  }, 10)) << text_of(cover);
  screenshot("text_panels_cover_restart.png");
  EXPECT_EQ(kq_.close(), 0);
}

}  // namespace
