// A call of a procedure inside the debuggee on the followed thread: a small stub below
// the stack pointer pushes two arguments, calls, and stops on an INT3.
#include <windows.h>
#include <string.h>

#include "engine/code_cache.h"
#include "engine/debug_events.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/memory.h"

namespace {

enum { STUB_SIZE = 18, STUB_ROOM = (STUB_SIZE + 3) & ~3 };
// The system answers a call on a window quickly; a procedure that takes longer is given
// up, so that the interface never waits on the debuggee.
const DWORD kCallWaitMs = 100;

void put32(uint8_t *at, uint32_t value) { memcpy(at, &value, 4); }

// Waits for the stop of the followed thread; the other events go through. False when
// none came in time.
bool wait_for_stop(DEBUG_EVENT *ev) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kCallWaitMs;) {
    if (!WaitForDebugEvent(ev, 10)) continue;
    if (ev->dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
        ev->dwProcessId == g_debuggee.process_id && ev->dwThreadId == g_debuggee.thread_id)
      return true;
    debug_event_pass(ev);
  }
  return false;
}

}  // namespace

bool execution_call(uint32_t procedure, uint32_t first, uint32_t second, RegisterSet *result) {
  Debuggee &d = g_debuggee;
  memset(result, 0, sizeof *result);
  if (d.state != DS_PAUSED || d.pending_event_thread) return false;
  registers_refresh();
  RegisterSet saved = g_registers;
  uint32_t place = saved.r[REG_ESP] - STUB_ROOM;
  uint8_t stub[STUB_SIZE], former[STUB_SIZE];
  stub[0] = 0x68;
  put32(stub + 1, second);
  stub[5] = 0x68;
  put32(stub + 6, first);
  stub[10] = 0xB8;
  put32(stub + 11, procedure);
  stub[15] = 0xFF;  // call eax
  stub[16] = 0xD0;
  stub[17] = 0xCC;
  if (memory_read_raw(place, former, STUB_SIZE) != STUB_SIZE ||
      memory_write_raw(place, stub, STUB_SIZE) != STUB_SIZE)
    return false;
  // Stacks are not executable where the system enforces it: the stub's page is, briefly.
  DWORD protection = 0;
  bool reprotected = VirtualProtectEx(d.process, (void *)(uintptr_t)place, STUB_SIZE,
                                      PAGE_EXECUTE_READWRITE, &protection);
  RegisterSet call = saved;
  call.r[REG_EIP] = call.r[REG_ESP] = place;
  bool done = false;
  if (registers_write(&call)) {
    code_cache_forget();  // the procedure runs freely
    ResumeThread(d.thread);
    DEBUG_EVENT ev;
    bool stopped = wait_for_stop(&ev);
    SuspendThread(d.thread);
    if (stopped) ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
    registers_read(result);
    done = stopped && result->r[REG_EIP] == place + STUB_SIZE;
  }
  registers_write(&saved);
  memory_write_raw(place, former, STUB_SIZE);
  if (reprotected)
    VirtualProtectEx(d.process, (void *)(uintptr_t)place, STUB_SIZE, protection, &protection);
  return done;
}
