// The debuggee's life: launch, attach, thread switch, resume and unload, and the texts
// that describe its state.
#include "engine/debuggee.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "engine/breakpoints.h"
#include "engine/execution.h"
#include "engine/guards.h"
#include "engine/loaded_images.h"
#include "engine/registers.h"
#include "engine/snapshot.h"
#include "engine/thread_info.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "util/crash_report.h"
#include "util/log.h"
#include "util/zone.h"

Debuggee g_debuggee;

namespace {

DebuggerEventSink g_event_sink;

// All ones stands for "no debuggee" in the id queries.
const uint32_t kNoId = 0xFFFFFFFF;

typedef HANDLE(WINAPI *OpenThreadFn)(DWORD, BOOL, DWORD);

// Looked up at run time: older systems lack it, and then no thread can be opened.
HANDLE open_thread(uint32_t thread_id) {
  OpenThreadFn open =
      (OpenThreadFn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "OpenThread");
  return open ? open(THREAD_ALL_ACCESS, FALSE, thread_id) : nullptr;
}

// Takes over the process and thread and announces the new debuggee.
void begin_session(HANDLE process, HANDLE thread, uint32_t process_id, uint32_t thread_id,
                   DebuggeeState state) {
  Debuggee &d = g_debuggee;
  d.process = process;
  d.thread = thread;
  d.process_id = process_id;
  d.thread_id = thread_id;
  d.exit_code = 0;
  d.state = state;
  history_clear();
  d.pause = PauseReason{0, -1};
  d.pending_event_thread = 0;
  d.tib = 0;
  d.image_base = 0;
  loaded_images_clear();
  registers_refresh();
  history_push();
  changes_raise(CHG_STATE);
  debuggee_deliver(EVN_Refresh);
  debuggee_deliver(EVN_Load);
}

void continue_pending_event() {
  Debuggee &d = g_debuggee;
  if (!d.pending_event_thread) return;
  ContinueDebugEvent(d.process_id, d.pending_event_thread, DBG_CONTINUE);
  d.pending_event_thread = 0;
}

}  // namespace

void debuggee_set_event_sink(DebuggerEventSink sink) { g_event_sink = sink; }

void debuggee_deliver(int event) {
  if (g_event_sink) g_event_sink(event);
}

void debuggee_record_cpu_time() {
  g_debuggee.cpu_time_deferred = false;
  g_debuggee.cpu_time_at_resume = thread_cpu_time(g_debuggee.thread);
}

bool debuggee_launch(const char *path) {
  if (g_debuggee.state != DS_NOTLOADED) return false;
  char full[KQ_PATH];
  DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) {
    log_printf("Invalid filename '%s'\n", path);
    return false;
  }
  // The program's own name leads its command line, so that its arguments start at argv[1].
  char command[2 * KQ_PATH + 4];
  snprintf(command, sizeof command, g_settings.Arguments[0] ? "\"%s\" %s" : "\"%s\"", full,
           g_settings.Arguments);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(full, command, nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                      nullptr, &si, &pi)) {
    log_printf("Cannot open executable '%s'\n", full);
    return false;
  }
  text_copy(g_debuggee.path, sizeof g_debuggee.path, full);
  begin_session(pi.hProcess, pi.hThread, pi.dwProcessId, pi.dwThreadId, DS_LOADING);
  return true;
}

bool debuggee_attach(uint32_t process_id, uint32_t thread_id) {
  if (g_debuggee.state != DS_NOTLOADED || process_id == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process_id);
  HANDLE thread = open_thread(thread_id);
  if (!process || !thread || !DebugActiveProcess(process_id)) {
    if (process) CloseHandle(process);
    if (thread) CloseHandle(thread);
    log_printf("Cannot attach to process %i and thread %i\n", (int)process_id, (int)thread_id);
    return false;
  }
  snapshot_executable_path(process_id, g_debuggee.path, sizeof g_debuggee.path);
  // Attached processes are past their initial breakpoint: no loading state, no EVN_Initiate.
  begin_session(process, thread, process_id, thread_id, DS_RUNNING);
  return true;
}

bool debuggee_attach_process(uint32_t process_id) {
  return debuggee_attach(process_id, snapshot_first_thread(process_id));
}

bool debuggee_switch_thread(uint32_t thread_id) {
  Debuggee &d = g_debuggee;
  if (d.state == DS_NOTLOADED) return false;
  HANDLE thread = open_thread(thread_id);
  if (!thread) return false;
  if (d.state == DS_PAUSED) ResumeThread(d.thread);
  // A pending exit event holds every thread of the process, the new one too.
  continue_pending_event();
  CloseHandle(d.thread);
  d.thread = thread;
  d.thread_id = thread_id;
  d.tib = 0;
  d.state = DS_RUNNING;
  history_clear();
  registers_refresh();
  history_push();
  changes_raise(CHG_THREAD);
  changes_raise(CHG_STATE);  // the state became running: the status bar and panels say so
  return true;
}

