// The debuggee of a kq.exe run seen from outside, as the truth that kq's panels are
// checked against: its first thread's registers and its memory.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "tests/support/kq_driver.h"

// The registers of the first thread of kq's debuggee (the one kq follows).
inline bool debuggee_context(DWORD kq, CONTEXT *out) {
  const DWORD pid = child_process(kq);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool done = false;
  for (BOOL more = Thread32First(snapshot, &entry); more && !done; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    out->ContextFlags = CONTEXT_FULL;
    done = thread && GetThreadContext(thread, out);
    if (thread) CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return done;
}

// The bytes of kq's debuggee that could be read there, up to count.
inline std::string debuggee_memory(DWORD kq, uint32_t address, int count) {
  std::string bytes((size_t)count, '\0');
  SIZE_T read = 0;
  HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, child_process(kq));
  if (!process || !ReadProcessMemory(process, (void *)(uintptr_t)address, &bytes[0], bytes.size(), &read))
    read = 0;
  if (process) CloseHandle(process);
  bytes.resize(read);
  return bytes;
}
