#include "engine/thread_info.h"

#include <windows.h>
#include <string.h>

#include "util/path.h"

namespace {

// The thread block keeps the last-error value at this offset on 32-bit Windows.
const uint32_t kTebLastError = 0x34;

struct ThreadBasicInformation {
  LONG exit_status;
  void *teb_base;
  void *unique_process, *unique_thread;
  ULONG_PTR affinity_mask;
  LONG priority, base_priority;
};
typedef LONG(WINAPI *QueryThreadFn)(HANDLE, int, void *, ULONG, ULONG *);

}  // namespace

bool thread_block(void *thread, uint32_t *address) {
  QueryThreadFn query =
      (QueryThreadFn)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                            "NtQueryInformationThread");
  ThreadBasicInformation info = {};
  if (query && query(thread, 0, &info, sizeof info, nullptr) == 0 && info.teb_base) {
    *address = (uint32_t)(uintptr_t)info.teb_base;
    return true;
  }
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_SEGMENTS;
  LDT_ENTRY entry;
  if (!GetThreadContext(thread, &context) ||
      !GetThreadSelectorEntry(thread, context.SegFs, &entry))
    return false;
  *address = entry.BaseLow | (uint32_t)entry.HighWord.Bytes.BaseMid << 16 |
             (uint32_t)entry.HighWord.Bytes.BaseHi << 24;
  return true;
}

uint64_t thread_cpu_time(void *thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return CPU_TIME_UNKNOWN;
  return ((uint64_t)kernel.dwHighDateTime << 32 | kernel.dwLowDateTime) +
         ((uint64_t)user.dwHighDateTime << 32 | user.dwLowDateTime);
}

bool thread_last_error(void *process, void *thread, uint32_t *value) {
  uint32_t teb;
  SIZE_T got = 0;
  return thread_block(thread, &teb) &&
         ReadProcessMemory(process, (const void *)(uintptr_t)(teb + kTebLastError), value,
                           sizeof *value, &got) &&
         got == sizeof *value;
}

bool error_text(uint32_t code, char *out, size_t outlen) {
  char text[KQ_PATH];
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                      code, 0, text, sizeof text, nullptr))
    text[0] = 0;
  text[strcspn(text, "\r\n")] = 0;
  text_copy(out, outlen, text);
  return out[0] != 0;
}
