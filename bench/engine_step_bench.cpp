// Engine stepping and guard rates against the bare debugging interface, in one run (Win32,
// run in the test machine):
//   tools/vm/run.sh /work/main cmake/wine-run.sh build/win32-X/bench/engine_step_bench.exe
//     build/win32-X/tests/debuggees/kq_debuggee.exe [steps [rounds]]   (one line)
// 1. single steps per second through the engine's step into (instruction mode), with the
//    memory journal of step back on and off, and the bytes it holds per history record;
//    and, steadier on a busy machine, the journal's own time per step: its work for each
//    command of the loop, timed alone at the loop's real stops;
// 2. the same number of single steps by a bare trap-flag loop (continue, wait, get
//    context, set TF, set context) on a second debuggee;
// 3. guard hits per second for a guard whose condition is false (the program runs on).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "engine/debuggee.h"
#include "engine/engine.h"
#include "engine/execution.h"
#include "engine/guards.h"
#include "engine/memory.h"
#include "engine/step_journal.h"
#include "settings/settings.h"

namespace {

const DWORD kWaitMs = 60000;

double now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return (double)count.QuadPart / (double)frequency.QuadPart;
}

void on_event(int event) {
  if (event == EVN_Refresh) engine_refresh();
}

bool drain_until_paused() {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs;) {
    debuggee_drain_event(10);
    if (debuggee_state() == DS_PAUSED) return true;
  }
  return false;
}

// Launched in "spin" mode and stopped on its INT3 with the table in EAX; gives the
// address of its g_spins counter.
bool launch_spinner(const char *exe, uint32_t *spins) {
  text_copy(g_settings.Arguments, sizeof g_settings.Arguments, "spin");
  if (!debuggee_launch(exe) || !drain_until_paused() || !debuggee_resume() ||
      !drain_until_paused())
    return false;
  registers_refresh();
  uint32_t table[13];
  if (memory_read(g_registers.r[REG_EAX], table, sizeof table) != sizeof table) return false;
  *spins = table[12];
  return true;
}

// Steps through the spinning loop (a load, an add and a store); *held gets the journal's
// bytes per history record at the end.
double engine_steps(const char *exe, int steps, int journal_bytes, double *held) {
  uint32_t spins;
  if (!launch_spinner(exe, &spins)) return 0;
  g_settings.CpuViewMode = 1;
  g_settings.StepJournalBytes = journal_bytes;
  double start = now();
  for (int i = 0; i < steps; i++) {
    if (!execution_step(false)) return 0;
    while (debuggee_state() == DS_RUNNING) debuggee_drain_event(kWaitMs);
  }
  double rate = steps / (now() - start);
  *held = (double)journal_bytes_held() / g_debuggee.history_count;
  debuggee_unload();
  return rate;
}

// The journal's time per step: each command of the spinning loop is stepped to once, then
// its journal record is taken again and again from those stops, in the real debuggee.
double journal_step_time(const char *exe, int repeats) {
  uint32_t spins;
  if (!launch_spinner(exe, &spins)) return -1;
  g_settings.CpuViewMode = 1;
  g_settings.StepJournalBytes = 1 << 22;
  enum { kStops = 8 };  // two rounds of the loop
  RegisterSet stops[kStops];
  uint8_t code[kStops][16];
  for (int i = 0; i < kStops; i++) {
    stops[i] = g_registers;
    memory_read(g_registers.r[REG_EIP], code[i], sizeof code[i]);
    if (!execution_step(false)) return -1;
    while (debuggee_state() == DS_RUNNING) debuggee_drain_event(kWaitMs);
  }
  double start = now();
  for (int n = 0; n < repeats; n++)
    for (int i = 0; i < kStops; i++) journal_add_step(stops[i], code[i], sizeof code[i]);
  double per_step = (now() - start) / (repeats * kStops);
  history_clear();  // the journal's records and the history's pair up again
  debuggee_unload();
  return per_step;
}

