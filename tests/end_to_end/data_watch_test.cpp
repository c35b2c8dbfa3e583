// The data and watch panels of kq.exe under Wine, with the workspace file: watches typed
// through the prompt follow the debuggee's registers across a step (compared with the
// thread's context read from outside); bytes inserted through the data panel, on the stack
// and on a read-only page, are read back from the debuggee; a comment, a breakpoint, a
// guard and the watches are written to kq.job at unload and come back at the next load,
// where the breakpoint stops the run and stays armed under a write through the data panel.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/kq_debuggee_outside.h"
#include "tests/support/kq_driver.h"

namespace {

// Commands posted to kq's main window; those it does not take go on to the panels.
enum {
  ADD_WATCH = 10099, STEP_OVER = 10086, RELOAD = 10080, FOCUS_DATA = 10064, RUN = 10077,
  DATA_NEW_SEARCH = 10057, FOCUS_WATCH = 10068, WATCH_NARROWER = 10162, WATCH_WIDER = 10163,
  DATA_COMMENT = 10042, DATA_GOTO = 10046, DATA_GUARD = 10048, DATA_INSERT = 10049,
  CODE_BREAKPOINT = 10007
};

class DataWatchRun : public ::testing::Test {
 protected:
  // kq.exe, its map and the debuggee in the test's folder, where the run's log, options
  // and workspace are written.
  bool start() {
    return kq_.place("data-watch") && kq_.set("Arguments", "loop") &&
           kq_.set("WriteReadOnly", "1") && kq_.start_on(kDebuggee);
  }
  std::string log() const { return kq_.log(); }
  // Where the n-th pause after the last start-up stopped (0 until it happened).
  uint32_t pause_after_start(int n) const {
    const std::string all = log();
    const size_t at = all.rfind("EVN_Initiate");
    const std::vector<uint32_t> pauses = log_pauses(at == std::string::npos ? "" : all.substr(at));
    return n <= (int)pauses.size() ? pauses[(size_t)n - 1] : 0;
  }
  void command(int id) const { kq_.command(id); }
  // Returns once kq has finished the tick that logged the last line.
  bool settle() { return kq_.settle(20); }

  HWND panel(const char *cls) const { return process_child(kq_.pi.dwProcessId, cls); }

  bool answer(const char *title, const char *text) const {
    return answer_input_prompt(kq_.pi.dwProcessId, title, text);
  }
  bool context(CONTEXT *out) const { return debuggee_context(kq_.pi.dwProcessId, out); }
  std::string memory(uint32_t address, int count) const {
    return debuggee_memory(kq_.pi.dwProcessId, address, count);
  }
  // The value the watch panel shows for an expression, as a number (-1 when none).
  long long watched(const char *expression) const {
    const std::string text = text_of(panel("watch")), head = std::string(expression) + ": ";
    const size_t at = text.find(head);
    if (at == std::string::npos || (at && text[at - 1] != '\n')) return -1;
    return (long long)strtoul(text.c_str() + at + head.size(), nullptr, 0);
  }
  // The data panel's position, selection and pages written, as its window says them.
  std::vector<uint32_t> data_state() const {
    std::vector<uint32_t> v(4, 0);
    sscanf(text_of(panel("data")).c_str(), "%x %x %x %u", &v[0], &v[1], &v[2], &v[3]);
    return v;
  }
  bool data_at(uint32_t address) const {
    return wait_for([&] { return data_state()[0] == address; }, 20);
  }
  // Goes to an address in the data panel and inserts the byte sequence there.
  bool insert_at(const char *where, uint32_t address, const char *sequence) const {
    command(DATA_GOTO);
    return answer("Go to the address", where) && data_at(address) &&
           (command(DATA_INSERT), answer("Insert bytes", sequence));
  }

  KqDriver kq_;
};

}  // namespace

