// The code panel of kq.exe under Wine, driven with its keys: stopped at the start of the
// debuggee, the cursor line is the instruction pointer's; a step moves it to the engine's
// new instruction pointer; the breakpoint key plants a breakpoint that the run stops at;
// a typed command is written into the debuggee (read back from outside) and shown. The
// window's text is the cursor line as the listing writes it. A search finds a command after
// the cursor; one that finds nothing is stopped from its progress window.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/end_to_end/kq_keyboard.h"
#include "tests/end_to_end/kq_outside.h"
#include "tests/end_to_end/kq_process.h"
#include "ui/keyb.h"
#include "ui/panels/input_prompt_ids.h"
#include "x86/disasm.h"

namespace {

const char kPause[] = "EVN_Pause at ";

class CodePanelRun : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = "SOFTWARE\\KaquinDebuggerCode-" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA("KQ_SETTINGS_KEY", key_.c_str());
    put_key_setting(key_, "ShowFormatWarning", "0");
    put_key_setting(key_, "Arguments", "loop");
  }
  void TearDown() override {
    if (pi_.hProcess) kq_close(&pi_, main_);
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
  }

  // kq.exe and the debuggee copied into a folder of the test: the log, the options and
  // the workspace written there are this run's own.
  bool start() {
    dir_ = own_folder() + "kq-code\\";
    CreateDirectoryA(dir_.c_str(), nullptr);
    for (const char *old : {"kq.log", "kq.job", "kq.ini"}) DeleteFileA((dir_ + old).c_str());
    const std::string exe = own_folder() + KQ_EXE, debuggee = dir_ + "kq_debuggee.exe";
    CopyFileA((exe.substr(0, exe.size() - 4) + ".map").c_str(), (dir_ + "kq.map").c_str(), FALSE);
    if (!CopyFileA(exe.c_str(), (dir_ + "kq.exe").c_str(), FALSE) ||
        !CopyFileA((own_folder() + KQ_DEBUGGEE).c_str(), debuggee.c_str(), FALSE))
      return false;
    std::string line = "\"" + dir_ + "kq.exe\" \"" + debuggee + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si,
                        &pi_) ||
        !wait_for([&] { return log().find("Starting main loop") != std::string::npos; }))
      return false;
    main_ = process_window(pi_.dwProcessId, "Kaquin Debugger");
    keys_ = {main_, GetWindowThreadProcessId(main_, nullptr), pi_.hProcess, [this] { settle(); }};
    return main_ != nullptr;
  }
  std::string log() const { return read_file(dir_ + "kq.log"); }
  // Waits until kq's thread has taken every message posted so far: the command that
  // traces the focus, posted behind them, has written its line.
  void settle() {
    PostMessageA(main_, WM_COMMAND, 10089, 0);
    ASSERT_TRUE(wait_for([&] { return count("Focus=") > traced_; })) << log();
    traced_++;
  }
  int count(const char *text) const {
    const std::string all = log();
    int n = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) n++;
    return n;
  }
  // The address of the n-th pause (from 1) after the start-up's stop at the system's
  // breakpoint, 0 until there is one.
  uint32_t pause(int n) const {
    const std::string all = log();
    size_t at = all.find("EVN_Initiate");
    for (int i = 0; i < n && at != std::string::npos; i++) at = all.find(kPause, at + 1);
    if (at == std::string::npos) return 0;
    return (uint32_t)strtoul(all.c_str() + at + strlen(kPause), nullptr, 16);
  }
  // The panel sits in a holder of one of kq's top-level windows.
  HWND code_panel() const {
    struct Find {
      DWORD pid;
      HWND found;
    } f = {pi_.dwProcessId, nullptr};
    EnumWindows([](HWND hwnd, LPARAM arg) WINAPI -> BOOL {
      Find *f = (Find *)arg;
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      if (pid == f->pid) f->found = FindWindowExA(hwnd, nullptr, "code", nullptr);
      if (pid == f->pid && !f->found)
        EnumChildWindows(hwnd, [](HWND child, LPARAM arg) WINAPI -> BOOL {
          char cls[16];
          GetClassNameA(child, cls, sizeof cls);
          if (!strcmp(cls, "code")) ((Find *)arg)->found = child;
          return ((Find *)arg)->found == nullptr;
        }, arg);
      return f->found == nullptr;
    }, (LPARAM)&f);
    return f.found;
  }
  // The cursor line's text and the address it begins with.
  std::string cursor_line() const { return text_of(code_panel()); }
  uint32_t cursor_address() const { return (uint32_t)strtoul(cursor_line().c_str(), nullptr, 16); }
  bool cursor_at(uint32_t address) const {
    return wait_for([&] { return cursor_address() == address; }, 20);
  }
  // Types text into the search prompt (CTRL+S) and accepts it.
  bool search_for(const char *text) {
    HWND prompt = nullptr;
    if (!keys_.press_in_front(KEYMOD_CTRL, 'S', [&] {
          return (prompt = process_window(pi_.dwProcessId, "#32770", "Search for code")) != nullptr;
        }))
      return false;
    HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
    SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)text);
    PostMessageA(FindWindowExA(combo, nullptr, "Edit", nullptr), WM_KEYDOWN, VK_RETURN, 0);
    return wait_for([&] { return !IsWindow(prompt); }, 20);
  }
  // The debuggee's own bytes, read from outside.
  std::string bytes_at(uint32_t address, int count) const {
    std::string bytes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
      if (entry.th32ParentProcessID == pi_.dwProcessId) {
        HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, entry.th32ProcessID);
        bytes.resize((size_t)count);
        SIZE_T read = 0;
        if (!process || !ReadProcessMemory(process, (void *)(uintptr_t)address, &bytes[0],
                                           (SIZE_T)count, &read))
          read = 0;
        bytes.resize(read);
        if (process) CloseHandle(process);
      }
    CloseHandle(snapshot);
    return bytes;
  }

  std::string key_, dir_;
  PROCESS_INFORMATION pi_ = {};
  HWND main_ = nullptr;
  KqKeyboard keys_;
  int traced_ = 0;
};

}  // namespace

