// A user's session with kq.exe under Wine, keys sent as a user would: on the test debuggee
// stopped at its INT3 (whose EAX hands over the addresses of its code and data, read from
// outside), run to the cursor, step into a call and over one, a breakpoint toggled with the
// key and run to, a command typed over a call and its bytes seen in the data panel, a data
// guard whose condition lets two writes pass and stops at the third, EAX typed into the CPU
// panel and read back from the thread, a watch that changes with a step. Then the program
// is rebuilt with its exported function 64 bytes further on and opened again: the
// breakpoint the workspace keeps by the function's name stops at the new address.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tests/support/kq_debuggee_outside.h"
#include "tests/support/kq_keyboard.h"
#include "tests/support/kq_driver.h"
#include "ui/dialogs/guard_dialog_ids.h"
#include "ui/keyb.h"

namespace {

enum { UNLOAD = 10090, STATUS_HINT = WM_USER + 3 };

// The debuggee's ProbeTable: what it tells about itself at its INT3.
struct Probe {
  uint32_t round, round_ret, probe, probe_call, probe_lib, probe_nops, leaf, never, crash_call;
  uint32_t word, teb, window, spins, go, bytes;
};

std::string hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%X", value);
  return text;
}

class UserSession : public ::testing::Test {
 protected:
  bool start() {
    if (!kq_.place("session") || !kq_.set("Arguments", "probe") || !kq_.start_on(kDebuggee))
      return false;
    keys_ = keyboard_of(kq_);
    return true;
  }
  // One build of the debuggee, always under the same name.
  bool put_debuggee(const char *build) const {
    return !kq_.copy_in(build, "kq_debuggee.exe").empty();
  }
  std::string log() const { return kq_.log(); }
  int count(const char *text) const { return count_in(log(), text); }
  void settle() { ASSERT_TRUE(kq_.settle(20)) << log(); }
  // Whether the debuggee stopped after the last start-up (at main, after the system's
  // breakpoint that comes before it).
  bool started() const {
    const std::string all = log();
    const size_t at = all.rfind("EVN_Initiate");
    return at != std::string::npos && !log_pauses(all.substr(at)).empty();
  }
  // Where the last pause stopped.
  uint32_t last_pause() const {
    const std::vector<uint32_t> all = log_pauses(log(), nullptr);
    return all.empty() ? 0 : all.back();
  }
  // A key whose effect is a new pause; gives where it stopped (0 when it did not).
  uint32_t key_to_pause(uint8_t modifiers, UINT key) {
    const size_t pauses = log_pauses(log(), nullptr).size();
    if (!keys_.press_in_front(modifiers, key, [&] { return wait_for([&] { return log_pauses(log(), nullptr).size() > pauses; }, 30); }))
      return 0;
    return last_pause();
  }
  HWND panel(const char *cls) const { return process_child(kq_.pi.dwProcessId, cls); }
  uint32_t cursor_address() const { return (uint32_t)strtoul(text_of(panel("code")).c_str(), nullptr, 16); }
  // A key that brings up the input prompt with this title, answered with text.
  bool key_and_answer(uint8_t modifiers, UINT key, const char *title, const std::string &text) {
    return keys_.press_in_front(modifiers, key, [&] {
      return wait_for([&] { return process_window(kq_.pi.dwProcessId, "#32770", title) != nullptr; }, 10);
    }) && answer_input_prompt(kq_.pi.dwProcessId, title, text.c_str());
  }
  // Focuses a panel by its main-window key.
  bool focus(UINT key, const char *cls) {
    return keys_.press_in_front(KEYMOD_CTRL, key, [&] { return wait_for([&] { return keys_.focus() == panel(cls); }, 5); });
  }
  bool focus_code() { return focus(VK_F2, "code"); }
  bool focus_data() { return focus(VK_F3, "data"); }
  // Goes to an address with the focused panel's CTRL+G prompt.
  bool go_to(const std::string &where) {
    return key_and_answer(KEYMOD_CTRL, 'G', "Go to the address", where);
  }

  bool context(CONTEXT *out) const { return debuggee_context(kq_.pi.dwProcessId, out); }
  std::string memory(uint32_t address, int n) const { return debuggee_memory(kq_.pi.dwProcessId, address, n); }
  // Runs on from the start-up's stop to the INT3 and reads the table EAX points at.
  bool run_to_probe(Probe *probe) {
    CONTEXT c;
    if (!key_to_pause(0, VK_F10) || !context(&c)) return false;
    const std::string table = memory(c.Eax, sizeof *probe);
    if (table.size() != sizeof *probe) return false;
    memcpy(probe, table.data(), sizeof *probe);
    return true;
  }
  // The value the watch panel shows for an expression, as a number (-1 when none).
  long long watched(const char *expression) const {
    const std::string text = text_of(panel("watch")), head = std::string(expression) + ": ";
    const size_t at = text.find(head);
    if (at == std::string::npos || (at && text[at - 1] != '\n')) return -1;
    return (long long)strtoul(text.c_str() + at + head.size(), nullptr, 0);
  }
  // A point on the value of the CPU panel's first line (EAX): the right end of the links
  // there (its name comes first), found by the hints the panel answers over links.
  LPARAM eax_value_point() const {
    HWND cpu = panel("reg");
    int right = -1;
    for (int x = 0; x < 400; x++)
      if (SendMessageA(cpu, STATUS_HINT, 0, MAKELPARAM(x, 6)) == 1) right = x;
    return right < 2 ? 0 : MAKELPARAM(right - 2, 6);
  }

