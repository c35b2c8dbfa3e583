#include "plugins/tests/kq_launch.h"

#include <stdio.h>
#include <string.h>

#include "plugin/plugin_dialog_ids.h"
#include "tests/end_to_end/kq_process.h"

namespace {

std::string read_text(const std::string &path) {
  std::string text;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  fclose(f);
  return text;
}

// The run's folder holds only what kq, the program and this code wrote.
void remove_folder(const std::string &folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA((folder + name).c_str());
      else if (name != "." && name != "..")
        remove_folder(folder + name + "\\");
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

bool set_text_value(const std::string &key_path, const char *name, const std::string &value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value.c_str(),
                           (DWORD)value.size() + 1) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

template <typename Condition>
bool wait_until(Condition condition, int seconds) {
  for (int i = 0; i < seconds * 100; i++, Sleep(10))
    if (condition()) return true;
  return false;
}

// The page of the dialog that holds the control.
HWND page_with(HWND dialog, int control) {
  for (HWND child = nullptr; (child = FindWindowExA(dialog, child, "#32770", nullptr));)
    if (GetDlgItem(child, control)) return child;
  return nullptr;
}

// A top-level window of the process by class and, when given, title: other tests may
// run their own kq on the same display.
struct WindowSearch {
  DWORD pid;
  const char *class_name, *title;
  HWND found;
};

BOOL CALLBACK find_window(HWND window, LPARAM arg) {
  WindowSearch *f = (WindowSearch *)arg;
  DWORD pid = 0;
  char text[64];
  GetWindowThreadProcessId(window, &pid);
  if (pid != f->pid || !GetClassNameA(window, text, sizeof text) || strcmp(text, f->class_name))
    return TRUE;
  if (f->title && (!GetWindowTextA(window, text, sizeof text) || strcmp(text, f->title)))
    return TRUE;
  f->found = window;
  return FALSE;
}

HWND window_of(DWORD pid, const char *class_name, const char *title) {
  WindowSearch f = {pid, class_name, title, nullptr};
  EnumWindows(find_window, (LPARAM)&f);
  return f.found;
}

}  // namespace

std::string own_program_folder() {
  char own[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
  std::string path(own, n < sizeof own ? n : 0);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string pause_line(unsigned address) {
  char text[32];
  snprintf(text, sizeof text, "EVN_Pause at %X\n", address);
  return text;
}

bool KqLaunch::prepare(const std::string &kq_exe, const std::string &plugin_folder,
                       const std::string &corpus_folder, const std::vector<std::string> &files) {
  static int runs;
  std::string id = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs);
  folder = own_program_folder() + "kq-cvread-" + id + "\\";
  settings_key = "SOFTWARE\\KaquinDebuggerCvread-" + id;
  remove_folder(folder);  // left by an earlier test program of the same process id
  if (!CreateDirectoryA(folder.c_str(), nullptr) || files.empty() ||
      !CopyFileA(kq_exe.c_str(), (folder + "kq.exe").c_str(), FALSE))
    return false;
  for (const std::string &name : files)
    if (!CopyFileA((corpus_folder + "/" + name).c_str(), (folder + name).c_str(), FALSE))
      return false;
  program = folder + files[0];
  const std::pair<const char *, std::string> settings[] = {
      {"PluginPath", plugin_folder}, {"PluginOrder", ""},       {"ExecuteStartupCode", "1"},
      {"ShowFormatWarning", "0"},    {"Arguments", ""},
  };
  bool ok = true;
  for (const auto &s : settings) ok = ok && set_text_value(settings_key, s.first, s.second);
  return ok;
}

bool KqLaunch::use_plugins(const std::vector<std::string> &dlls) {
  std::string plugins = folder + "plugins\\";
  if (!CreateDirectoryA(plugins.c_str(), nullptr)) return false;
  for (const std::string &dll : dlls) {
    std::string name = dll.substr(dll.find_last_of("\\/") + 1);
    if (!CopyFileA(dll.c_str(), (plugins + name).c_str(), FALSE)) return false;
  }
  return set_text_value(settings_key, "PluginPath", plugins);
}

bool KqLaunch::start(const std::string &parameters) {
  // The child takes the key from the environment it inherits.
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", settings_key.c_str());
  std::string line = "\"" + folder + "kq.exe\" \"" + program + "\" " + parameters;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  bool ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                           folder.c_str(), &si, &pi);
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
  return ok;
}

std::string KqLaunch::log() const { return read_text(folder + "kq.log"); }

bool KqLaunch::wait_log(const char *text, const char *after, int seconds) const {
  for (int i = 0; i < seconds * 100; i++) {
    std::string now = log();
    size_t from = after ? now.find(after) : 0;
    if (from != std::string::npos && now.find(text, from) != std::string::npos) return true;
    if (WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0) return false;
  }
  return false;
}

std::string KqLaunch::first_stop() const {
  std::string text = log();
  size_t initiate = text.find("EVN_Initiate");
  size_t at = initiate == std::string::npos ? initiate : text.find("EVN_Pause at ", initiate);
  size_t end = at == std::string::npos ? at : text.find('\n', at);
  return end == std::string::npos ? "" : text.substr(at, end + 1 - at);
}

HWND KqLaunch::main_window() const {
  return window_of(pi.dwProcessId, "Kaquin Debugger", nullptr);
}

bool KqLaunch::run_plugin_command(const std::string &typed) const {
  PostMessageA(main_window(), WM_COMMAND, 10094, 0);
  HWND dialog = nullptr, page = nullptr;
  if (!wait_until([&] {
        dialog = window_of(pi.dwProcessId, "#32770", "Plugin control");
        return dialog && (page = page_with(dialog, IDC_PLUGIN_COMMANDS)) != nullptr;
      }, 30))
    return false;
  // OK runs the command only from the command page, the tab after the files page; the
  // page fills its line when it is shown, so the text goes in after that (by message:
  // the window-text calls do not reach another process's controls).
  PostMessageA(GetDlgItem(dialog, IDC_PLUGIN_TABS), WM_KEYDOWN, VK_RIGHT, 0);
  wait_until([&] { return IsWindowVisible(page) != FALSE; }, 10);
  HWND line = GetDlgItem(page, IDC_PLUGIN_COMMAND_TEXT);
  char text[260] = "";
  if (!wait_until([&] {
        SendMessageA(line, WM_SETTEXT, 0, (LPARAM)typed.c_str());
        Sleep(50);
        return SendMessageA(line, WM_GETTEXT, sizeof text, (LPARAM)text) && typed == text;
      }, 10))
    return false;
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  return wait_until([&] { return !IsWindow(dialog); }, 30);
}

int KqLaunch::finish() {
  int code = -2;
  if (pi.hProcess) {
    PostMessageA(main_window(), WM_COMMAND, 10090, 0);  // unload: the debuggee is ended
    wait_log("Terminating executable", nullptr, 30);
    code = kq_close(&pi, main_window());
  }
  if (!settings_key.empty()) RegDeleteKeyA(HKEY_CURRENT_USER, settings_key.c_str());
  if (!folder.empty()) remove_folder(folder);
  folder.clear();
  return code;
}

KqLaunch::~KqLaunch() {
  if (pi.hProcess || !folder.empty()) finish();
}
