// Win32 implementation of the platform seam.
#include "platform.h"

#include <windows.h>

static HMODULE own_module() {
  HMODULE mod = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCSTR)&own_module, &mod);
  return mod;
}

void plat_module_path(char *out, size_t outlen) {
  if (!outlen) return;
  DWORD n = GetModuleFileNameA(own_module(), out, (DWORD)outlen);
  if (n >= outlen) n = (DWORD)outlen - 1;
  out[n] = 0;
}

void plat_local_time(PlatTime *t) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  t->hour = st.wHour;
  t->minute = st.wMinute;
  t->day = st.wDay;
  t->month = st.wMonth;
  t->year = st.wYear;
}

bool plat_debugger_present() { return IsDebuggerPresent() != FALSE; }
void plat_debug_break() { DebugBreak(); }
void plat_beep() { Beep(300, 200); }
void plat_terminate(int code) {
  TerminateProcess(GetCurrentProcess(), (UINT)code);
  ExitProcess((UINT)code);
}

void plat_stack_bounds(uintptr_t *low, uintptr_t *high) {
  NT_TIB *tib;
  __asm__("movl %%fs:0x18, %0" : "=r"(tib));  // the thread block's own address
  *low = (uintptr_t)tib->StackLimit;
  *high = (uintptr_t)tib->StackBase;
}