double bare_steps(const char *exe, int steps) {
  char command[MAX_PATH + 16];
  snprintf(command, sizeof command, "\"%s\" loop", exe);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe, command, nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                      nullptr, &si, &pi))
    return 0;
  DEBUG_EVENT ev;
  // Up to the initial breakpoint; everything continued.
  for (;;) {
    if (!WaitForDebugEvent(&ev, kWaitMs)) return 0;
    if (ev.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) CloseHandle(ev.u.CreateProcessInfo.hFile);
    if (ev.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) CloseHandle(ev.u.LoadDll.hFile);
    bool initial = ev.dwDebugEventCode == EXCEPTION_DEBUG_EVENT;
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
    if (initial) break;
  }
  Sleep(200);  // into its spinning loop
  CONTEXT context = {};
  SuspendThread(pi.hThread);
  context.ContextFlags = CONTEXT_CONTROL;
  GetThreadContext(pi.hThread, &context);
  context.EFlags |= 0x100;
  SetThreadContext(pi.hThread, &context);
  ResumeThread(pi.hThread);
  double start = now();
  int done = 0;
  while (done < steps && WaitForDebugEvent(&ev, kWaitMs)) {
    if (ev.dwDebugEventCode == EXCEPTION_DEBUG_EVENT && ev.dwThreadId == pi.dwThreadId &&
        ev.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_SINGLE_STEP) {
      context.ContextFlags = CONTEXT_CONTROL;
      GetThreadContext(pi.hThread, &context);
      context.EFlags |= 0x100;
      SetThreadContext(pi.hThread, &context);
      done++;
    }
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
  }
  double rate = done / (now() - start);
  TerminateProcess(pi.hProcess, 0);
  while (WaitForDebugEvent(&ev, 1000)) {
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
    if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) break;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return rate;
}

double guard_hits(const char *exe, double seconds) {
  uint32_t spins;
  if (!launch_spinner(exe, &spins)) return 0;
  char text[16];
  snprintf(text, sizeof text, "%X", (unsigned)spins);
  // No evaluator is installed: the condition does not evaluate, which counts as false.
  if (guard_add(text, "never") < 0 || !debuggee_resume()) return 0;
  int hits = 0;
  double start = now(), end = start + seconds;
  while (now() < end && debuggee_state() == DS_RUNNING)
    if (debuggee_drain_event(100)) hits++;
  double rate = hits / (now() - start);
  debuggee_unload();
  guard_set(0, "", "");
  return rate;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: engine_step_bench DEBUGGEE.exe [steps [rounds]]\n");
    return 2;
  }
  char exe[MAX_PATH];
  GetFullPathNameA(argv[1], sizeof exe, exe, nullptr);
  int steps = argc > 2 ? atoi(argv[2]) : 500;
  int rounds = argc > 3 ? atoi(argv[3]) : 4;
  debuggee_set_event_sink(on_event);
  engine_init();
  // Rounds alternate between the two, so that a machine that slows down or speeds up
  // meanwhile weighs on both alike; the totals compare the sums of the times.
  double engine_time = 0, plain_time = 0, bare_time = 0, held = 0, plain_held;
  for (int round = 0; round < rounds; round++) {
    double engine = engine_steps(exe, steps, 1 << 22, &held);
    double plain = engine_steps(exe, steps, 0, &plain_held);
    double bare = bare_steps(exe, steps);
    if (engine <= 0 || plain <= 0 || bare <= 0) return 1;
    printf("round %d: engine %.0f steps/s (journal off %.0f), bare %.0f steps/s (%.0f %%)\n",
           round + 1, engine, plain, bare, 100.0 * engine / bare);
    engine_time += steps / engine;
    plain_time += steps / plain;
    bare_time += steps / bare;
  }
  printf("step journal: %.0f steps/s on, %.0f off (%.1f %%), %.1f bytes held per record\n",
         rounds * steps / engine_time, rounds * steps / plain_time,
         100.0 * plain_time / engine_time, held);
  double journal = journal_step_time(exe, 250);
  if (journal < 0) return 1;
  printf("step journal alone: %.1f us per step, %.1f %% of a step with the journal off\n",
         journal * 1e6, 100.0 * journal * rounds * steps / plain_time);
  double guards = guard_hits(exe, 5.0);
  printf("single steps: engine %.0f/s, bare trap-flag loop %.0f/s (%.0f %%)\n",
         rounds * steps / engine_time, rounds * steps / bare_time, 100.0 * bare_time / engine_time);
  printf("guard hits with a false condition: %.0f/s\n", guards);
  engine_shutdown();
  return guards > 0 ? 0 : 1;
}
