// Runs crash_probe.exe in a process of its own and reads the report in its log.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

std::string probe_dir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

// Runs the probe with one argument; gives its exit code and its log.
DWORD run_probe(const char *what, std::string *log) {
  std::string exe = probe_dir() + "crash_probe.exe";
  std::string cmd = "\"" + exe + "\" " + what;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return 12345;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  *log = read_file(probe_dir() + "crash_probe.log");
  return code;
}

bool has(const std::string &log, const char *text) { return log.find(text) != std::string::npos; }

TEST(CrashHandler, DivideByZeroReportsRegistersAndNamedFrames) {
  std::string log;
  EXPECT_EQ(run_probe("divide", &log), 0xFFFFFFFFu);
  EXPECT_TRUE(has(log, "============= EXCEPTION =============")) << log;
  EXPECT_TRUE(has(log, "\tMessage: Int divide by zero\n")) << log;
  EXPECT_TRUE(has(log, "\tEAX: ") && has(log, " EDX: ") && has(log, "\tESI: ") &&
              has(log, " EBP: ")) << log;
  EXPECT_TRUE(has(log, "====== F.R.A.M.E.S ======")) << log;
  EXPECT_TRUE(has(log, " probe_divide\n")) << log;
  EXPECT_TRUE(has(log, " probe_divide_caller\n")) << log;
  EXPECT_TRUE(has(log, " protected_run\n")) << log;
  EXPECT_TRUE(has(log, " main\n")) << log;
  EXPECT_TRUE(has(log, "Yet another ")) << log;
  EXPECT_FALSE(has(log, "Bye!")) << log;
}

TEST(CrashHandler, AssertionReportCarriesItsText) {
  std::string log;
  EXPECT_EQ(run_probe("assert", &log), 0xFFFFFFFFu);
  EXPECT_TRUE(has(log, "\tMessage: Assertion probe 42: sink == 12345\n")) << log;
  EXPECT_TRUE(has(log, " probe_assert\n")) << log;
}

TEST(CrashHandler, TraceAndBlockReportNameOurFunctions) {
  std::string log;
  EXPECT_EQ(run_probe("trace", &log), 0u);
  EXPECT_TRUE(has(log, "\tprobe_trace: from the probe\n")) << log;
  EXPECT_TRUE(has(log, "] size 10, tick ")) << log;
  EXPECT_TRUE(has(log, "probe_trace'") || has(log, "probe_trace\\")) << log;
  EXPECT_TRUE(has(log, "\tblocks: 1\n")) << log;
  EXPECT_TRUE(has(log, "\tBye!\n")) << log;
}

}  // namespace
