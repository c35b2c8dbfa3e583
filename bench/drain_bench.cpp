// Debug events per second: the engine's drain (launch, drain until the debuggee exits,
// its output copied to the log) against bare loops over the same program in the same run:
// one that only waits for and continues each event (the limit of the interface), one that
// also reads each debug-output string out of the debuggee, as any debugger that shows the
// output must, and the same with waits of at most 1 ms, as the drain waits so that the
// user interface never stalls. Rounds take the loops in turn, each first once in a while,
// and the best rate of each counts (the one least disturbed by other work on the machine):
//   cmake/wine-run.sh build/win32/bench/drain_bench.exe [lines [rounds]]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "engine/debuggee.h"
#include "settings/settings.h"
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

// Every event waited for (at most wait_ms at a time) and continued; with read_strings,
// each debug-output string is also read out of the debuggee (in one piece) before the
// event is continued.
static double bare_loop(const std::string &program, int lines, bool read_strings, DWORD wait_ms,
                        long *events) {
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
  static char text[0x10000];
  for (;;) {
    DEBUG_EVENT ev;
    if (!WaitForDebugEvent(&ev, wait_ms)) {
      if (GetLastError() == ERROR_SEM_TIMEOUT) continue;
      break;
    }
    ++*events;
    if (ev.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && ev.u.CreateProcessInfo.hFile)
      CloseHandle(ev.u.CreateProcessInfo.hFile);
    if (ev.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && ev.u.LoadDll.hFile)
      CloseHandle(ev.u.LoadDll.hFile);
    if (read_strings && ev.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
      const OUTPUT_DEBUG_STRING_INFO &info = ev.u.DebugString;
      SIZE_T size = (SIZE_T)info.nDebugStringLength * (info.fUnicode ? 2 : 1), got = 0;
      if (size > sizeof text) size = sizeof text;
      ReadProcessMemory(pi.hProcess, info.lpDebugStringData, text, size, &got);
    }
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

enum { BARE, READ, READ_1MS, ENGINE, LOOPS };
static const char *const kNames[LOOPS] = {"bare", "bare+read", "bare+read 1 ms", "engine"};

static double run(int loop, const std::string &program, int lines, long *events) {
  if (loop == ENGINE) return engine_loop(program, lines, events);
  return bare_loop(program, lines, loop != BARE, loop == READ_1MS ? 1 : INFINITE, events);
}

int main(int argc, char **argv) {
  int lines = argc > 1 ? atoi(argv[1]) : 20000;
  int rounds = argc > 2 ? atoi(argv[2]) : 6;
  char logpath[MAX_PATH];
  GetTempPathA(sizeof logpath, logpath);
  strcat(logpath, "drain_bench.log");
  log_open_file(logpath, "drain_bench");
  std::string program = loop_program();
  printf("%d lines of debug output, %d rounds (best of each)\n", lines, rounds);
  double best[LOOPS] = {};
  for (int r = 0; r < rounds; r++) {
    printf("round %d:", r + 1);
    for (int k = 0; k < LOOPS; k++) {
      int loop = (r + k) % LOOPS;
      long events = 0;
      double t = run(loop, program, lines, &events);
      double rate = t > 0 ? events / t : 0;
      if (rate > best[loop]) best[loop] = rate;
      printf(" %s %ld in %.3f s = %.0f/s;", kNames[loop], events, t, rate);
    }
    printf("\n");
  }
  printf("best: bare %.0f/s, bare+read %.0f/s, bare+read 1 ms %.0f/s, engine %.0f/s\n",
         best[BARE], best[READ], best[READ_1MS], best[ENGINE]);
  printf("engine/bare %.1f %%, engine/bare+read %.1f %%, engine/bare+read 1 ms %.1f %%\n",
         100.0 * best[ENGINE] / best[BARE], 100.0 * best[ENGINE] / best[READ],
         100.0 * best[ENGINE] / best[READ_1MS]);
  log_close();
  DeleteFileA(logpath);
  return 0;
}
