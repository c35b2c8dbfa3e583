// What end-to-end tests use to drive a kq.exe from outside: waiting, window texts, kq's
// top-level windows, its input prompt, its debuggee, settings under a registry key of the
// test's own, and screenshots.
#pragma once
#include <windows.h>
#include <string.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "ui/dialogs/input_prompt_ids.h"
#include "util/tests/test_support.h"

inline std::string own_folder() {
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, sizeof own);
  std::string path = own;
  return path.substr(0, path.find_last_of("\\/") + 1);
}

template <typename Condition>
bool wait_for(Condition condition, int seconds = 60) {
  for (int i = 0; i < seconds * 20 * wait_scale(); i++, Sleep(50))
    if (condition()) return true;
  return false;
}

inline std::string text_of(HWND hwnd) {
  char text[16384] = {0};
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, (LPARAM)text);
  return text;
}

// How many times part stands in text.
inline int count_in(const std::string &text, const std::string &part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

// The visible top-level windows of the process with the class and, when given, the
// caption, the topmost first; and the first of them.
inline std::vector<HWND> process_windows(DWORD pid, const char *cls,
                                         const char *caption = nullptr) {
  struct Find {
    DWORD pid;
    const char *cls, *caption;
    std::vector<HWND> found;
  } f = {pid, cls, caption, {}};
  EnumWindows([](HWND hwnd, LPARAM arg) WINAPI -> BOOL {
    Find *f = (Find *)arg;
    DWORD owner = 0;
    char name[64];
    GetWindowThreadProcessId(hwnd, &owner);
    GetClassNameA(hwnd, name, sizeof name);
    if (owner != f->pid || strcmp(name, f->cls) || !IsWindowVisible(hwnd)) return TRUE;
    if (!f->caption || text_of(hwnd) == f->caption) f->found.push_back(hwnd);
    return TRUE;
  }, (LPARAM)&f);
  return f.found;
}

inline HWND process_window(DWORD pid, const char *cls, const char *caption = nullptr) {
  const std::vector<HWND> all = process_windows(pid, cls, caption);
  return all.empty() ? nullptr : all[0];
}

// Answers kq's input prompt with this title as the user does: the text in its field, then
// ENTER; true once the prompt has gone.
inline bool answer_input_prompt(DWORD pid, const char *title, const char *text) {
  HWND prompt = nullptr;
  if (!wait_for([&] { return (prompt = process_window(pid, "#32770", title)) != nullptr; }, 30))
    return false;
  HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
  SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)text);
  PostMessageA(FindWindowExA(combo, nullptr, "Edit", nullptr), WM_KEYDOWN, VK_RETURN, 0);
  return wait_for([&] { return !IsWindow(prompt); }, 30);
}

// The last process the system lists as started by parent (kq's debuggee), 0 for none.
inline DWORD child_process(DWORD parent) {
  DWORD id = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == parent) id = entry.th32ProcessID;
  CloseHandle(snapshot);
  return id;
}

// A window of the process by class, among its top-level windows and their descendants
// (panels sit in holders of kq's windows).
inline HWND process_child(DWORD pid, const char *cls) {
  struct Find {
    DWORD pid;
    const char *cls;
    HWND found;
  } f = {pid, cls, nullptr};
  EnumWindows([](HWND top, LPARAM arg) WINAPI -> BOOL {
    Find *f = (Find *)arg;
    DWORD owner = 0;
    char name[64];
    GetWindowThreadProcessId(top, &owner);
    if (owner != f->pid) return TRUE;
    GetClassNameA(top, name, sizeof name);
    if (!strcmp(name, f->cls)) f->found = top;
    else
      EnumChildWindows(top, [](HWND child, LPARAM arg) WINAPI -> BOOL {
        Find *f = (Find *)arg;
        char name[64];
        GetClassNameA(child, name, sizeof name);
        if (!strcmp(name, f->cls)) f->found = child;
        return f->found == nullptr;
      }, arg);
    return f->found == nullptr;
  }, (LPARAM)&f);
  return f.found;
}

// A string value under HKEY_CURRENT_USER\key (a key the test hands to kq through the
// environment), and reading one back: "(no key)" or "(none)" when it is not there.
inline void put_key_setting(const std::string &key, const char *name, const std::string &value) {
  HKEY handle;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE *)value.c_str(), (DWORD)value.size() + 1);
  RegCloseKey(handle);
}

// A settings key of the test's own (named for the test and this process), handed to the kq
// it starts through KQ_SETTINGS_KEY, with the format warning off; and its removal at the end.
inline std::string own_settings_key(const char *test) {
  const std::string key =
      std::string("SOFTWARE\\KaquinDebugger") + test + "-" + std::to_string(GetCurrentProcessId());
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", key.c_str());
  put_key_setting(key, "ShowFormatWarning", "0");
  return key;
}
inline void drop_settings_key(const std::string &key) {
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
}

inline std::string key_setting(const std::string &key, const char *name) {
  char value[2048] = {0};
  DWORD size = sizeof value - 1, type = 0;
  HKEY handle;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return "(no key)";
  LONG result = RegQueryValueExA(handle, name, nullptr, &type, (BYTE *)value, &size);
  RegCloseKey(handle);
  return result == ERROR_SUCCESS && type == REG_SZ ? value : "(none)";
}

// The whole screen as a PNG beside the test, taken by the X tool of the machine that runs
// Wine (a Unix program started from here), for a person to look at.
inline void screenshot(const char *name) {
  typedef char *(CDECL * UnixName)(LPCWSTR);
  UnixName unix_name =
      (UnixName)(void *)GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name");
  if (!unix_name) return;
  std::string path = own_folder() + name;
  std::wstring wide(path.begin(), path.end());
  char *unix_path = unix_name(wide.c_str());
  if (!unix_path) return;
  Sleep(300);  // Wine hands what it drew to the X server a moment later
  std::string line = "/bin/sh -c \"import -window root png:" + std::string(unix_path) + "\"";
  HeapFree(GetProcessHeap(), 0, unix_path);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  // Wine hands out no handles for a Unix program: only those given are closed.
  PROCESS_INFORMATION pi = {};
  DeleteFileA(path.c_str());
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  // The handle of a Unix program does not wait for it: the finished file does.
  size_t size = 0;
  wait_for([&] {
    size_t now = read_file(path).size();
    bool done = now && now == size;
    size = now;
    return done;
  }, 20);
}
