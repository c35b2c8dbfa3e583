// The fixture of the engine tests: a log per test, the event sink of the program's spine
// (EVN_Refresh refreshes the engine's tables, as the spine does), launching and draining
// real debuggees (tests/debuggees) under Wine, and killing what a test left behind.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/address_eval.h"
#include "engine/debuggee.h"
#include "engine/engine.h"
#include "engine/execution.h"
#include "engine/memory.h"
#include "engine/registers.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "tests/debuggees/debuggee_drive.h"
#include "util/tests/test_support.h"

namespace engine_test {

inline std::vector<int> g_events;
inline void record_event(int event) {
  g_events.push_back(event);
  if (event == EVN_Refresh) engine_refresh();
}

inline bool has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    log_path_ = open_test_log(::testing::UnitTest::GetInstance()->current_test_info()->name());
    g_events.clear();
    memset(&g_changes, 0, sizeof g_changes);
    g_settings.Arguments[0] = 0;
    debuggee_set_event_sink(record_event);
    engine_init();
  }

  // Whatever a test left behind is unloaded and killed, and its last events let through.
  void TearDown() override {
    debuggee_unload();
    for (HANDLE process : watched_) {
      TerminateProcess(process, 1);
      drain_until_ended(process);
      CloseHandle(process);
    }
    debuggee_set_event_sink(nullptr);
    address_eval_install(nullptr);  // whatever evaluator a test put in
    engine_shutdown();
    log_close();
  }

  std::string log() { return read_file(log_path_); }

  // Launches the debuggee program with args and keeps a handle of our own to its process.
  bool launch(const char *args) {
    text_copy(g_settings.Arguments, sizeof g_settings.Arguments, args);
    if (!debuggee_launch(debuggee_exe().c_str())) return false;
    watch(debuggee_process_id());
    return true;
  }

  HANDLE watch(uint32_t process_id) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process_id);
    watched_.push_back(process);
    return process;
  }

  // Until the debuggee stops or ends.
  bool drain_until_stop() {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10)) {
      debuggee_drain();
      if (debuggee_state() == DS_PAUSED || debuggee_state() == DS_EXITED) return true;
    }
    return false;
  }

  bool drain_until_ended(HANDLE process) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs;) {
      debuggee_drain();
      if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) return true;
    }
    return false;
  }

  // Drains until the followed thread has used some CPU time since it was let run.
  bool drain_until_cpu_time() {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10)) {
      debuggee_drain();
      const uint64_t spent = debuggee_cpu_time();
      if (spent > 0 && spent != CPU_TIME_UNKNOWN) return true;
    }
    return false;
  }

  // Launched, past the initial breakpoint and let run.
  bool launch_and_run(const char *args) {
    return launch(args) && drain_until(DS_PAUSED) && debuggee_resume();
  }

  // The events delivered since the last look.
  std::vector<int> take_events() {
    std::vector<int> events;
    events.swap(g_events);
    return events;
  }

  std::string status() {
    char text[KQ_PATH];
    debuggee_status_text(text, sizeof text);
    return text;
  }

  std::string log_path_;
  std::vector<HANDLE> watched_;
};

// The ProbeTable of the debuggee's "probe" mode, as it lies in the debuggee.
struct ProbeTable {
  uint32_t round, round_ret, probe, probe_call, probe_lib, probe_nops, leaf, never,
      crash_call, word, teb, window, spins, go, bytes;
  uint32_t writes, writes_string, writes_fpu, writes_call, writes_end, pages;
};

// A debuggee in "probe" mode, stopped on its own INT3 with its table read.
class Probe : public Session {
 protected:
  bool launch_probe(const char *args = "probe") {
    if (!launch_and_run(args) || !drain_until(DS_PAUSED)) return false;
    registers_refresh();
    return memory_read(g_registers.r[REG_EAX], &table_, sizeof table_) == sizeof table_;
  }

  // Runs to address and waits for the stop there.
  bool run_to(uint32_t address) {
    return execution_run_to(address) && drain_until_stop() && ip() == address;
  }

  bool step(bool over) { return execution_step(over) && drain_until_stop(); }

  uint32_t ip() { return registers_ip(); }

  uint8_t raw_byte(uint32_t address) {
    uint8_t byte = 0;
    memory_read_raw(address, &byte, 1);
    return byte;
  }

  ProbeTable table_ = {};
};

}  // namespace engine_test
