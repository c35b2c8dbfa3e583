#include "startup/privilege_win32.h"

#include <windows.h>

#include "settings/changes.h"

bool privilege_switch(bool enable) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  TOKEN_PRIVILEGES tp = {};
  tp.PrivilegeCount = 1;
  bool ok = LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &tp.Privileges[0].Luid);
  if (ok) {
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    SetLastError(0);
    // The call succeeds also when the privilege was not assigned; the last error tells.
    AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
    ok = GetLastError() == 0;
  }
  CloseHandle(token);
  if (ok) changes_raise(CHG_PRIVILEGE);
  return ok;
}
