// What every end-to-end test does with a kq.exe it started.
#pragma once
#include <windows.h>

// Closes kq's main window and waits for the process (a minute at most, then it is
// terminated); gives its exit code, -2 when it did not end. The handles are closed.
inline int kq_close(PROCESS_INFORMATION *pi, HWND main) {
  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = (DWORD)-2;
  if (WaitForSingleObject(pi->hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi->hProcess, &code);
  else
    TerminateProcess(pi->hProcess, 1);
  CloseHandle(pi->hProcess);
  CloseHandle(pi->hThread);
  *pi = {};
  return (int)code;
}
