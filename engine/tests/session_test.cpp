// The debug session against real debuggees (tests/debuggees) under Wine.
#include "engine/tests/debuggee_fixture.h"

#include <tlhelp32.h>

namespace {

using namespace engine_test;

std::vector<int> tail(const std::vector<int> &events, size_t count) {
  return std::vector<int>(events.end() - (events.size() < count ? events.size() : count),
                          events.end());
}

uint32_t other_thread_of(uint32_t process_id, uint32_t thread_id) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  uint32_t found = 0;
  for (BOOL more = Thread32First(snap, &entry); more && !found;
       more = Thread32Next(snap, &entry))
    if (entry.th32OwnerProcessID == process_id && entry.th32ThreadID != thread_id)
      found = entry.th32ThreadID;
  CloseHandle(snap);
  return found;
}

TEST_F(Session, LaunchStopsAtInitialBreakpointReloadAndUnloadTerminate) {
  EXPECT_EQ(status(), "Not loaded");
  EXPECT_EQ(debuggee_process_id(), 0xFFFFFFFFu);
  ASSERT_TRUE(launch("loop"));
  EXPECT_EQ(take_events(), (std::vector<int>{EVN_Refresh, EVN_Load}));
  EXPECT_TRUE(g_changes.pending[CHG_STATE]);
  EXPECT_EQ(debuggee_state(), DS_LOADING);
  EXPECT_EQ(status(), "Loading...");
  EXPECT_EQ(std::string(debuggee_path()), debuggee_exe());

  // A second launch is refused without a word.
  std::string before = log();
  EXPECT_FALSE(debuggee_launch(debuggee_exe().c_str()));
  EXPECT_EQ(log(), before);

  ASSERT_TRUE(drain_until(DS_PAUSED));
  std::vector<int> events = take_events();
  EXPECT_EQ(tail(events, 3), (std::vector<int>{EVN_Refresh, EVN_Pause, EVN_Initiate}));
  EXPECT_EQ(g_debuggee.pause.code, 0x80000003u);
  EXPECT_EQ(status(), "Breakpoint");
  EXPECT_TRUE(has(log(), "DEBUG_EVENT: CREATE_PROCESS hFile=")) << log();

  uint32_t first_pid = debuggee_process_id();
  HANDLE first = watched_.back();
  ASSERT_TRUE(debuggee_reload());
  EXPECT_TRUE(has(log(), "Terminating executable " + debuggee_exe() + "\n")) << log();
  EXPECT_EQ(take_events(), (std::vector<int>{EVN_Unload, EVN_Refresh, EVN_Refresh, EVN_Load}));
  EXPECT_NE(debuggee_process_id(), first_pid);
  watch(debuggee_process_id());
  EXPECT_TRUE(drain_until_ended(first));
  ASSERT_TRUE(drain_until(DS_PAUSED));
  EXPECT_EQ(std::count(g_events.begin(), g_events.end(), EVN_Initiate), 1);

  HANDLE second = watched_.back();
  take_events();
  EXPECT_TRUE(debuggee_unload());
  EXPECT_EQ(take_events(), (std::vector<int>{EVN_Unload, EVN_Refresh}));
  EXPECT_EQ(debuggee_state(), DS_NOTLOADED);
  EXPECT_EQ(std::string(debuggee_path()), "");
  EXPECT_EQ(debuggee_thread_id(), 0xFFFFFFFFu);
  EXPECT_TRUE(drain_until_ended(second));
  EXPECT_TRUE(debuggee_unload());
  EXPECT_TRUE(take_events().empty());
}

TEST_F(Session, LaunchFailuresLeaveNothingLoaded) {
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof cwd, cwd);
  struct Case {
    const char *path;
    std::string line;
  } cases[] = {
      {"", "Invalid filename ''\n"},
      {"no_such_program.exe",
       "Cannot open executable '" + std::string(cwd) + "\\no_such_program.exe'\n"},
  };
  for (const Case &c : cases) {
    EXPECT_FALSE(debuggee_launch(c.path)) << c.path;
    EXPECT_TRUE(has(log(), c.line)) << log();
    EXPECT_EQ(debuggee_state(), DS_NOTLOADED);
  }
  EXPECT_TRUE(take_events().empty());
}