bool debuggee_resume() {
  Debuggee &d = g_debuggee;
  if (d.state != DS_PAUSED || d.pending_event_thread) return false;
  registers_refresh();
  execution_let_run();
  changes_raise(CHG_STATE);
  debuggee_deliver(EVN_Resume);
  return true;
}

bool debuggee_unload() {
  Debuggee &d = g_debuggee;
  if (d.state == DS_NOTLOADED) return true;
  if (d.state == DS_PAUSED) {
    log_printf("Terminating executable %s\n", d.path);
    TerminateProcess(d.process, 0);
  }
  // The INT3s go before the process is let go: a debuggee left running must not meet them.
  if (d.state != DS_EXITED) breakpoints_unplant_all();
  execution_forget();
  g_temporary = TemporaryBreakpoint{0, 0};
  // Exit process: this lets the process end. Exit thread: the dying process must not be
  // held by it. A running debuggee gets nothing and goes on.
  continue_pending_event();
  d.state = DS_CLOSING;
  debuggee_deliver(EVN_Unload);
  changes_raise(CHG_STATE);
  CloseHandle(d.process);
  CloseHandle(d.thread);
  d.process = d.thread = nullptr;
  d.process_id = d.thread_id = 0;
  d.state = DS_NOTLOADED;
  d.tib = d.image_base = 0;
  history_clear();
  registers_refresh();
  d.call_stack = zone_free(d.call_stack);
  d.path[0] = 0;
  loaded_images_clear();
  debuggee_deliver(EVN_Refresh);
  return true;
}

bool debuggee_reload() {
  char path[KQ_PATH];
  text_copy(path, sizeof path, g_debuggee.path);
  return debuggee_unload() && debuggee_launch(path);
}

DebuggeeState debuggee_state() { return g_debuggee.state; }

const char *debuggee_path() { return g_debuggee.path; }

uint32_t debuggee_process_id() {
  return g_debuggee.state == DS_NOTLOADED ? kNoId : g_debuggee.process_id;
}

uint32_t debuggee_thread_id() {
  return g_debuggee.state == DS_NOTLOADED ? kNoId : g_debuggee.thread_id;
}

uint32_t debuggee_exit_code() {
  return g_debuggee.state == DS_EXITED ? g_debuggee.exit_code : 0;
}

void debuggee_defer_cpu_time() { g_debuggee.cpu_time_deferred = true; }

uint64_t debuggee_cpu_time() {
  if (g_debuggee.state == DS_NOTLOADED) return 0;
  if (g_debuggee.cpu_time_deferred) debuggee_record_cpu_time();
  const uint64_t now = thread_cpu_time(g_debuggee.thread), then = g_debuggee.cpu_time_at_resume;
  return now == CPU_TIME_UNKNOWN || then == CPU_TIME_UNKNOWN || now < then ? CPU_TIME_UNKNOWN
                                                                           : now - then;
}

bool debuggee_pause_text(char *out, size_t outlen) {
  // A step back that left memory as it was says so until the debuggee moves on.
  const char *note = execution_step_back_note();
  if (g_debuggee.state == DS_PAUSED && note[0]) {
    text_copy(out, outlen, note);
    return true;
  }
  uint32_t code = g_debuggee.pause.code;
  int guard = g_debuggee.pause.guard_index;
  const char *name = exception_name(code);
  if (guard >= 0 && guard < GUARD_SLOTS && g_guards[guard].expression)
    snprintf(out, outlen, "Breakpoint '%s'", g_guards[guard].expression);
  else if (code == 0) out[0] = 0;
  else if (name[0]) text_copy(out, outlen, name);
  else snprintf(out, outlen, "Unknown exception 0x%X", (unsigned)code);
  return out[0] != 0;
}

bool debuggee_last_error_text(char *out, size_t outlen) {
  uint32_t value = 0;
  out[0] = 0;
  if (g_debuggee.state == DS_NOTLOADED ||
      !thread_last_error(g_debuggee.process, g_debuggee.thread, &value) || value == 0)
    return false;
  return error_text(value, out, outlen);
}

StateFacts debuggee_state_facts(char *pause, char *error, size_t textlen) {
  pause[0] = error[0] = 0;
  if (g_debuggee.state == DS_PAUSED && !debuggee_pause_text(pause, textlen))
    debuggee_last_error_text(error, textlen);
  return StateFacts{g_debuggee.state, (int)debuggee_exit_code(), pause, error};
}

void debuggee_status_text(char *out, size_t outlen) {
  char pause[KQ_PATH], error[KQ_PATH];
  debuggee_state_text(debuggee_state_facts(pause, error, KQ_PATH), out, outlen);
}
