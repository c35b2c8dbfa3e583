#include "startup/jit_registration_win32.h"

#include <stdio.h>
#include <string.h>

#include "startup/resource_ids.h"
#include "util/path.h"

static const char kAeDebug[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";

static void jit_command(const char *program_path, char *out, size_t outlen) {
  snprintf(out, outlen, "\"%s\" -pid=%%ld -event=%%ld", program_path);
}

bool jit_register(const char *program_path, bool ask_first) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAeDebug, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  char command[2 * KQ_PATH];
  jit_command(program_path, command, sizeof command);
  bool ok = RegSetValueExA(key, "Debugger", 0, REG_SZ, (const BYTE *)command,
                           (DWORD)strlen(command) + 1) == ERROR_SUCCESS;
  if (ok) {
    const char *autorun = ask_first ? "0" : "1";
    ok = RegSetValueExA(key, "Auto", 0, REG_SZ, (const BYTE *)autorun, 2) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok;
}

static bool read_string(HKEY key, const char *name, char *out, DWORD outlen) {
  DWORD type = 0, size = outlen - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, (BYTE *)out, &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  out[size < outlen ? size : outlen - 1] = 0;
  return true;
}

bool jit_read(const char *program_path, bool *registered, bool *ask_first) {
  *registered = false;
  *ask_first = true;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAeDebug, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  char value[2 * KQ_PATH], expected[2 * KQ_PATH];
  jit_command(program_path, expected, sizeof expected);
  *registered = read_string(key, "Debugger", value, sizeof value) && !strcmp(value, expected);
  if (read_string(key, "Auto", value, sizeof value)) *ask_first = !strcmp(value, "0");
  RegCloseKey(key);
  return true;
}

static INT_PTR CALLBACK jit_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  char program[KQ_PATH];
  GetModuleFileNameA(nullptr, program, sizeof program);
  switch (message) {
    case WM_INITDIALOG: {
      bool registered, ask_first;
      jit_read(program, &registered, &ask_first);
      CheckDlgButton(dialog, IDC_JIT_ASK, ask_first ? BST_CHECKED : BST_UNCHECKED);
      char command[2 * KQ_PATH];
      jit_command(program, command, sizeof command);
      SetDlgItemTextA(dialog, IDC_JIT_COMMAND, command);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        jit_register(program, IsDlgButtonChecked(dialog, IDC_JIT_ASK) == BST_CHECKED);
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
  }
  return FALSE;
}

void jit_dialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_JIT), owner,
                  jit_dialog_proc, 0);
}
