// The register set of the followed thread, read and written with the thread suspended.
#include "engine/registers.h"

#include <windows.h>
#include <string.h>

#include "engine/debuggee.h"
#include "engine/thread_info.h"
#include "settings/changes.h"

RegisterSet g_registers;

namespace {

const DWORD kContextParts =
    CONTEXT_INTEGER | CONTEXT_CONTROL | CONTEXT_SEGMENTS | CONTEXT_FLOATING_POINT;
// The parts of the thread block kept in the set: its self pointer and last error.
const DWORD kTrapFlag = 0x100;
const uint32_t kTibSelf = 0x18, kTibLastError = 0x34, kTibBytes = 56;

bool have_thread() { return g_debuggee.state != DS_NOTLOADED && g_debuggee.thread; }

// A paused thread already carries our suspension; a running one gets one for the access.
bool hold_thread() {
  if (g_debuggee.state == DS_PAUSED) return false;
  SuspendThread(g_debuggee.thread);
  return true;
}

void release_thread(bool held) {
  if (held) ResumeThread(g_debuggee.thread);
}

// The two words of the thread block as last read or written, and whether the next read
// may take them as they are: only after one trap step of a command that cannot write them.
struct KeptBlock {
  uint32_t tib, self, last_error;
  bool usable;
};
KeptBlock g_kept;

// Asked once per followed thread; the query is a round trip to the system each time.
bool cached_tib(uint32_t *tib) {
  if (!g_debuggee.tib && !thread_block(g_debuggee.thread, &g_debuggee.tib)) return false;
  *tib = g_debuggee.tib;
  return true;
}

// Register words in the order of the set, as members of the context.
DWORD CONTEXT::*const kContextWords[16] = {
    &CONTEXT::Eax,    &CONTEXT::Ebx, &CONTEXT::Ecx,   &CONTEXT::Edx,
    &CONTEXT::Edi,    &CONTEXT::Esi, &CONTEXT::SegGs, &CONTEXT::SegFs,
    &CONTEXT::SegEs,  &CONTEXT::SegDs, &CONTEXT::Ebp, &CONTEXT::Eip,
    &CONTEXT::SegCs,  &CONTEXT::EFlags, &CONTEXT::Esp, &CONTEXT::SegSs,
};

// The context of the followed thread, which the caller holds.
bool get_context(CONTEXT *context) {
  memset(context, 0, sizeof *context);
  context->ContextFlags = kContextParts;
  return GetThreadContext(g_debuggee.thread, context);
}

// The 56 bytes of the thread block that hold the words of the set.
bool read_tib(uint32_t *tib, uint8_t *block) {
  if (!cached_tib(tib)) return false;
  SIZE_T got = 0;
  return ReadProcessMemory(g_debuggee.process, (const void *)(uintptr_t)*tib, block, kTibBytes,
                           &got) &&
         got == kTibBytes;
}

}  // namespace

bool registers_read(RegisterSet *out) {
  memset(out, 0, sizeof *out);
  if (!have_thread()) return false;
  bool held = hold_thread();
  CONTEXT context;
  bool ok = get_context(&context);
  if (ok) {
    for (int i = 0; i < 16; i++) out->r[i] = context.*kContextWords[i];
    memcpy(out->fpu, context.FloatSave.RegisterArea, REG_FPU_BYTES);
    uint32_t tib;
    uint8_t block[kTibBytes];
    if (g_kept.usable && g_kept.tib == g_debuggee.tib) {
      out->r[REG_TIB] = g_kept.self;
      out->r[REG_LASTERROR] = g_kept.last_error;
    } else if (read_tib(&tib, block)) {
      memcpy(&out->r[REG_TIB], block + kTibSelf, 4);
      memcpy(&out->r[REG_LASTERROR], block + kTibLastError, 4);
      g_kept = KeptBlock{tib, out->r[REG_TIB], out->r[REG_LASTERROR], false};
    }
  }
  g_kept.usable = false;
  release_thread(held);
  return ok;
}

void registers_keep_thread_block() { g_kept.usable = g_kept.tib && g_kept.tib == g_debuggee.tib; }

bool registers_refresh() { return registers_read(&g_registers); }

bool registers_write(const RegisterSet *regs) {
  if (!have_thread()) return false;
  RegisterSet copy = *regs;  // regs may be the global copy, which is re-read below
  bool held = hold_thread();
  CONTEXT context;
  bool ok = get_context(&context);
  if (ok) {
    for (int i = 0; i < 16; i++) context.*kContextWords[i] = copy.r[i];
    memcpy(context.FloatSave.RegisterArea, copy.fpu, REG_FPU_BYTES);
    ok = SetThreadContext(g_debuggee.thread, &context);
  }
  uint32_t tib;
  uint8_t block[kTibBytes];
  if (ok && read_tib(&tib, block)) {
    memcpy(block + kTibSelf, &copy.r[REG_TIB], 4);
    memcpy(block + kTibLastError, &copy.r[REG_LASTERROR], 4);
    g_kept.tib = 0;  // read again below
    SIZE_T put = 0;
    WriteProcessMemory(g_debuggee.process, (void *)(uintptr_t)tib, block, kTibBytes, &put);
  }
  registers_refresh();
  release_thread(held);
  changes_raise(CHG_REGISTERS);
  return ok;
}

uint32_t registers_ip() {
  registers_refresh();
  return g_registers.r[REG_EIP];
}

bool registers_set_trap_flag(bool on) {
  if (!have_thread()) return false;
  // The set is current while the thread is held: its control part needs no second read.
  const uint32_t *r = g_registers.r;
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_CONTROL;
  context.Ebp = r[REG_EBP];
  context.Eip = r[REG_EIP];
  context.SegCs = r[REG_CS];
  context.Esp = r[REG_ESP];
  context.SegSs = r[REG_SS];
  context.EFlags = on ? r[REG_EFLAGS] | kTrapFlag : r[REG_EFLAGS] & ~kTrapFlag;
  if (!SetThreadContext(g_debuggee.thread, &context)) return false;
  g_registers.r[REG_EFLAGS] = context.EFlags;
  return true;
}

bool registers_set_ip(uint32_t address) {
  registers_refresh();
  RegisterSet regs = g_registers;
  regs.r[REG_EIP] = address;
  return registers_write(&regs);
}
