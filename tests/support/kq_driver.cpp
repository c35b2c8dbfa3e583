#include "tests/support/kq_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>

#include "ui/dialogs/input_prompt_ids.h"
#include "ui/dialogs/plugin_dialog_ids.h"
#include "ui/dialogs/tabbed_host_ids.h"

namespace {

const char kPause[] = "EVN_Pause at ";

// Empties a run's folder left by an earlier run: it holds only what kq, its debuggee and
// the test wrote.
void empty_folder(const std::string &folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName, path = folder + name;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      DeleteFileA(path.c_str());
    } else if (name != "." && name != "..") {
      empty_folder(path + "\\");
      RemoveDirectoryA(path.c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

std::string own_folder() {
  char own[MAX_PATH];
  GetModuleFileNameA(nullptr, own, sizeof own);
  const std::string path = own;
  return path.substr(0, path.find_last_of("\\/") + 1);
}

// The build folder is the nearest one above the test program that holds kq.exe.
std::string build_file(const std::string &relative) {
  std::string root = own_folder();
  while (!exists(root + "startup\\kq.exe")) {
    const size_t up = root.find_last_of("\\/", root.size() - 2);
    if (up == std::string::npos) return relative;
    root.resize(up + 1);
  }
  return root + relative;
}

std::string text_of(HWND hwnd) {
  char text[16384] = {0};
  SendMessageA(hwnd, WM_GETTEXT, sizeof text, (LPARAM)text);
  return text;
}

int count_in(const std::string &text, const std::string &part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

std::vector<HWND> process_windows(DWORD pid, const char *cls, const char *caption) {
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

HWND process_window(DWORD pid, const char *cls, const char *caption) {
  const std::vector<HWND> all = process_windows(pid, cls, caption);
  return all.empty() ? nullptr : all[0];
}

HWND process_child(DWORD pid, const char *cls) {
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

DWORD child_process(DWORD parent) {
  DWORD id = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == parent) id = entry.th32ProcessID;
  CloseHandle(snapshot);
  return id;
}

bool answer_input_prompt(DWORD pid, const char *title, const char *text) {
  HWND prompt = nullptr;
  if (!wait_for([&] { return (prompt = process_window(pid, "#32770", title)) != nullptr; }, 30))
    return false;
  HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
  SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)text);
  PostMessageA(FindWindowExA(combo, nullptr, "Edit", nullptr), WM_KEYDOWN, VK_RETURN, 0);
  return wait_for([&] { return !IsWindow(prompt); }, 30);
}

HWND dialog_page(HWND dialog, int control) {
  HWND tabs = GetDlgItem(dialog, IDC_HOST_TABS);
  for (HWND child = nullptr; (child = FindWindowExA(tabs, child, "#32770", nullptr));)
    if (GetDlgItem(child, control)) return child;
  return nullptr;
}

void put_key_setting(const std::string &key, const char *name, const std::string &value) {
  HKEY handle;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE *)value.c_str(), (DWORD)value.size() + 1);
  RegCloseKey(handle);
}

std::string key_setting(const std::string &key, const char *name) {
  char value[2048] = {0};
  DWORD size = sizeof value - 1, type = 0;
  HKEY handle;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return "(no key)";
  LONG result = RegQueryValueExA(handle, name, nullptr, &type, (BYTE *)value, &size);
  RegCloseKey(handle);
  return result == ERROR_SUCCESS && type == REG_SZ ? value : "(none)";
}

void screenshot(const char *name) {
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

std::vector<uint32_t> log_pauses(const std::string &log, const char *after) {
  std::vector<uint32_t> found;
  size_t at = after ? log.find(after) : 0;
  for (at = at == std::string::npos ? at : log.find(kPause, at); at != std::string::npos;
       at = log.find(kPause, at + 1))
    found.push_back((uint32_t)strtoul(log.c_str() + at + strlen(kPause), nullptr, 16));
  return found;
}

std::string pause_line(uint32_t address) {
  char text[32];
  snprintf(text, sizeof text, "%s%X\n", kPause, address);
  return text;
}

bool KqDriver::place(const char *name) {
  static int runs;
  // The parts of one test program that ctest runs side by side are told apart by a tag.
  const char *tag = getenv("KQ_RUN_TAG");
  const std::string run =
      std::string(name) + (tag ? std::string("-") + tag : "") + "-" + std::to_string(++runs);
  if (!settings_key.empty()) RegDeleteKeyA(HKEY_CURRENT_USER, settings_key.c_str());
  folder = own_folder() + "kq-" + run + "\\";
  settings_key = "SOFTWARE\\KaquinDebugger-" + run + "-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  empty_folder(folder);
  RegDeleteKeyA(HKEY_CURRENT_USER, settings_key.c_str());
  const std::string kq = build_file("startup\\kq.exe");
  CopyFileA((kq.substr(0, kq.size() - 4) + ".map").c_str(), (folder + "kq.map").c_str(), FALSE);
  return CopyFileA(kq.c_str(), (folder + "kq.exe").c_str(), FALSE) &&
         set("ShowFormatWarning", "0") && set("Arguments", "");
}

bool KqDriver::place_program(const char *name, const std::string &from,
                             const std::vector<std::string> &files) {
  if (files.empty() || !place(name) || !set("ExecuteStartupCode", "1") || !set("PluginOrder", ""))
    return false;
  for (const std::string &file : files)
    if (copy_in(from + "\\" + file).empty()) return false;
  program = folder + files[0];
  return true;
}

std::string KqDriver::copy_in(const std::string &from, const std::string &name) const {
  const bool absolute = from.size() > 1 && from[1] == ':';
  const std::string path = absolute ? from : build_file(from);
  const std::string to = folder + (name.empty() ? path.substr(path.find_last_of("\\/") + 1) : name);
  return CopyFileA(path.c_str(), to.c_str(), FALSE) ? to : "";
}

bool KqDriver::set(const char *name, const std::string &value) const {
  put_key_setting(settings_key, name, value);
  return setting(name) == value;
}

bool KqDriver::use_plugins(const std::vector<std::string> &dlls) const {
  const std::string plugins = folder + "plugins\\";
  CreateDirectoryA(plugins.c_str(), nullptr);
  for (const std::string &dll : dlls) {
    const std::string copy = copy_in(dll, "plugins\\" + dll.substr(dll.find_last_of("\\/") + 1));
    if (copy.empty()) return false;
    const std::string map = dll.substr(0, dll.size() - 4) + ".map";
    copy_in(map, copy.substr(folder.size(), copy.size() - folder.size() - 4) + ".map");
  }
  return set("PluginPath", plugins);
}

std::string KqDriver::setting(const char *name) const { return key_setting(settings_key, name); }

bool KqDriver::start(const std::string &arguments, bool inherit) {
  std::string line = "\"" + folder + "kq.exe\" " + arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  // The child takes the key from the environment it inherits.
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", settings_key.c_str());
  DeleteFileA((folder + "kq.log").c_str());  // an earlier run's, which would answer the wait
  const bool started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, inherit, 0, nullptr,
                                      folder.c_str(), &si, &pi);
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
  traced = 0;
  if (!started || !wait_log("Starting main loop", nullptr, 60)) return false;
  return wait_for([&] { return (main = window("Kaquin Debugger")) != nullptr; }, 30);
}

bool KqDriver::start_on(const std::string &file, const std::string &more) {
  const bool placed = file.compare(0, folder.size(), folder) == 0;
  const std::string copy = placed ? file : copy_in(file);
  return !copy.empty() && start("\"" + copy + "\" " + more);
}

std::string KqDriver::log() const { return read_file(folder + "kq.log"); }

bool KqDriver::wait_log(const std::string &text, const char *after, int seconds) const {
  auto holds = [&] {
    const std::string now = log();
    const size_t from = after ? now.find(after) : 0;
    return from != std::string::npos && now.find(text, from) != std::string::npos;
  };
  return wait_for([&] { return holds() || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; },
                  seconds) && holds();
}

bool KqDriver::settle(int seconds) {
  // Focus lines kq wrote of its own are not ours to wait for.
  const int now = count_in(log(), "Focus=");
  if (now > traced) traced = now;
  command(10089);
  if (!wait_for([&] { return count_in(log(), "Focus=") > traced; }, seconds)) return false;
  ++traced;
  const std::string text = log();
  size_t at = text.find("Focus=");
  for (int n = 1; n < traced && at != std::string::npos; n++) at = text.find("Focus=", at + 1);
  focus = at == std::string::npos ? "" : text.substr(at + 6, text.find('\n', at) - at - 6);
  return true;
}

void KqDriver::command(int id) const { PostMessageA(main, WM_COMMAND, (WPARAM)id, 0); }

HWND KqDriver::window(const char *cls, const char *caption) const {
  return process_window(pi.dwProcessId, cls, caption);
}

HWND KqDriver::child(const char *cls) const { return process_child(pi.dwProcessId, cls); }

std::string KqDriver::child_text(const char *cls, const std::string &unlike) const {
  std::string text;
  wait_for([&] {
    char now[600] = "";
    if (HWND panel = child(cls))
      SendMessageTimeoutA(panel, WM_GETTEXT, sizeof now, (LPARAM)now, SMTO_ABORTIFHUNG, 2000,
                          nullptr);
    text = now;
    return !text.empty() && text != unlike;
  }, 10);
  return text.empty() || text == unlike ? "" : text;
}

HWND KqDriver::plugin_command(const std::string &typed, std::string *before) {
  command(10094);
  HWND dialog = nullptr, page = nullptr;
  if (!wait_for([&] { return (dialog = window("#32770", "Plugin control")) != nullptr; }, 30))
    return nullptr;
  // OK runs the command only from the command page, the tab after the files page; a page
  // is made when it is first shown and then writes its own text into the line, so the
  // test types once kq has taken that (by message: the window-text calls do not reach
  // another process's controls).
  PostMessageA(GetDlgItem(dialog, IDC_HOST_TABS), WM_KEYDOWN, VK_RIGHT, 0);
  if (!wait_for([&] {
        page = dialog_page(dialog, IDC_PLUGIN_COMMANDS);
        return page && IsWindowVisible(page);
      }, 10))
    return nullptr;
  settle(10);
  HWND line = GetDlgItem(page, IDC_PLUGIN_COMMAND_TEXT);
  if (before) *before = text_of(line);
  if (!wait_for([&] {
        SendMessageA(line, WM_SETTEXT, 0, (LPARAM)typed.c_str());
        return text_of(line) == typed;
      }, 10))
    return nullptr;
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  return dialog;
}

int KqDriver::pauses() const { return (int)log_pauses(log()).size(); }

uint32_t KqDriver::pause(int n) const {
  const std::vector<uint32_t> all = log_pauses(log());
  if (n <= 0) return all.empty() ? 0 : all.back();
  return n <= (int)all.size() ? all[(size_t)n - 1] : 0;
}

bool KqDriver::wait_pauses(int count, int seconds) const {
  return wait_for([&] { return pauses() >= count; }, seconds);
}

bool KqDriver::step(int id, int seconds) const {
  const int before = pauses();
  command(id);
  return wait_pauses(before + 1, seconds);
}

int KqDriver::close() {
  DWORD code = (DWORD)-2;
  if (!pi.hProcess) return (int)code;
  PostMessageA(main ? main : window("Kaquin Debugger"), WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  pi = {};
  main = nullptr;
  return (int)code;
}

int KqDriver::finish() {
  if (!pi.hProcess) return -2;
  command(10090);  // unload: the debuggee is ended
  wait_log("Terminating executable", nullptr, 30);
  return close();
}

KqDriver::~KqDriver() {
  close();
  if (!settings_key.empty()) RegDeleteKeyA(HKEY_CURRENT_USER, settings_key.c_str());
}
