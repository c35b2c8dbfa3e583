// Debug events per second: the engine's drain (launch, drain until the debuggee exits,
// its output copied to the log) against a bare WaitForDebugEvent/ContinueDebugEvent loop
// over the same program in the same run. Run in the test machine:
//   tools/vm/run.sh "$PWD" cmake/wine-run.sh build/win32/bench/drain_bench.exe [lines [rounds]]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "engine/debuggee.h"
#include "startup/settings.h"
#include "util/log.h"
#include "util/path.h"

static std::string loop_program() {
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, sizeof own);
  std::string path = own;
  return path.substr(0, path.find_last_of("\\/") + 1) + "kq_output_loop.exe";
}

static double seconds_since(LARGE_INTEGER start) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return (double)(now.QuadPart - start.QuadPart) / freq.QuadPart;
}

// The physical limit: every event waited for and continued, nothing else.
static double bare_loop(const std::string &program, int lines, long *events) {
  std::string line = "\"" + program + "\" " + std::to_string(lines);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, nullptr, &si, &pi))
    return 0;
  *events = 0;
  for (;;) {
    DEBUG_EVENT ev;
    if (!WaitForDebugEvent(&ev, INFINITE)) break;
    ++*events;
    if (ev.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && ev.u.CreateProcessInfo.hFile)
      CloseHandle(ev.u.CreateProcessInfo.hFile);
    if (ev.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && ev.u.LoadDll.hFile)
      CloseHandle(ev.u.LoadDll.hFile);
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
    if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) break;
  }
  double t = seconds_since(start);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return t;
}

// The engine as the timer drives it, without the 20 ms pause between ticks.
static double engine_loop(const std::string &program, int lines, long *events) {
  snprintf(g_settings.Arguments, sizeof g_settings.Arguments, "%d", lines);
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!debuggee_launch(program.c_str())) return 0;
  *events = 0;
  while (debuggee_state() != DS_EXITED && debuggee_state() != DS_NOTLOADED) {
    *events += debuggee_drain();
    if (debuggee_state() == DS_PAUSED) debuggee_resume();  // the initial breakpoint
  }
  double t = seconds_since(start);
  debuggee_unload();
  return t;
}

int main(int argc, char **argv) {
  int lines = argc > 1 ? atoi(argv[1]) : 20000;
  int rounds = argc > 2 ? atoi(argv[2]) : 3;
  char logpath[MAX_PATH];
  GetTempPathA(sizeof logpath, logpath);
  strcat(logpath, "drain_bench.log");
  log_open_file(logpath, "drain_bench");
  std::string program = loop_program();
  printf("%d lines of debug output, %d rounds (best of each)\n", lines, rounds);
  double best_bare = 0, best_engine = 0;
  for (int r = 0; r < rounds; r++) {
    long bare_events = 0, engine_events = 0;
    double tb = bare_loop(program, lines, &bare_events);
    double te = engine_loop(program, lines, &engine_events);
    double rb = bare_events / tb, re = engine_events / te;
    printf("round %d: bare %ld events in %.3f s = %.0f/s; engine %ld events in %.3f s = %.0f/s\n",
           r + 1, bare_events, tb, rb, engine_events, te, re);
    if (rb > best_bare) best_bare = rb;
    if (re > best_engine) best_engine = re;
  }
  printf("best: bare %.0f events/s, engine %.0f events/s, engine/bare %.1f %%\n", best_bare,
         best_engine, 100.0 * best_engine / best_bare);
  log_close();
  DeleteFileA(logpath);
  return 0;
}
