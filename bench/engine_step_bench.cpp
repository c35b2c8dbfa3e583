// Engine stepping and guard rates against the bare debugging interface, in one run (Win32,
// run in the test machine):
//   tools/vm/run.sh /work/main cmake/wine-run.sh build/win32-X/bench/engine_step_bench.exe
//     build/win32-X/tests/debuggees/kq_debuggee.exe [steps [pairs [fill pairs]]]   (one line)
// 1. single steps per second through the engine's step into (instruction mode) with the
//    memory journal of step back on and off (StepJournalBytes 0), in rounds that alternate
//    in one debuggee, so that a change of the machine's load weighs on both alike: the
//    ratio on / off of each pair of neighbouring rounds with its median, quartiles and
//    range, and the bytes the journal holds per history record. Once on a loop with a
//    store, once on a loop of one repeated string store over 8 KB (a trap per repeat);
// 2. the journal's own time per step: its work for each command of the first loop, timed
//    alone at the loop's real stops;
// 3. the same number of single steps by a bare trap-flag loop (continue, wait, get
//    context, set TF, set context) on a second debuggee;
// 4. guard hits per second for a guard whose condition is false (the program runs on).
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

// Launched in "spin" mode (with "fill" or not) and stopped on its INT3 with the table in
// EAX; gives the address of its g_spins counter.
bool launch_spinner(const char *exe, const char *mode, uint32_t *spins) {
  snprintf(g_settings.Arguments, sizeof g_settings.Arguments, "spin %s", mode);
  if (!debuggee_launch(exe) || !drain_until_paused() || !debuggee_resume() ||
      !drain_until_paused())
    return false;
  registers_refresh();
  uint32_t table[13];
  if (memory_read(g_registers.r[REG_EAX], table, sizeof table) != sizeof table) return false;
  *spins = table[12];
  return true;
}

