// Driving the test debuggee from a test program under Wine: its path beside the test
// (KQ_DEBUGGEE, relative to the test program's folder) and draining until a state.
#pragma once
#include <windows.h>

#include <string>

#include "engine/debuggee.h"

// The debuggee runs slowly in the test machine: waits are generous and never asserted on.
const DWORD kWaitMs = 60000;

// The full path of a file named relative to the test program's folder.
inline std::string beside_test(const char *relative) {
  char own[MAX_PATH], full[MAX_PATH];
  GetModuleFileNameA(nullptr, own, sizeof own);
  std::string path = own;
  path = path.substr(0, path.find_last_of("\\/") + 1) + relative;
  GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return full;
}

inline std::string debuggee_exe() { return beside_test(KQ_DEBUGGEE); }

inline bool drain_until(DebuggeeState state) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10)) {
    debuggee_drain();
    if (debuggee_state() == state) return true;
  }
  return false;
}
