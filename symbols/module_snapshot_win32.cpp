// The debuggee's module list from the system's tool-help snapshot.
#include <windows.h>
#include <tlhelp32.h>

#include "symbols/modules.h"
#include "util/zone.h"

namespace {
// The snapshot can fail while the process's module list is changing; it is taken again.
const int kSnapshotTries = 5;

HANDLE take_snapshot(uint32_t process_id) {
  HANDLE snap = INVALID_HANDLE_VALUE;
  for (int i = 0; i < kSnapshotTries && snap == INVALID_HANDLE_VALUE; i++) {
    snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id);
    if (snap == INVALID_HANDLE_VALUE && GetLastError() != ERROR_BAD_LENGTH) break;
  }
  return snap;
}
}  // namespace

bool modules_refresh(uint32_t process_id, const ModuleSnapshotEntry *announced,
                     int announced_count) {
  bool process = process_id != 0 && process_id != 0xFFFFFFFFu;
  HANDLE snap = process ? take_snapshot(process_id) : INVALID_HANDLE_VALUE;
  // A process whose list cannot be read now keeps its modules until the next refresh.
  if (process && snap == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 *found = nullptr;
  int count = 0;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = snap != INVALID_HANDLE_VALUE && Module32First(snap, &entry); more;
       more = Module32Next(snap, &entry)) {
    MODULEENTRY32 *grown = (MODULEENTRY32 *)zone_resize(found, (count + 1) * sizeof entry);
    if (!grown) break;
    found = grown;
    found[count++] = entry;
  }
  if (snap != INVALID_HANDLE_VALUE) CloseHandle(snap);
  if (!process) announced_count = 0;
  int room = count + announced_count;
  ModuleSnapshotEntry *list =
      room ? (ModuleSnapshotEntry *)zone_alloc(room * sizeof(ModuleSnapshotEntry)) : nullptr;
  if (!list) count = announced_count = 0;
  for (int i = 0; i < count; i++)
    list[i] = ModuleSnapshotEntry{found[i].szModule, found[i].szExePath,
                                  (uint32_t)(uintptr_t)found[i].modBaseAddr,
                                  found[i].modBaseSize, found[i].ProccntUsage};
  int listed = count;
  for (int i = 0; i < announced_count; i++) {
    bool seen = false;
    for (int j = 0; j < listed && !seen; j++) seen = list[j].base == announced[i].base;
    if (!seen) list[count++] = announced[i];
  }
  bool changed = modules_refresh_from(list, count);
  zone_free(list);
  zone_free(found);
  return changed;
}