  KqDriver kq_;
  KqKeyboard keys_;
};

}  // namespace

TEST_F(UserSession, StepsBreaksPatchesGuardsAndFollowsAMovedFunction) {
  ASSERT_TRUE(start()) << log();
  ASSERT_TRUE(wait_for([&] { return started(); }, 120)) << log();
  ASSERT_TRUE(keys_.attach());
  Probe probe;
  ASSERT_TRUE(run_to_probe(&probe)) << log();
  ASSERT_NE(0u, probe.round);

  // A watch typed at the main window's key.
  ASSERT_TRUE(key_and_answer(KEYMOD_ALT, VK_F6, "Insert expression", "eax")) << log();

  // The cursor on kq_round by the code panel's go-to, and run to it.
  ASSERT_TRUE(focus_code() && go_to(hex(probe.round))) << log();
  ASSERT_TRUE(wait_for([&] { return cursor_address() == probe.round; }, 20))
      << text_of(panel("code")) << " focus " << keys_.focus() << " code " << panel("code") << " data "
      << text_of(panel("data"));
  EXPECT_EQ(probe.round, key_to_pause(KEYMOD_CTRL, VK_RETURN)) << log();
  // Over its frame (push ebp, mov ebp, esp: 1 and 2 bytes) and into its call.
  EXPECT_EQ(probe.round + 1, key_to_pause(0, VK_F8));
  EXPECT_EQ(probe.round + 3, key_to_pause(0, VK_F8));
  EXPECT_EQ(probe.probe, key_to_pause(0, VK_F7)) << log();
  EXPECT_EQ(probe.probe + 1, key_to_pause(0, VK_F8));
  EXPECT_EQ(probe.probe_call, key_to_pause(0, VK_F8));
  // Over the call of the leaf, which sets EAX to 7: the watch shows it.
  EXPECT_EQ(probe.probe_lib, key_to_pause(0, VK_F8)) << log();
  EXPECT_TRUE(wait_for([&] { return watched("eax") == 7; }, 20)) << text_of(panel("watch"));
  EXPECT_TRUE(wait_for([&] { return cursor_address() == probe.probe_lib; }, 20));

  // A breakpoint on the line below by the key, and run to it; then off again.
  ASSERT_TRUE(keys_.press_in_front(0, VK_DOWN, [&] { return cursor_address() == probe.probe_nops; }));
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [] { return true; }));
  EXPECT_EQ("\xCC", memory(probe.probe_nops, 1));
  EXPECT_EQ(probe.probe_nops, key_to_pause(0, VK_F10)) << log();
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [] { return true; }));
  EXPECT_EQ("\x90", memory(probe.probe_nops, 1));

  // "nop" typed over the call of the leaf: five NOPs in the debuggee, the listing's line
  // says nop, and the data panel shows the bytes.
  ASSERT_TRUE(focus_code() && go_to(hex(probe.probe_call)));
  ASSERT_TRUE(wait_for([&] { return cursor_address() == probe.probe_call; }, 20));
  ASSERT_TRUE(key_and_answer(0, VK_INSERT, "Assemble", "nop")) << log();
  EXPECT_TRUE(wait_for([&] { return memory(probe.probe_call, 5) == std::string(5, '\x90'); }, 20));
  EXPECT_EQ("\xFF\x15", memory(probe.probe_lib, 2)) << "the call after it is left alone";
  EXPECT_TRUE(wait_for([&] { return text_of(panel("code")).find("nop") != std::string::npos; }, 20))
      << text_of(panel("code"));
  screenshot("session_code.png");
  ASSERT_TRUE(focus_data() && go_to(hex(probe.probe_call)));
  char row[64];
  snprintf(row, sizeof row, "%08X ", probe.probe_call);
  EXPECT_TRUE(wait_for([&] {
    const std::string data = text_of(panel("data"));
    return data.rfind(row, 0) == 0 && data.find(" 90 90 90 90 90 FF 15") != std::string::npos;
  }, 20)) << text_of(panel("data"));

  // A guard on the debuggee's 2-byte g_word, typed into the guard dialog that the data
  // panel's key opens, with a condition: the writes of 1 and 2 go by, the third stops.
  ASSERT_TRUE(go_to(hex(probe.word)));
  HWND guards = nullptr;
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [&] {
    return wait_for([&] { return (guards = process_window(kq_.pi.dwProcessId, "#32770", "Data guards")) != nullptr; }, 10);
  }));
  EXPECT_NE("", text_of(GetDlgItem(guards, IDC_GUARD_EXPRESSION))) << "offered the current byte";
  const std::string guarded = "word ptr [" + hex(probe.word) + "]";
  const std::string condition = guarded + " == 3";
  SetDlgItemTextA(guards, IDC_GUARD_EXPRESSION, guarded.c_str());
  SetDlgItemTextA(guards, IDC_GUARD_CONDITION, condition.c_str());
  PostMessageA(GetDlgItem(guards, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(guards); }, 20));
  EXPECT_NE(std::string::npos, log().find("Guard [0] is set to " + hex(probe.word).substr(2)))
      << log();
  screenshot("session_data.png");
  const uint32_t stopped = key_to_pause(0, VK_F10);
  EXPECT_EQ(std::string("\x03\x00", 2), memory(probe.word, 2)) << log();
  EXPECT_TRUE(stopped && (stopped < probe.round || stopped > probe.crash_call))  // after the write
      << std::hex << stopped;
  EXPECT_TRUE(wait_for([&] {
    return text_of(panel("status")).find("Breakpoint '" + guarded + "'") != std::string::npos;
  }, 20)) << text_of(panel("status"));

  // EAX typed into the CPU panel through a click on its value: the thread has it, and the
  // watch shows it.
  const LPARAM on_value = eax_value_point();
  ASSERT_NE(0, on_value);
  PostMessageA(panel("reg"), WM_LBUTTONDOWN, MK_LBUTTON, on_value);
  PostMessageA(panel("reg"), WM_LBUTTONUP, 0, on_value);
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Change EAX register", "0x12345670 + 8"));
  CONTEXT c;
  EXPECT_TRUE(wait_for([&] { return context(&c) && c.Eax == 0x12345678u; }, 20)) << std::hex << c.Eax;
  EXPECT_TRUE(wait_for([&] { return watched("eax") == 0x12345678; }, 20)) << text_of(panel("watch"));
  screenshot("session_cpu.png");
  // A step into the next round's call moves EIP; the watch of ESP follows it.
  ASSERT_TRUE(key_and_answer(KEYMOD_ALT, VK_F6, "Insert expression", "esp")) << log();
  ASSERT_TRUE(context(&c));
  const long long esp = c.Esp;
  EXPECT_TRUE(wait_for([&] { return watched("esp") == esp; }, 20)) << text_of(panel("watch"));
  for (int i = 0; i < 8 && last_pause() != probe.round; i++) key_to_pause(0, VK_F7);
  ASSERT_EQ(probe.round, last_pause()) << log();
  ASSERT_TRUE(context(&c));
  EXPECT_NE(esp, (long long)c.Esp);
  EXPECT_TRUE(wait_for([&] { return watched("esp") == (long long)c.Esp; }, 20)) << text_of(panel("watch"));
  screenshot("session_watch.png");

  // A breakpoint on kq_round by its name; unloaded, the program rebuilt, opened again from
  // the start page.
  ASSERT_TRUE(focus_code() && go_to("kq_round"));
  ASSERT_TRUE(wait_for([&] { return cursor_address() == probe.round; }, 20));
  ASSERT_TRUE(keys_.press_in_front(0, VK_SPACE, [] { return true; }));
  kq_.command(UNLOAD);
  // The workspace is written after the unload is logged: wait for the file itself.
  std::string job;
  EXPECT_TRUE(wait_for([&] {
    job = read_file(kq_.folder + "kq.job");
    return job.find("guard ") != std::string::npos;
  })) << log();
  const size_t breakpoint = job.find("break ");
  EXPECT_NE(std::string::npos, breakpoint) << job;
  EXPECT_EQ(job.find("kq_round", breakpoint), job.find(";", breakpoint) - 8) << job;
  EXPECT_NE(std::string::npos, job.find("guard \"" + guarded + "\", \"" + condition + "\";")) << job;
  ASSERT_TRUE(wait_for([&] { return put_debuggee("tests\\debuggees\\kq_debuggee_moved.exe"); }, 20));
  HWND cover = panel("cover");
  ASSERT_TRUE(cover && wait_for([&] { return IsWindowVisible(cover) != 0; }, 20));
  PostMessageA(cover, WM_LBUTTONDOWN, 0, 0);  // a click on the page gives the list the focus
  settle();
  ASSERT_TRUE(keys_.press_in_front(0, VK_RETURN, [&] { return wait_for([&] { return count("EVN_Load") == 2; }, 20); }));
  ASSERT_TRUE(wait_for([&] { return count("EVN_Initiate") == 2 && started(); }, 120)) << log();
  Probe moved;
  ASSERT_TRUE(run_to_probe(&moved)) << log();
  EXPECT_EQ(probe.round + 0x40, moved.round);
  EXPECT_EQ(moved.round, key_to_pause(0, VK_F10)) << log();

  kq_.command(UNLOAD);
  ASSERT_TRUE(wait_for([&] { return count("EVN_Unload") == 2; })) << log();
  EXPECT_EQ(0, kq_.close());
  EXPECT_EQ(log().find("Error: "), std::string::npos) << log();
}