TEST_F(CodePanelRun, FollowsTheEngineAndWritesWhatIsTyped) {
  ASSERT_TRUE(start()) << log();
  ASSERT_TRUE(wait_for([&] { return pause(1) != 0; }, 120)) << log();
  ASSERT_TRUE(code_panel());
  ASSERT_TRUE(keys_.attach());
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, VK_F2,
                                   [&] { return keys_.focus() == code_panel(); }))
      << log();
  // Stopped: the cursor stands on the instruction pointer, marked in the listing.
  EXPECT_TRUE(cursor_at(pause(1))) << cursor_line() << "\n" << log();
  screenshot("code_panel_stopped.png");

  // A step moves the engine; the cursor follows its new instruction pointer.
  ASSERT_TRUE(keys_.press_in_front(0, VK_F8, [&] { return pause(2) != 0; })) << log();
  EXPECT_NE(pause(1), pause(2));
  EXPECT_TRUE(cursor_at(pause(2))) << cursor_line();
  screenshot("code_panel_stepped.png");

  // Into the start-up code's call, whose next line gets a breakpoint with its key; running
  // on stops there.
  ASSERT_TRUE(keys_.press_in_front(0, VK_F7, [&] { return pause(3) != 0; })) << log();
  EXPECT_TRUE(cursor_at(pause(3))) << cursor_line();
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() > pause(3); }));
  const uint32_t breakpoint = cursor_address();
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [&] { return true; }));
  PostMessageA(main_, WM_COMMAND, 10077, 0);  // run on
  ASSERT_TRUE(wait_for([&] { return pause(4) != 0; }, 60)) << log();
  EXPECT_EQ(breakpoint, pause(4)) << log();
  EXPECT_TRUE(cursor_at(breakpoint)) << cursor_line();
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [&] { return true; }));  // and off again

  // A typed command over the line after it: its bytes padded with NOPs in the debuggee.
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() > breakpoint; }));
  const uint32_t typed = cursor_address();
  const std::string before = bytes_at(typed, 16);
  ASSERT_EQ(16u, before.size());
  DisasmResult old;
  const int old_length =
      decode_command((const uint8_t *)before.data(), 16, typed, &old, DECODE_ANALYSE);
  ASSERT_GT(old_length, 1);
  HWND prompt = nullptr;
  ASSERT_TRUE(keys_.press_in_front(0, VK_INSERT, [&] {
    return (prompt = process_window(pi_.dwProcessId, "#32770", "Assemble")) != nullptr;
  }));
  HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
  EXPECT_EQ(text_of(GetDlgItem(prompt, IDC_PROMPT_LINE)), "Enter a new instruction to write");
  SendMessageA(combo, WM_SETTEXT, 0, (LPARAM) "nop");
  PostMessageA(FindWindowExA(combo, nullptr, "Edit", nullptr), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(prompt); }, 20));
  const std::string nops((size_t)old_length, '\x90');
  EXPECT_TRUE(wait_for([&] { return bytes_at(typed, old_length) == nops; }, 20))
      << log();
  EXPECT_EQ(before.substr(old_length), bytes_at(typed + old_length, 16 - old_length));
  EXPECT_TRUE(wait_for([&] { return cursor_line().find("nop") != std::string::npos; }, 20))
      << cursor_line();
  EXPECT_EQ(typed, cursor_address());
  screenshot("code_panel_assembled.png");

  // Run to the cursor: over the breakpoint's line and the first NOP to the second.
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() == typed + 1; }));
  ASSERT_TRUE(keys_.press_in_front(KEYMOD_CTRL, VK_RETURN, [&] {
    return wait_for([&] { return pause(5) != 0; }, 10);
  })) << log();
  EXPECT_EQ(typed + 1, pause(5)) << log();

  // A new search finds the next return after the cursor, which starts a line there.
  ASSERT_TRUE(search_for("ret")) << log();
  EXPECT_TRUE(wait_for([&] { return cursor_address() > typed + 1; }, 60)) << cursor_line();
  EXPECT_NE(cursor_line().find("ret"), std::string::npos) << cursor_line();
  const uint32_t found = cursor_address();

  // A text no command has walks the whole address space under the progress window, which
  // Escape stops: the window goes, kq's window takes input again, the cursor stays.
  ASSERT_TRUE(search_for("xyzzy")) << log();
  HWND progress = nullptr;
  ASSERT_TRUE(wait_for([&] {
    return (progress = process_window(pi_.dwProcessId, "#32770", "Search: xyzzy")) != nullptr;
  }, 20));
  EXPECT_FALSE(IsWindowEnabled(main_));
  Sleep(600);  // the label blinks every other 250 ms
  screenshot("code_panel_search_progress.png");
  ASSERT_TRUE(wait_for([&] { return GetAncestor(keys_.focus(), GA_ROOT) == progress; }, 10));
  keys_.press(0, VK_ESCAPE);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(progress); }, 20));
  EXPECT_TRUE(IsWindowEnabled(main_));
  EXPECT_EQ(found, cursor_address()) << cursor_line();

  PostMessageA(main_, WM_COMMAND, 10090, 0);  // unload
  ASSERT_TRUE(wait_for([&] { return log().find("EVN_Unload") != std::string::npos; })) << log();
  EXPECT_EQ(0, kq_close(&pi_, main_));
  EXPECT_EQ(log().find("Error: "), std::string::npos) << log();
}