TEST_F(Session, ExitCodeIsShownAndUnloadLetsTheProcessEnd) {
  ASSERT_TRUE(launch_and_run("exit 42"));
  EXPECT_EQ(tail(take_events(), 1), std::vector<int>{EVN_Resume});
  ASSERT_TRUE(drain_until(DS_EXITED));
  EXPECT_EQ(debuggee_exit_code(), 42u);
  EXPECT_EQ(status(), "Exit 42");
  EXPECT_EQ(tail(take_events(), 1), std::vector<int>{EVN_Exit});
  EXPECT_TRUE(has(log(), "DEBUG_EVENT: EXIT_PROCESS\n")) << log();
  EXPECT_TRUE(debuggee_unload());
  EXPECT_FALSE(has(log(), "Terminating")) << log();
  EXPECT_TRUE(drain_until_ended(watched_.back()));
}

TEST_F(Session, DebugOutputReachesTheLog) {
  ASSERT_TRUE(launch_and_run("output"));
  ASSERT_TRUE(drain_until(DS_EXITED));
  std::string digits;
  for (int i = 0; i < 200; i++) digits += (char)('0' + i % 10);
  // The pieces join on one line, which the next log line then continues.
  EXPECT_TRUE(has(log(), digits + "DEBUG_EVENT: EXIT_PROCESS\n")) << log();
}

// Output gathered for the log keeps its place among the lines of the other events.
TEST_F(Session, DebugOutputKeepsItsPlaceAmongTheEventLines) {
  ASSERT_TRUE(launch_and_run("output msacm32.dll"));
  ASSERT_TRUE(drain_until(DS_EXITED));
  std::string text = log();
  size_t load = text.find("0123456789DEBUG_EVENT: LOAD_DLL\n"), loaded = text.find("\tloaded\n"),
         exit = text.find("DEBUG_EVENT: EXIT_PROCESS\n");
  ASSERT_NE(load, std::string::npos) << text;
  ASSERT_NE(loaded, std::string::npos) << text;
  EXPECT_LT(load, loaded) << text;
  EXPECT_LT(loaded, exit) << text;
}

TEST_F(Session, FaultStopsWithItsNameAndTheThreadsLastError) {
  ASSERT_TRUE(launch_and_run("fault"));
  take_events();
  ASSERT_TRUE(drain_until(DS_PAUSED));
  EXPECT_EQ(take_events(), (std::vector<int>{EVN_Refresh, EVN_Pause}));
  EXPECT_EQ(g_debuggee.pause.code, 0xC0000005u);
  EXPECT_EQ(status(), "Access violation");

  char expected[KQ_PATH], text[KQ_PATH];
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, expected,
                 sizeof expected, nullptr);
  expected[strcspn(expected, "\r\n")] = 0;
  SetLastError(ERROR_ACCESS_DENIED);  // our own thread's value must not be the one read
  ASSERT_TRUE(debuggee_last_error_text(text, sizeof text));
  EXPECT_STREQ(text, expected);

  // Without a pause reason the status falls back to the last error.
  g_debuggee.pause.code = 0;
  EXPECT_EQ(status(), expected);
  g_debuggee.pause.code = 0xE0000001;
  EXPECT_EQ(status(), "Unknown exception 0xE0000001");

  EXPECT_TRUE(debuggee_unload());
  EXPECT_TRUE(has(log(), "Terminating executable ")) << log();
  EXPECT_TRUE(drain_until_ended(watched_.back()));
}

TEST_F(Session, RepeatingFaultOfAnotherThreadKeepsTheDrainBounded) {
  ASSERT_TRUE(launch_and_run("faultloop"));
  // However fast the stream flows, no drain takes more than its share and the followed
  // thread is not stopped by the faults of the others. How many events arrive between
  // two drains depends on the machine's speed, so only the bound is asserted.
  int total = 0;
  for (DWORD start = GetTickCount(); total < 4 * (int)DRAIN_EVENT_LIMIT &&
                                     GetTickCount() - start < kWaitMs;) {
    int taken = debuggee_drain();
    ASSERT_LE(taken, (int)DRAIN_EVENT_LIMIT);
    total += taken;
  }
  EXPECT_GT(total, (int)DRAIN_EVENT_LIMIT);
  EXPECT_EQ(debuggee_state(), DS_RUNNING);
}

