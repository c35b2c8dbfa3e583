#include "plugins/tests/kq_launch.h"

#include <stdio.h>
#include <string.h>

#include "tests/end_to_end/kq_outside.h"
#include "tests/end_to_end/kq_process.h"
#include "ui/dialogs/plugin_dialog_ids.h"
#include "ui/dialogs/tabbed_host_ids.h"

namespace {

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

// A setting of the run, read back to see that it is there.
bool set_text_value(const std::string &key_path, const char *name, const std::string &value) {
  put_key_setting(key_path, name, value);
  return key_setting(key_path, name) == value;
}

// The page of the dialog that holds the control (pages sit on the tab control).
HWND page_with(HWND dialog, int control) {
  HWND tabs = GetDlgItem(dialog, IDC_HOST_TABS);
  for (HWND child = nullptr; (child = FindWindowExA(tabs, child, "#32770", nullptr));)
    if (GetDlgItem(child, control)) return child;
  return nullptr;
}

}  // namespace

std::string own_program_folder() { return own_folder(); }

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
  if (files.empty() || !kq_place(kq_exe, folder)) return false;
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
  const bool ok = kq_run(folder, "\"" + program + "\" " + parameters, &pi);
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
  return ok;
}

std::string KqLaunch::log() const { return read_file(folder + "kq.log"); }

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

std::string KqLaunch::source_panel_text(const std::string &unlike) const {
  for (int i = 0; i < 200; i++) {
    HWND panel = process_child(pi.dwProcessId, "source");
    char text[600] = "";
    if (panel)
      SendMessageTimeoutA(panel, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000,
                          nullptr);
    if (text[0] && text != unlike) return text;
    Sleep(50);
  }
  return "";
}

int KqLaunch::stop_count() const { return count_in(log(), "EVN_Pause at "); }

uint32_t KqLaunch::last_stop() const {
  const std::string text = log();
  const size_t at = text.rfind("EVN_Pause at ");
  return at == std::string::npos ? 0 : (uint32_t)strtoul(text.c_str() + at + 13, nullptr, 16);
}

bool KqLaunch::step(int command) const {
  const int stops = stop_count();
  PostMessageA(main_window(), WM_COMMAND, (WPARAM)command, 0);
  for (int i = 0; i < 600 && stop_count() == stops; i++) Sleep(50);
  return stop_count() > stops;
}

HWND KqLaunch::main_window() const {
  return process_window(pi.dwProcessId, "Kaquin Debugger");
}

bool KqLaunch::run_plugin_command(const std::string &typed) const {
  PostMessageA(main_window(), WM_COMMAND, 10094, 0);
  HWND dialog = nullptr, page = nullptr;
  if (!wait_for([&] {
        return (dialog = process_window(pi.dwProcessId, "#32770", "Plugin control")) != nullptr;
      }, 30))
    return false;
  // OK runs the command only from the command page, the tab after the files page; a page
  // is made when it is first shown, and fills its line then, so the text goes in after
  // that (by message: the window-text calls do not reach another process's controls).
  PostMessageA(GetDlgItem(dialog, IDC_HOST_TABS), WM_KEYDOWN, VK_RIGHT, 0);
  if (!wait_for([&] {
        page = page_with(dialog, IDC_PLUGIN_COMMANDS);
        return page && IsWindowVisible(page);
      }, 10))
    return false;
  HWND line = GetDlgItem(page, IDC_PLUGIN_COMMAND_TEXT);
  char text[260] = "";
  if (!wait_for([&] {
        SendMessageA(line, WM_SETTEXT, 0, (LPARAM)typed.c_str());
        Sleep(50);
        return SendMessageA(line, WM_GETTEXT, sizeof text, (LPARAM)text) && typed == text;
      }, 10))
    return false;
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  return wait_for([&] { return !IsWindow(dialog); }, 30);
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