TEST_F(DataWatchRun, WatchesWritesAndTheWorkspaceRoundTrip) {
  ASSERT_TRUE(start()) << log();
  ASSERT_TRUE(wait_for([&] { return pause_after_start(1) != 0; }, 120)) << log();
  ASSERT_TRUE(panel("watch") && panel("data"));

  // Watches typed through the main window's prompt follow the thread across a step.
  for (const char *expression : {"eax", "esp", "dword ptr [esp]"}) {
    command(ADD_WATCH);
    ASSERT_TRUE(answer("Insert expression", expression)) << log();
  }
  command(STEP_OVER);
  ASSERT_TRUE(wait_for([&] { return pause_after_start(2) != 0; }, 60)) << log();
  CONTEXT c;
  ASSERT_TRUE(context(&c));
  EXPECT_TRUE(wait_for([&] { return watched("esp") == (long long)c.Esp; }, 20))
      << text_of(panel("watch")) << " esp " << std::hex << c.Esp;
  EXPECT_EQ((long long)c.Eax, watched("eax")) << text_of(panel("watch"));
  uint32_t top = 0;
  ASSERT_EQ(4u, memory(c.Esp, 4).size());
  memcpy(&top, memory(c.Esp, 4).data(), 4);
  EXPECT_EQ((long long)top, watched("dword ptr [esp]")) << text_of(panel("watch"));

  // Grow down narrows the watch panel by 30 pixels at once, grow up gives them back; UP
  // selects the line above (seen in the screenshot).
  auto width = [&] {
    RECT r = {};
    return GetWindowRect(panel("watch"), &r) ? r.right - r.left : 0L;
  };
  const long wide = width();
  command(WATCH_NARROWER);
  EXPECT_TRUE(wait_for([&] { return width() == wide - 30; }, 20)) << wide << " " << width();
  command(FOCUS_WATCH);
  PostMessageA(panel("watch"), WM_KEYDOWN, VK_UP, 0);
  ASSERT_TRUE(settle());
  screenshot("data_watch_narrower.png");
  command(WATCH_WIDER);
  EXPECT_TRUE(wait_for([&] { return width() == wide; }, 20)) << wide << " " << width();

  // Bytes inserted through the data panel below the stack pointer, and over the DOS stub
  // of the image (a read-only page, written because WriteReadOnly is on).
  command(FOCUS_DATA);
  const uint32_t below = c.Esp - 0x40;
  ASSERT_TRUE(insert_at("esp-0x40", below, "\"KQ\"")) << log();
  EXPECT_TRUE(wait_for([&] { return memory(below, 2) == "KQ"; }, 20)) << log();
  screenshot("data_watch_stack.png");  // ESP's label on its cell, 0x40 bytes further on
  const uint32_t stub = 0x400040;
  ASSERT_EQ(2u, memory(stub, 2).size());
  ASSERT_TRUE(insert_at("0x400040", stub, "0x4B, 0x51")) << log();
  EXPECT_TRUE(wait_for([&] { return memory(stub, 2) == "KQ"; }, 20)) << log();
  // The pattern search from the image's start finds them, selected.
  command(DATA_GOTO);
  ASSERT_TRUE(answer("Go to the address", "0x400000") && data_at(0x400000));
  command(DATA_NEW_SEARCH);
  ASSERT_TRUE(answer("Search for data", "4B ?? BA")) << log();  // "K", any byte, then the stub's own
  EXPECT_TRUE(data_at(stub)) << text_of(panel("data"));
  EXPECT_EQ(stub + 2, data_state()[2]);
  const std::vector<uint32_t> shown = data_state();
  EXPECT_EQ((std::vector<uint32_t>{stub, stub, stub + 2}), std::vector<uint32_t>(shown.begin(), shown.begin() + 3));
  screenshot("data_watch_panels.png");
  // A step that leaves the page's bytes alone writes no new page; a write into it does.
  command(STEP_OVER);
  ASSERT_TRUE(wait_for([&] { return pause_after_start(3) != 0; }, 60)) << log();
  ASSERT_TRUE(settle());
  EXPECT_EQ(shown[3], data_state()[3]);
  command(DATA_INSERT);
  ASSERT_TRUE(answer("Insert bytes", "0x4C"));
  EXPECT_TRUE(wait_for([&] { return data_state()[3] > shown[3]; }, 20)) << text_of(panel("data"));

  // A comment on the stub, a guard on it and a breakpoint at the code panel's cursor.
  command(DATA_COMMENT);
  ASSERT_TRUE(answer("Insert comments", "the \"stub\", patched")) << log();
  command(DATA_GUARD);
  HWND guards = nullptr;
  ASSERT_TRUE(wait_for([&] { return (guards = process_window(kq_.pi.dwProcessId, "#32770", "Data guards")) != nullptr; }, 30));
  PostMessageA(GetDlgItem(guards, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(guards); }, 30));
  command(CODE_BREAKPOINT);

  // Unloaded and loaded again: the workspace file holds them as typed, and they return.
  command(RELOAD);
  ASSERT_TRUE(wait_for([&] { return log().find("Workspace: ") != std::string::npos; }, 120)) << log();
  std::string job = read_file(kq_.folder + "kq.job");
  job.erase(std::remove(job.begin(), job.end(), '\r'), job.end());  // written in text mode
  EXPECT_NE(std::string::npos, job.find("comment ")) << job;
  EXPECT_NE(std::string::npos, job.find(", \"the \\qstub\\q, patched\";\n")) << job;
  EXPECT_NE(std::string::npos, job.find("\nbreak ")) << job;
  EXPECT_NE(std::string::npos, job.find("\nguard ")) << job;
  EXPECT_NE(std::string::npos, job.find("watch eax;\nwatch esp;\nwatch \"dword ptr [esp]\";\n")) << job;
  EXPECT_NE(std::string::npos, log().find("Workspace: 1 comments, 1 breakpoints, 1 guards, 3 watches"))
      << log() << job;
  // The new process stops at its start: the restored watches show its registers, the
  // stub has its own bytes again, and the restored breakpoint stops the run.
  auto started_again = [&] {
    const std::string all = log();
    const size_t loaded = all.find("Workspace: ");
    return loaded != std::string::npos && all.find("EVN_Initiate", loaded) != std::string::npos;
  };
  ASSERT_TRUE(wait_for([&] { return started_again() && pause_after_start(1) != 0; }, 120))
      << log();
  ASSERT_TRUE(context(&c));
  EXPECT_TRUE(wait_for([&] { return watched("eax") == (long long)c.Eax && watched("esp") == (long long)c.Esp; }, 20))
      << text_of(panel("watch"));
  EXPECT_NE("KQ", memory(stub, 2));
  EXPECT_TRUE(wait_for([&] { return data_state()[0] > 0x400000; }, 20))  // the image's data
      << text_of(panel("data"));
  const size_t at = job.find("\nbreak ");
  const uint32_t breakpoint = at == std::string::npos ? 0 : (uint32_t)strtoul(job.c_str() + at + 7, nullptr, 16);
  EXPECT_NE(pause_after_start(1), breakpoint);
  command(RUN);
  ASSERT_TRUE(wait_for([&] { return pause_after_start(2) != 0; }, 60)) << log();
  EXPECT_EQ(breakpoint, pause_after_start(2)) << log();
  // A write over the breakpoint through the data panel keeps it armed in the debuggee.
  const std::string original = memory(breakpoint + 1, 1);
  char where[16], sequence[16];
  snprintf(where, sizeof where, "0x%X", breakpoint);
  snprintf(sequence, sizeof sequence, "0xE9, 0x%X", (uint8_t)original[0] ^ 0x10);
  ASSERT_TRUE(insert_at(where, breakpoint, sequence)) << log();
  EXPECT_TRUE(wait_for([&] { return memory(breakpoint + 1, 1)[0] == (char)(original[0] ^ 0x10); }, 20));
  EXPECT_EQ("\xCC", memory(breakpoint, 1));
  screenshot("data_watch_reloaded.png");

  EXPECT_EQ(0, kq_.close());
  EXPECT_EQ(log().find("Error: "), std::string::npos) << log();
}
