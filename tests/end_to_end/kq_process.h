// What every end-to-end test does with a kq.exe: a copy placed in a folder of the test's
// own (so that its log, workspace, options file and start directory are the run's), started
// there, and closed.
#pragma once
#include <windows.h>

#include <string>

#include "tests/end_to_end/kq_outside.h"

// Makes folder (named with its trailing backslash) when it is missing, removes the log,
// workspace and options file an earlier run left there, and copies kq.exe (the full path)
// and the map file beside it into it.
inline bool kq_place(const std::string &kq_exe, const std::string &folder) {
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const char *old : {"kq.log", "kq.job", "kq.ini"}) DeleteFileA((folder + old).c_str());
  CopyFileA((kq_exe.substr(0, kq_exe.size() - 4) + ".map").c_str(), (folder + "kq.map").c_str(),
            FALSE);
  return CopyFileA(kq_exe.c_str(), (folder + "kq.exe").c_str(), FALSE) != 0;
}

// Starts the folder's kq.exe with the arguments in that folder, handing it the test's
// inheritable handles when asked; true once its log says the main loop runs.
inline bool kq_run(const std::string &folder, const std::string &arguments,
                   PROCESS_INFORMATION *pi, bool inherit = false) {
  std::string line = "\"" + folder + "kq.exe\" " + arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  return CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr,
                        folder.c_str(), &si, pi) &&
         wait_for([&] {
           return read_file(folder + "kq.log").find("Starting main loop") != std::string::npos;
         });
}

// kq placed in folder with a copy of the debuggee beside it, and started on that copy. The
// paths of kq and the debuggee are relative to the test program's folder.
inline bool kq_start(const char *kq_exe, const char *debuggee, const std::string &folder,
                     PROCESS_INFORMATION *pi) {
  const std::string copy = folder + "kq_debuggee.exe";
  return kq_place(own_folder() + kq_exe, folder) &&
         CopyFileA((own_folder() + debuggee).c_str(), copy.c_str(), FALSE) &&
         kq_run(folder, "\"" + copy + "\"", pi);
}

// Returns once kq's thread has taken every message posted to it so far: the focus trace
// (command 10089) posted behind them has written its line, the run's traced-th, which is
// counted; false when the line does not come in time.
inline bool kq_settle(HWND main, const std::string &folder, int *traced, int seconds = 60) {
  PostMessageA(main, WM_COMMAND, 10089, 0);
  if (!wait_for([&] { return count_in(read_file(folder + "kq.log"), "Focus=") > *traced; },
                seconds))
    return false;
  ++*traced;
  return true;
}

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
