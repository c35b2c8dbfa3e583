// The debug-event drain: the events the system queues for the debuggee, turned into
// state changes, log lines and debugger events.
#include <windows.h>

#include "engine/code_cache.h"
#include "engine/debug_events.h"
#include "engine/debug_string.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/loaded_images.h"
#include "engine/registers.h"
#include "settings/changes.h"
#include "util/log.h"

namespace {

bool read_debuggee(uint32_t address, void *out, size_t size, void *context) {
  SIZE_T got = 0;
  return ReadProcessMemory((HANDLE)context, (const void *)(uintptr_t)address, out, size, &got) &&
         got == size;
}

void continue_event(const DEBUG_EVENT &ev) {
  ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
}

// An exception of the followed thread stops it. The event itself is continued, so the
// stop is held by one suspension of ours. Steps, run-to and guards may let it run on at
// once; only a stop that stays reaches the user interface. Until then the pending event
// holds the thread, so a stop they consume costs no suspension.
void stop_on_exception(const DEBUG_EVENT &ev) {
  Debuggee &d = g_debuggee;
  bool was_running = d.state != DS_PAUSED;
  d.held_by_event = was_running;
  d.state = DS_PAUSED;
  registers_refresh();
  d.pause.code = ev.u.Exception.ExceptionRecord.ExceptionCode;
  d.pause.guard_index = -1;
  execution_on_exception(d.pause.code, was_running);
  if (d.held_by_event) SuspendThread(d.thread);
  d.held_by_event = false;
  if (d.state != DS_PAUSED) return;
  changes_raise(CHG_STATE);
  debuggee_deliver(EVN_Refresh);
  debuggee_deliver(EVN_Pause);
}

void on_exception(const DEBUG_EVENT &ev) {
  DebuggeeState was = g_debuggee.state;
  if (was == DS_LOADING) g_debuggee.state = DS_RUNNING;
  stop_on_exception(ev);
  continue_event(ev);
  // The first exception of a launched debuggee is the system's initial breakpoint.
  if (was == DS_LOADING) debuggee_deliver(EVN_Initiate);
}

void on_create_thread(const DEBUG_EVENT &ev) {
  log_printf("DEBUG_EVENT: CREATE_THREAD\n");
  continue_event(ev);
}

void on_create_process(const DEBUG_EVENT &ev) {
  const CREATE_PROCESS_DEBUG_INFO &info = ev.u.CreateProcessInfo;
  log_printf("DEBUG_EVENT: CREATE_PROCESS hFile=%X, hProcess=%X, hThread=%X\n",
             (unsigned)(uintptr_t)info.hFile, (unsigned)(uintptr_t)info.hProcess,
             (unsigned)(uintptr_t)info.hThread);
  if (info.hFile) CloseHandle(info.hFile);
  g_debuggee.image_base = (uint32_t)(uintptr_t)info.lpBaseOfImage;
  continue_event(ev);
}

// Left pending: the debuggee stays stopped until it is unloaded. The status bar and
// the panels learn that it no longer runs.
void on_exit_thread(const DEBUG_EVENT &ev) {
  log_printf("DEBUG_EVENT: EXIT_THREAD\n");
  g_debuggee.state = DS_PAUSED;
  g_debuggee.pending_event_thread = ev.dwThreadId;
  changes_raise(CHG_STATE);
}

// Left pending: the unload continues it and so lets the process end.
void on_exit_process(const DEBUG_EVENT &ev) {
  log_printf("DEBUG_EVENT: EXIT_PROCESS\n");
  g_debuggee.state = DS_EXITED;
  g_debuggee.exit_code = ev.u.ExitProcess.dwExitCode;
  g_debuggee.pending_event_thread = ev.dwThreadId;
  changes_raise(CHG_STATE);
  debuggee_deliver(EVN_Exit);
}

void on_load_dll(const DEBUG_EVENT &ev) {
  log_printf("DEBUG_EVENT: LOAD_DLL\n");
  loaded_images_add(ev.u.LoadDll.hFile, (uint32_t)(uintptr_t)ev.u.LoadDll.lpBaseOfDll);
  code_cache_forget();
  if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
  continue_event(ev);
  debuggee_deliver(EVN_Refresh);
}

void on_unload_dll(const DEBUG_EVENT &ev) {
  log_printf("DEBUG_EVENT: UNLOAD_DLL\n");
  loaded_images_remove((uint32_t)(uintptr_t)ev.u.UnloadDll.lpBaseOfDll);
  code_cache_forget();
  continue_event(ev);
  debuggee_deliver(EVN_Refresh);
}

void on_output_string(const DEBUG_EVENT &ev) {
  const OUTPUT_DEBUG_STRING_INFO &info = ev.u.DebugString;
  debug_string_to_log(read_debuggee, g_debuggee.process,
                      (uint32_t)(uintptr_t)info.lpDebugStringData, info.nDebugStringLength,
                      info.fUnicode != 0);
  continue_event(ev);
}

void on_rip(const DEBUG_EVENT &ev) {
  log_printf("DEBUG_EVENT: RIP_EVENT\n");
  continue_event(ev);
}

typedef void (*EventHandler)(const DEBUG_EVENT &ev);

// Indexed by the event code, EXCEPTION_DEBUG_EVENT (1) to RIP_EVENT (9).
const EventHandler kHandlers[] = {
    nullptr,         on_exception,  on_create_thread, on_create_process, on_exit_thread,
    on_exit_process, on_load_dll,   on_unload_dll,    on_output_string,  on_rip,
};
const DWORD kHandlerCount = sizeof kHandlers / sizeof kHandlers[0];

}  // namespace

// A debuggee unloaded while running goes on under the debugger: its events still come
// and are let through at once, with the file handles they carry closed.
void debug_event_pass(const DEBUG_EVENT *ev) {
  if (ev->dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && ev->u.CreateProcessInfo.hFile)
    CloseHandle(ev->u.CreateProcessInfo.hFile);
  if (ev->dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && ev->u.LoadDll.hFile)
    CloseHandle(ev->u.LoadDll.hFile);
  continue_event(*ev);
}

namespace {

// One event, its debug output left waiting for the log. A look without waiting comes
// first: a debuggee that is busy producing events has the next one queued by then, and a
// wait that has to sleep for it is what costs most per event under Wine.
bool take_event(uint32_t wait_ms) {
  DEBUG_EVENT ev;
  if (!WaitForDebugEvent(&ev, 0) && !WaitForDebugEvent(&ev, wait_ms)) return false;
  // The lines any other event brings follow the output that came before it.
  if (ev.dwDebugEventCode != OUTPUT_DEBUG_STRING_EVENT) debug_output_flush();
  // The end of the process is ours whichever of its threads reports it.
  bool followed = ev.dwProcessId == g_debuggee.process_id &&
                  (ev.dwThreadId == g_debuggee.thread_id ||
                   ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT);
  if (followed && ev.dwDebugEventCode < kHandlerCount && kHandlers[ev.dwDebugEventCode])
    kHandlers[ev.dwDebugEventCode](ev);
  else
    debug_event_pass(&ev);
  return true;
}

}  // namespace

bool debuggee_drain_event(uint32_t wait_ms) {
  bool taken = take_event(wait_ms);
  debug_output_flush();
  return taken;
}

int debuggee_drain() {
  int taken = 0;
  while (taken < DRAIN_EVENT_LIMIT && take_event(1)) taken++;
  debug_output_flush();
  return taken;
}
