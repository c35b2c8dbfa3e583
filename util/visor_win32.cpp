// The crash handler on Win32: the protected run, its exception report, and loading the
// map files of our own modules from their PE headers in memory.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include "crash_report.h"
#include "log.h"
#include "mapfile.h"
#include "path.h"
#include "platform.h"
#include "visor.h"
#include "visor_win32.h"

namespace {

struct VisorState {
  char pending[2048];  // the fatal message waiting for the report
  int depth;
  LPTOP_LEVEL_EXCEPTION_FILTER outer;
};
VisorState g_visor;

bool read_own_frame(uintptr_t frame, uintptr_t pair[2], void *) {
  DWORD raw[2];
  SIZE_T got = 0;
  if (!frame || !ReadProcessMemory(GetCurrentProcess(), (LPCVOID)frame, raw, sizeof raw, &got) ||
      got != sizeof raw)
    return false;
  pair[0] = raw[0];
  pair[1] = raw[1];
  return true;
}

LONG WINAPI report_filter(EXCEPTION_POINTERS *info) {
  const EXCEPTION_RECORD *er = info->ExceptionRecord;
  const CONTEXT *c = info->ContextRecord;
  if (!g_visor.pending[0]) lstrcpynA(g_visor.pending, exception_name(er->ExceptionCode),
                                     sizeof g_visor.pending);
  CrashRegisters regs = {c->Eax, c->Ebx, c->Ecx, c->Edx, c->Esi, c->Edi, c->Esp, c->Ebp, c->Eip};
  crash_write_report(g_visor.pending, (uintptr_t)er->ExceptionAddress, &regs, read_own_frame,
                     nullptr);
  plat_beep();
  // Leave no data guard of ours armed in a dying thread.
  CONTEXT dr = {};
  dr.ContextFlags = CONTEXT_DEBUG_REGISTERS;
  SetThreadContext(GetCurrentThread(), &dr);
  plat_terminate(-1);
}

}  // namespace

void protected_run(void (*fn)(void *), void *arg) {
  if (g_visor.depth++ == 0) g_visor.outer = SetUnhandledExceptionFilter(report_filter);
  fn(arg);
  if (--g_visor.depth == 0) SetUnhandledExceptionFilter(g_visor.outer);
}

int protected_depth() { return g_visor.depth; }

void fatal_error(const char *fmt, ...) {
  char message[2048];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(message, sizeof message, fmt, ap);
  va_end(ap);
  if (g_visor.depth > 0) {
    lstrcpynA(g_visor.pending, message, sizeof g_visor.pending);
    if (IsDebuggerPresent()) DebugBreak();
    RaiseException(0, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  } else {
    crash_log_unhandled(message);
  }
  plat_terminate(-1);
}

bool visor_load_map(HMODULE module) {
  char path[KQ_PATH];
  DWORD n = GetModuleFileNameA(module, path, sizeof path);
  if (!n || n >= sizeof path) return false;
  const BYTE *base = (const BYTE *)module;
  const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
  const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER *sec = IMAGE_FIRST_SECTION(nt);
  int count = nt->FileHeader.NumberOfSections;
  MapSectionInfo sections[96];
  if (count > 96) count = 96;
  for (int i = 0; i < count; i++) {
    sections[i].virtual_address = sec[i].VirtualAddress;
    sections[i].code = (sec[i].Characteristics & IMAGE_SCN_CNT_CODE) != 0;
  }
  MapImage image = {(uintptr_t)base, (uintptr_t)base + nt->OptionalHeader.BaseOfCode,
                    nt->OptionalHeader.SizeOfCode, count, sections};
  return mapfile_load(path, &image);
}

void visor_unload_map(HMODULE module) {
  char path[KQ_PATH];
  DWORD n = GetModuleFileNameA(module, path, sizeof path);
  if (n && n < sizeof path) mapfile_unload(path);
}
