// Driving the test debuggee from a test program under Wine: its path beside the test
// (KQ_DEBUGGEE, relative to the test program's folder) and draining until a state.
#pragma once
#include <windows.h>

#include <string>

#include "engine/debuggee.h"

// The debuggee runs slowly in the test machine: waits are generous and never asserted on.
const DWORD kWaitMs = 60000;

inline std::string debuggee_exe() {
  char own[MAX_PATH], full[MAX_PATH];
  GetModuleFileNameA(nullptr, own, sizeof own);
  std::string path = own;
  path = path.substr(0, path.find_last_of("\\/") + 1) + KQ_DEBUGGEE;
  GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return full;
}

inline bool drain_until(DebuggeeState state) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10)) {
    debuggee_drain();
    if (debuggee_state() == state) return true;
  }
  return false;
}
