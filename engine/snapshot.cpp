#include "engine/snapshot.h"

#include <windows.h>
#include <tlhelp32.h>

#include "util/path.h"

uint32_t snapshot_first_thread(uint32_t process_id) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  uint32_t found = 0;
  for (BOOL more = Thread32First(snap, &entry); more && !found;
       more = Thread32Next(snap, &entry))
    if (entry.th32OwnerProcessID == process_id) found = entry.th32ThreadID;
  CloseHandle(snap);
  return found;
}

bool snapshot_executable_path(uint32_t process_id, char *out, size_t outlen) {
  out[0] = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id);
  if (snap == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool found = Module32First(snap, &entry);
  if (found) text_copy(out, outlen, entry.szExePath);
  CloseHandle(snap);
  return found;
}