TEST_F(Session, AttachNeverInitiatesAndUnloadLeavesItRunning) {
  std::string event_name = "kq_attach_ready_" + std::to_string(GetCurrentProcessId());
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
  std::string exe = debuggee_exe(), command = "\"" + exe + "\" loop " + event_name;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  watched_.push_back(pi.hProcess);
  CloseHandle(pi.hThread);
  ASSERT_EQ(WaitForSingleObject(ready, kWaitMs), WAIT_OBJECT_0);
  CloseHandle(ready);

  ASSERT_TRUE(debuggee_attach_process(pi.dwProcessId));
  EXPECT_EQ(take_events(), (std::vector<int>{EVN_Refresh, EVN_Load}));
  EXPECT_EQ(debuggee_state(), DS_RUNNING);
  EXPECT_EQ(debuggee_thread_id(), pi.dwThreadId);
  EXPECT_EQ(strcasecmp(debuggee_path(), exe.c_str()), 0) << debuggee_path();
  // The system's attach breakpoint comes on a thread of its own and is let through.
  ASSERT_TRUE(drain_until_cpu_time());
  for (int i = 0; i < 100; i++, Sleep(10)) debuggee_drain();
  std::vector<int> events = take_events();
  EXPECT_EQ(std::count(events.begin(), events.end(), EVN_Initiate), 0);
  EXPECT_EQ(debuggee_state(), DS_RUNNING);

  EXPECT_TRUE(debuggee_unload());
  EXPECT_FALSE(has(log(), "Terminating")) << log();
  for (int i = 0; i < 20; i++) debuggee_drain();
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), (DWORD)WAIT_TIMEOUT);
}

TEST_F(Session, AttachToOwnOrDeadProcessFailsCleanly) {
  std::string before = log();
  EXPECT_FALSE(debuggee_attach_process(GetCurrentProcessId()));
  EXPECT_EQ(log(), before);

  std::string exe = debuggee_exe(), command = "\"" + exe + "\" exit 0";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, kWaitMs);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_FALSE(debuggee_attach_process(pi.dwProcessId));
  EXPECT_TRUE(has(log(), "Cannot attach to process " + std::to_string(pi.dwProcessId) +
                             " and thread 0\n")) << log();
  EXPECT_EQ(debuggee_state(), DS_NOTLOADED);
  EXPECT_TRUE(take_events().empty());
}

TEST_F(Session, ExitOfTheFollowedThreadPausesAndUnloadTerminates) {
  ASSERT_TRUE(launch_and_run("threads"));
  memset(&g_changes, 0, sizeof g_changes);
  ASSERT_TRUE(drain_until(DS_PAUSED));
  EXPECT_TRUE(has(log(), "DEBUG_EVENT: EXIT_THREAD\n")) << log();
  EXPECT_TRUE(g_changes.pending[CHG_STATE]);  // no longer shown as running
  EXPECT_TRUE(debuggee_unload());
  EXPECT_TRUE(has(log(), "Terminating executable ")) << log();
  EXPECT_TRUE(drain_until_ended(watched_.back()));
}

TEST_F(Session, SwitchFollowsAnotherThreadThatRuns) {
  ASSERT_TRUE(launch_and_run("threads"));
  ASSERT_TRUE(drain_until(DS_PAUSED));
  uint32_t worker = other_thread_of(debuggee_process_id(), debuggee_thread_id());
  ASSERT_NE(worker, 0u);
  memset(&g_changes, 0, sizeof g_changes);
  ASSERT_TRUE(debuggee_switch_thread(worker));
  EXPECT_TRUE(g_changes.pending[CHG_THREAD]);
  EXPECT_TRUE(g_changes.pending[CHG_STATE]);
  EXPECT_EQ(debuggee_thread_id(), worker);
  EXPECT_EQ(debuggee_state(), DS_RUNNING);
  EXPECT_TRUE(drain_until_cpu_time());
  EXPECT_FALSE(debuggee_switch_thread(0));
  EXPECT_EQ(debuggee_thread_id(), worker);
}

TEST_F(Session, LateLibraryLoadRefreshesAndIsLogged) {
  ASSERT_TRUE(launch_and_run("loadlib"));
  take_events();
  std::string before = log();
  ASSERT_TRUE(drain_until(DS_EXITED));
  EXPECT_EQ(debuggee_exit_code(), 0u);
  std::string after = log().substr(before.size());
  EXPECT_TRUE(has(after, "DEBUG_EVENT: LOAD_DLL\n")) << after;
  EXPECT_TRUE(has(after, "DEBUG_EVENT: UNLOAD_DLL\n")) << after;
  std::vector<int> events = take_events();
  EXPECT_GE(std::count(events.begin(), events.end(), EVN_Refresh), 2);
}

}  // namespace