int compare_doubles(const void *a, const void *b) {
  double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

double median(double *values, int count) {
  qsort(values, (size_t)count, sizeof *values, compare_doubles);
  return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

// The ratio journal on / off of each pair of neighbouring rounds (one of each), sorted.
struct JournalRates {
  enum { kMaxPairs = 64 };
  double ratios[kMaxPairs];
  int pairs;
  double on, off;  // median steps per second with the journal on and off
  double held;     // bytes per history record with the journal on
};

double quantile(const JournalRates &r, double q) { return r.ratios[(int)(q * (r.pairs - 1) + 0.5)]; }

// Steps through the loop of the debuggee in the given mode, in pairs of rounds with the
// journal on and off: on, off, off, on, so that a load that grows or falls steadily
// weighs on both alike.
bool journal_rates(const char *exe, const char *mode, int steps, int pairs, JournalRates *rates) {
  uint32_t spins;
  if (pairs < 1 || pairs > JournalRates::kMaxPairs || !launch_spinner(exe, mode, &spins))
    return false;
  g_settings.CpuViewMode = 1;
  double on[JournalRates::kMaxPairs], off[JournalRates::kMaxPairs];
  for (int i = 0; i < 2 * pairs; i++) {
    bool journal = i % 4 == 0 || i % 4 == 3;
    g_settings.StepJournalBytes = journal ? 1 << 22 : 0;
    double start = now();
    for (int n = 0; n < steps; n++) {
      if (!execution_step(false)) return false;
      while (debuggee_state() == DS_RUNNING) debuggee_drain_event(kWaitMs);
    }
    double rate = steps / (now() - start);
    double &ratio = rates->ratios[i / 2];
    ratio = i % 2 ? (journal ? rate / ratio : ratio / rate) : rate;
    (journal ? on : off)[i / 2] = rate;
    // A round of at least HISTORY_SIZE traps leaves only its own records.
    if (journal) rates->held = (double)journal_bytes_held() / g_debuggee.history_count;
  }
  rates->pairs = pairs;
  rates->on = median(on, pairs);
  rates->off = median(off, pairs);
  median(rates->ratios, pairs);  // sorts them
  debuggee_unload();
  return true;
}

void print_rates(const char *what, const char *unit, const JournalRates &r) {
  printf("step journal, %s: %.1f %s on, %.1f off; on/off per pair of rounds over %d pairs: "
         "median %.3f, quartiles %.3f-%.3f, range %.3f-%.3f; %.1f bytes held per step\n",
         what, r.on, unit, r.off, r.pairs, quantile(r, 0.5), quantile(r, 0.25), quantile(r, 0.75),
         r.ratios[0], r.ratios[r.pairs - 1], r.held);
}

struct JournalTimes {
  double per_step;   // over the loop's commands
  double short_rep;  // at the loop's repeated store, 2 K repeats left
  double long_rep;   // the same store with 64 K repeats left (over the image)
};

// The journal's own time: each command of the loop is stepped to once, then its journal
// record is taken again and again from those stops, in the real debuggee.
bool journal_step_time(const char *exe, const char *mode, int repeats, JournalTimes *times) {
  uint32_t spins;
  if (!launch_spinner(exe, mode, &spins)) return false;
  g_settings.CpuViewMode = 1;
  g_settings.StepJournalBytes = 1 << 22;
  enum { kStops = 9 };  // the fill loop, two rounds of the spinning loop
  RegisterSet stops[kStops];
  uint8_t code[kStops][16];
  for (int i = 0; i < kStops; i++) {
    stops[i] = g_registers;
    memory_read(g_registers.r[REG_EIP], code[i], sizeof code[i]);
    if (!execution_step(false)) return false;
    while (debuggee_state() == DS_RUNNING) debuggee_drain_event(kWaitMs);
  }
  times->per_step = times->short_rep = times->long_rep = 0;
  for (int i = 0; i < kStops; i++) {
    double start = now();
    for (int n = 0; n < repeats; n++) journal_add_step(stops[i], code[i], sizeof code[i]);
    double each = (now() - start) / repeats;
    times->per_step += each / kStops;
    if (code[i][0] != 0xF3) continue;
    times->short_rep = each;
    // The same store with far more left to do: what a trap of it costs the journal.
    RegisterSet longer = stops[i];
    longer.r[REG_ECX] = 65536;
    longer.r[REG_EDI] = g_debuggee.image_base;
    start = now();
    for (int n = 0; n < repeats; n++) journal_add_step(longer, code[i], sizeof code[i]);
    times->long_rep = (now() - start) / repeats;
  }
  history_clear();  // the journal's records and the history's pair up again
  debuggee_unload();
  return true;
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
  if (!launch_spinner(exe, "", &spins)) return 0;
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
    fprintf(stderr, "usage: engine_step_bench DEBUGGEE.exe [steps [pairs [fill pairs]]]\n");
    return 2;
  }
  char exe[MAX_PATH];
  GetFullPathNameA(argv[1], sizeof exe, exe, nullptr);
  int steps = argc > 2 ? atoi(argv[2]) : 500;
  int pairs = argc > 3 ? atoi(argv[3]) : 10;
  int fill_pairs = argc > 4 ? atoi(argv[4]) : pairs;
  debuggee_set_event_sink(on_event);
  engine_init();
  // The fill loop is nine commands, one of them the repeated store of 2048 repeats.
  JournalRates loop, fill;
  if (!journal_rates(exe, "", steps, pairs, &loop) ||
      !journal_rates(exe, "fill", 9, fill_pairs, &fill))
    return 1;
  print_rates("loop with a store", "steps/s", loop);
  print_rates("8 KB repeated store", "commands/s", fill);
  JournalTimes loop_journal, fill_journal;
  if (!journal_step_time(exe, "", 250, &loop_journal) ||
      !journal_step_time(exe, "fill", 250, &fill_journal))
    return 1;
  printf("step journal alone: %.1f us per step of the loop, %.1f %% of a step with the journal "
         "off; per trap of a repeated store %.1f us with 2 K repeats left, %.1f us with 64 K\n",
         loop_journal.per_step * 1e6, 100.0 * loop_journal.per_step * loop.off,
         fill_journal.short_rep * 1e6, fill_journal.long_rep * 1e6);
  double bare = bare_steps(exe, steps * pairs);
  if (bare <= 0) return 1;
  double guards = guard_hits(exe, 5.0);
  printf("single steps: engine %.0f/s, bare trap-flag loop %.0f/s (%.0f %%)\n", loop.on, bare,
         100.0 * loop.on / bare);
  printf("guard hits with a false condition: %.0f/s\n", guards);
  engine_shutdown();
  return guards > 0 ? 0 : 1;
}
