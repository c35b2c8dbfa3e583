// The workspace navigator of kq.exe under Wine, driven from outside: its list views read
// cell by cell through a block in kq's memory, header clicks sent as the mouse sends them,
// and the rows held against what this test asks of the system itself (tool-help
// snapshots of processes, threads and modules, the window tree). Three kq runs: the pages
// without a debuggee, then a program the test started found on the process page and
// attached from it, with its threads, modules, comments and breakpoints; a paused program
// with a window and a second thread; a corpus program with sources for the local symbols. Screenshots of every
// page lie beside the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/kq_keyboard.h"
#include "tests/support/kq_list_view.h"
#include "tests/support/kq_driver.h"
#include "ui/dialogs/tabbed_host_ids.h"
#include "ui/panels/navigator/navigator_fill_win32.h"
#include "ui/panels/navigator/navigator_ids.h"
#include "ui/panels/status_bar/status_bar_text.h"

namespace {

enum {
  CMD_NAV_BREAKPOINTS = 10091, CMD_NAV_COMMENTS = 10092, CMD_NAV_MODULES = 10093,
  CMD_NAV_PROCESSES = 10095, CMD_NAV_SYMBOLS = 10096, CMD_NAV_THREADS = 10097,
  CMD_NAV_WINDOWS = 10098, CMD_SWITCH_BREAKPOINT = 10007, CMD_COMMENT_LINE = 10008,
  CMD_RUN = 10077, CMD_UNLOAD = 10090, CMD_INSERT_WATCH = 10099
};
const char kCaption[] = "Workspace navigator";

typedef ListRows Table;

std::string lower(std::string s) {
  for (char &c : s) c = (char)tolower((unsigned char)c);
  return s;
}

// What the test knows of the system: the process's threads in the snapshot's order.
std::vector<DWORD> threads_of(DWORD pid) {
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t))
    if (t.th32OwnerProcessID == pid) ids.push_back(t.th32ThreadID);
  CloseHandle(snap);
  return ids;
}

// "name base" of each module, the name in lower case and the base in hexadecimal.
std::set<std::string> modules_of(DWORD pid) {
  std::set<std::string> found;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  MODULEENTRY32 m = {};
  m.dwSize = sizeof m;
  char base[16];
  for (BOOL more = Module32First(snap, &m); more; more = Module32Next(snap, &m)) {
    snprintf(base, sizeof base, "%X", (unsigned)(uintptr_t)m.modBaseAddr);
    found.insert(lower(m.szModule) + " " + base);
  }
  CloseHandle(snap);
  return found;
}

// Where each module of the process lies: base and size.
std::vector<std::pair<uint32_t, uint32_t>> module_ranges(DWORD pid) {
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  MODULEENTRY32 m = {};
  m.dwSize = sizeof m;
  for (BOOL more = Module32First(snap, &m); more; more = Module32Next(snap, &m))
    ranges.push_back({(uint32_t)(uintptr_t)m.modBaseAddr, (uint32_t)m.modBaseSize});
  CloseHandle(snap);
  return ranges;
}

// The handles ("%X") of the process's top-level windows and all their descendants.
std::vector<std::string> windows_of(DWORD pid) {
  struct Walk {
    DWORD pid;
    std::vector<std::string> found;
  } walk = {pid, {}};
  static WNDENUMPROC add = [](HWND hwnd, LPARAM arg) WINAPI -> BOOL {
    Walk *w = (Walk *)arg;
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char text[16];
    snprintf(text, sizeof text, "%X", (unsigned)(uintptr_t)hwnd);
    if (owner == w->pid) w->found.push_back(text);
    return TRUE;
  };
  EnumWindows([](HWND hwnd, LPARAM arg) WINAPI -> BOOL {
    add(hwnd, arg);
    EnumChildWindows(hwnd, add, arg);
    return TRUE;
  }, (LPARAM)&walk);
  return walk.found;
}

// Ordering keys of the columns as this test reads their texts.
enum Kind { KEY_DECIMAL, KEY_HEX, KEY_NAME, KEY_TIME, KEY_ACCESS, KEY_COUNTED, KEY_CONSTANT };
long long key_number(Kind kind, const std::string &text) {
  switch (kind) {
    case KEY_DECIMAL: return atoll(text.c_str());
    case KEY_HEX: return (long long)strtoull(text.c_str(), nullptr, 16);
    case KEY_TIME: {  // "HH:mm", or " - " for a thread that does not open (first)
      int h = 0, m = 0;
      return sscanf(text.c_str(), "%d:%d", &h, &m) == 2 ? h * 60 + m : -1;
    }
    case KEY_ACCESS: return (text.find('R') != std::string::npos) * 2 + (text.find('W') != std::string::npos);
    case KEY_COUNTED: return atoll(text.c_str());  // "%i Locks", "%i Lines"
    default: return 0;
  }
}
int compare_cells(Kind kind, const std::string &a, const std::string &b) {
  if (kind == KEY_NAME) {
    std::string x = lower(a), y = lower(b);
    return x < y ? -1 : x > y;
  }
  long long x = key_number(kind, a), y = key_number(kind, b);
  return x < y ? -1 : x > y;
}

// Rows in order by the column (reversed when descending); the text of the first pair out
// of order, empty when none.
std::string out_of_order(const Table &rows, int column, Kind kind, bool descending) {
  for (size_t i = 1; i < rows.size(); i++) {
    int order = compare_cells(kind, rows[i - 1][column], rows[i][column]);
    if (descending ? order < 0 : order > 0)
      return rows[i - 1][column] + " before " + rows[i][column];
  }
  return "";
}

class KqNavigator : public ::testing::Test {
 protected:
  void TearDown() override {
    kq_.close();
    if (program_.hProcess) {
      TerminateProcess(program_.hProcess, 0);
      WaitForSingleObject(program_.hProcess, 10000);
      CloseHandle(program_.hProcess);
      CloseHandle(program_.hThread);
    }
  }

  // The test's own program, copied into a folder in kq's, where kq keeps its workspace.
  bool copy_program() {
    if (kq_.folder.empty() && !kq_.place("navigator")) return false;
    const std::string folder = kq_.folder + "program\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    path_ = folder + "kq_debuggee.exe";
    return CopyFileA(build_file(kDebuggee).c_str(), path_.c_str(), FALSE);
  }
  // The copied program started by the test with the arguments.
  bool run_program(const std::string &arguments) {
    std::string line = "\"" + path_ + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &si, &program_) != FALSE;
  }
  // The program started by the test: it loads version.dll and waits on an event nobody sets.
  bool start_program() {
    if (!copy_program() ||
        !run_program("loadlib version.dll kq-navigator-" + std::to_string(GetCurrentProcessId())))
      return false;
    return wait_for([&] {
      for (const std::string &m : modules_of(program_.dwProcessId))
        if (m.find("version.dll ") == 0) return true;
      return false;
    });
  }
  // kq.exe placed in a folder of the test (its log, options and workspace there).
  bool start_kq(const std::string &arguments = "") {
    return (!kq_.folder.empty() || kq_.place("navigator")) && kq_.start(arguments);
  }
  std::string log() const { return kq_.log(); }
  HWND main() const { return kq_.main; }
  int pause_count() const { return (int)log_pauses(log(), nullptr).size(); }
  std::string state() const { return pane(PANE_STATE); }
  // Every visible navigator of kq.
  int navigators() const {
    return (int)process_windows(kq_.pi.dwProcessId, "#32770", kCaption).size();
  }
  // Posts the command and waits for the navigator with the page holding the list shown.
  HWND open(int command, int list_id, HWND *list) const {
    PostMessageA(main(), WM_COMMAND, command, 0);
    HWND host = nullptr;
    *list = nullptr;
    wait_for([&] {
      host = process_window(kq_.pi.dwProcessId, "#32770", kCaption);
      HWND tabs = host ? GetDlgItem(host, IDC_HOST_TABS) : nullptr;
      for (HWND page = nullptr; tabs && (page = FindWindowExA(tabs, page, "#32770", nullptr));)
        if (IsWindowVisible(page) && GetDlgItem(page, list_id)) *list = GetDlgItem(page, list_id);
      return *list != nullptr;
    }, 20);
    return host;
  }
  // The navigator closed and opened again on the page: its rows are read anew.
  HWND reopen(int command, int list_id, HWND *list) const {
    if (HWND host = process_window(kq_.pi.dwProcessId, "#32770", kCaption)) {
      PostMessageA(host, WM_CLOSE, 0, 0);
      wait_for([&] { return !IsWindow(host); }, 10);
    }
    return open(command, list_id, list);
  }
  // Clicks each column's header in turn (the first click on the sort column reverses it)
  // and looks at the order each time; setting follows the clicks.
  void sort_by_each(const RemoteList &remote, HWND list, const std::vector<Kind> &kinds,
                    int *setting, const char *page) const {
    for (int column = 0; column < (int)kinds.size(); column++) {
      ASSERT_TRUE(remote.click_header(list, column)) << page << " " << column;
      *setting = abs(*setting) == column + 1 ? -*setting : column + 1;
      const Table rows = remote.rows(list, (int)kinds.size());
      EXPECT_GT(rows.size(), 0u) << page;
      EXPECT_EQ("", out_of_order(rows, column, kinds[column], *setting < 0))
          << page << ", column " << column;
    }
  }

  // Presses the key with front in front (and focus focused) until read() gives what
  // expect(the value read before) says. A press that had no effect changed nothing, so the
  // value read once judges every press.
  template <typename Read, typename Expect>
  bool press_judged(const KqKeyboard &keys, HWND front, uint8_t modifiers, UINT key, Read read,
                    Expect expect, HWND focus = nullptr) {
    SetForegroundWindow(front);
    if (focus) SetFocus(focus);
    settle();
    const auto want = expect(read());
    return keys.press_in_front(modifiers, key, [&] { return read() == want; }, false, front,
                               focus);
  }
  // The navigator brought to the front for a screenshot: the display is shared.
  void shot(const char *name) {
    SetForegroundWindow(process_window(kq_.pi.dwProcessId, "#32770", kCaption));
    settle();
    screenshot(name);
  }
  void settle() { ASSERT_TRUE(kq_.settle(20)); }
  int count(const char *text) const { return count_in(log(), text); }
  // One pane of the status bar, from its window text (the panes joined by tabs).
  std::string pane(int index) const {
    std::string panes = text_of(FindWindowExA(main(), nullptr, "status", nullptr)) + "\t";
    size_t at = 0;
    for (int i = 0; i < index && at != std::string::npos; i++) at = panes.find('\t', at) + 1;
    return panes.substr(at, panes.find('\t', at) - at);
  }

  KqDriver kq_;
  std::string path_;
  PROCESS_INFORMATION program_ = {};
};

}  // namespace

TEST_F(KqNavigator, PagesAgainstTheSystemAndAttachingFromTheProcessPage) {
  ASSERT_TRUE(start_program());
  const DWORD program = program_.dwProcessId;
  ASSERT_TRUE(start_kq());
  RemoteList remote(kq_.pi.dwProcessId);
  ASSERT_TRUE(remote.block);

  // Without a debuggee: the comment page, then the process page in the same window.
  HWND list = nullptr;
  HWND host = open(CMD_NAV_COMMENTS, IDC_NAV_COMMENTS, &list);
  ASSERT_TRUE(host && list);
  EXPECT_EQ(0, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));

  // The dialogs' keys while the navigator is in front: ALT+RIGHT and ALT+LEFT walk the
  // tabs (not past either end), TAB walks the symbol page's controls, ESCAPE leaves the
  // page and closes.
  KqKeyboard keys = {host, kq_.pi.dwThreadId, kq_.pi.hProcess, [this] { settle(); }};
  ASSERT_TRUE(keys.attach());
  HWND tabs = GetDlgItem(host, IDC_HOST_TABS);
  auto tab = [&] { return (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0); };
  const struct {
    UINT key;
    int tab;
  } walks[] = {{VK_RIGHT, 1}, {VK_LEFT, 0}, {VK_LEFT, 0}, {VK_RIGHT, 1}, {VK_RIGHT, 2},
               {VK_RIGHT, 3}, {VK_RIGHT, 4}, {VK_RIGHT, 5}, {VK_RIGHT, 6}, {VK_RIGHT, 6}};
  for (auto &walk : walks)
    EXPECT_TRUE(press_judged(keys, host, KEYMOD_ALT, walk.key, tab,
                             [&](int) { return walk.tab; }))
        << walk.key << " to " << walk.tab << ", at " << tab();
  ASSERT_TRUE(open(CMD_NAV_SYMBOLS, IDC_NAV_SYMBOLS, &list));
  HWND symbol_page = GetParent(list);
  const HWND order[] = {GetDlgItem(symbol_page, IDC_NAV_SYMBOL_FILTER), list,
                        GetDlgItem(symbol_page, IDC_NAV_SYMBOL_TEXT)};
  // Each TAB moves the focus one control on; from outside them, to the first.
  auto focus = [&] { return keys.focus(); };
  for (int i = 0; i < 4; i++)
    EXPECT_TRUE(press_judged(keys, host, 0, VK_TAB, focus, [&](HWND before) {
      const int at = (int)(std::find(order, order + 3, before) - order);
      return order[(at + 1) % 3 * (at < 3)];
    })) << i << ": at " << keys.focus();
  auto open_host = [&] { return IsWindow(host) != FALSE; };
  // ESCAPE takes the focus from the page to the host's tabs, and then closes the host.
  EXPECT_TRUE(press_judged(keys, host, 0, VK_ESCAPE, focus, [&](HWND) { return tabs; }));
  EXPECT_TRUE(press_judged(keys, host, 0, VK_ESCAPE, open_host, [](bool) { return false; }));
  host = open(CMD_NAV_COMMENTS, IDC_NAV_COMMENTS, &list);
  ASSERT_TRUE(host);
  EXPECT_EQ(host, open(CMD_NAV_PROCESSES, IDC_NAV_PROCESSES, &list));
  ASSERT_TRUE(list);
  EXPECT_EQ(1, navigators());
  EXPECT_EQ(6, (int)SendMessageA(GetDlgItem(host, IDC_HOST_TABS), TCM_GETCURSEL, 0, 0));

  // The test's program is listed with its name and its parent, this test.
  const std::string pid = std::to_string(program), own = std::to_string(GetCurrentProcessId());
  Table rows = remote.rows(list, 5);
  auto row_of = [&](const Table &table, int column, const std::string &text) {
    for (size_t i = 0; i < table.size(); i++)
      if (table[i][column] == text) return (int)i;
    return -1;
  };
  int row = row_of(rows, 2, pid);
  ASSERT_GE(row, 0) << pid;
  EXPECT_EQ("kq_debuggee.exe", rows[row][0]);
  EXPECT_EQ(own, rows[row][1]);
  EXPECT_EQ("RW", rows[row][4]);
  // kq itself runs under this test too.
  EXPECT_GE(row_of(rows, 2, std::to_string(kq_.pi.dwProcessId)), 0);

  // Sorting by each column, then "Id" twice: by id, then by id reversed.
  int process_sort = 1;
  sort_by_each(remote, list, {KEY_NAME, KEY_DECIMAL, KEY_DECIMAL, KEY_DECIMAL, KEY_ACCESS}, &process_sort, "Process");
  remote.click_header(list, 2);
  EXPECT_EQ("", out_of_order(remote.rows(list, 5), 2, KEY_DECIMAL, false));
  remote.click_header(list, 2);
  EXPECT_EQ("", out_of_order(remote.rows(list, 5), 2, KEY_DECIMAL, true));
  // The order stays for the next opening.
  host = reopen(CMD_NAV_PROCESSES, IDC_NAV_PROCESSES, &list);
  ASSERT_TRUE(list);
  rows = remote.rows(list, 5);
  EXPECT_GT(rows.size(), 2u);
  EXPECT_EQ("", out_of_order(rows, 2, KEY_DECIMAL, true));
  shot("navigator_process.png");

  // The other pages of the system without a debuggee: every thread and window.
  ASSERT_TRUE(open(CMD_NAV_THREADS, IDC_NAV_THREADS, &list));
  rows = remote.rows(list, 6);
  EXPECT_GE(row_of(rows, 2, pid), 0);
  EXPECT_GE(row_of(rows, 2, std::to_string(kq_.pi.dwProcessId)), 0);
  ASSERT_TRUE(open(CMD_NAV_WINDOWS, IDC_NAV_WINDOWS, &list));
  rows = remote.rows(list, 4);
  char handle[16];
  snprintf(handle, sizeof handle, "%X", (unsigned)(uintptr_t)main());
  row = row_of(rows, 2, handle);
  ASSERT_GE(row, 0) << handle;
  EXPECT_EQ("Kaquin Debugger", rows[row][0]);
  EXPECT_EQ(std::to_string(kq_.pi.dwThreadId), rows[row][1]);
  int window_sort = 1;
  sort_by_each(remote, list, {KEY_NAME, KEY_DECIMAL, KEY_HEX, KEY_HEX}, &window_sort, "Window");
  shot("navigator_window.png");

  // A process that ended after the page listed it: choosing it says so in a message box.
  std::string gone_line = "\"" + path_ + "\" loop";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION gone = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &gone_line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &si, &gone));
  host = reopen(CMD_NAV_PROCESSES, IDC_NAV_PROCESSES, &list);
  row = row_of(remote.rows(list, 5), 2, std::to_string(gone.dwProcessId));
  ASSERT_GE(row, 0);
  TerminateProcess(gone.hProcess, 0);
  WaitForSingleObject(gone.hProcess, 10000);
  CloseHandle(gone.hThread);
  CloseHandle(gone.hProcess);
  remote.select(list, row);
  PostMessageA(host, WM_COMMAND, IDOK, 0);
  HWND box = nullptr;
  EXPECT_TRUE(wait_for([&] {
    return (box = process_window(kq_.pi.dwProcessId, "#32770", "Kaquin Debugger")) != nullptr;
  }, 20)) << log();
  if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(box); }, 10));
  EXPECT_EQ("Not loaded", state());

  // Attaching from the process page: the program's row chosen with OK.
  ASSERT_TRUE(open(CMD_NAV_PROCESSES, IDC_NAV_PROCESSES, &list));
  rows = remote.rows(list, 5);
  row = row_of(rows, 2, pid);
  ASSERT_GE(row, 0);
  remote.select(list, row);
  SendMessageA(host, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(wait_for([&] { return state() == "Running..."; }, 30)) << state() << "\n" << log();
  EXPECT_EQ(1, navigators());

  // The thread page lists exactly the program's threads. Attaching may start and end a
  // thread in it: the page is read again until it and the system agree.
  std::set<DWORD> expected, shown;
  auto system_threads = [&] {
    const std::vector<DWORD> ids = threads_of(program);
    return std::set<DWORD>(ids.begin(), ids.end());
  };
  bool same = wait_for([&] {
    expected = system_threads();
    reopen(CMD_NAV_THREADS, IDC_NAV_THREADS, &list);
    shown.clear();
    for (auto &cells : remote.rows(list, 6)) {
      shown.insert((DWORD)atol(cells[1].c_str()));
      if (cells[2] != pid) return false;
    }
    return shown == expected && expected == system_threads();
  }, 30);
  EXPECT_TRUE(same) << shown.size() << " shown, " << expected.size() << " in the snapshot";
  int thread_sort = 1;
  sort_by_each(remote, list, {KEY_CONSTANT, KEY_DECIMAL, KEY_DECIMAL, KEY_TIME, KEY_DECIMAL, KEY_ACCESS}, &thread_sort,
               "Thread");
  shot("navigator_thread.png");

  // The module page holds the program's modules as the system lists them (the engine's
  // list comes from the same snapshot) and no others.
  std::set<std::string> modules;
  same = wait_for([&] {
    reopen(CMD_NAV_MODULES, IDC_NAV_MODULES, &list);
    modules.clear();
    for (auto &cells : remote.rows(list, 4))
      if (cells[3].find(" Locks") != std::string::npos) modules.insert(lower(cells[0]) + " " + cells[1]);
    return modules == modules_of(program);
  }, 30);
  EXPECT_TRUE(same) << modules.size() << " shown, " << modules_of(program).size() << " listed";
  EXPECT_TRUE(modules.count("kq_debuggee.exe 400000")) << *modules.begin();
  for (const std::string &m : modules) {
    const std::string base = m.substr(m.find(' ') + 1);
    EXPECT_NE(std::string::npos, log().find("' at " + base + "\n")) << m;  // the engine loaded it
  }
  int module_sort = 2;
  sort_by_each(remote, list, {KEY_NAME, KEY_HEX, KEY_HEX, KEY_COUNTED}, &module_sort, "Module");
  shot("navigator_module.png");
  // OK and close (command 8) on a module moves the code panel, the last one with the
  // focus, to the module's base: its window text is its cursor line.
  rows = remote.rows(list, 4);
  row = row_of(rows, 0, "version.dll");
  ASSERT_GE(row, 0);
  remote.select(list, row);
  host = GetParent(GetParent(GetParent(list)));
  SendMessageA(host, WM_COMMAND, HOST_CMD_CLOSE_AND_OK, 0);
  EXPECT_FALSE(IsWindow(host));
  HWND code = process_child(kq_.pi.dwProcessId, "code");  // its text: the cursor line
  ASSERT_TRUE(code);
  EXPECT_TRUE(wait_for([&] { return strtoul(text_of(code).c_str(), nullptr, 16) ==
                                    strtoul(rows[row][1].c_str(), nullptr, 16); }, 10))
      << text_of(code) << " at " << rows[row][1];

  // A breakpoint and a comment at an export chosen on the symbol page, then the comment
  // and break pages: SPACE on a comment switches its breakpoint, DEL deletes.
  // The program's export kq_round, where the test finds it: at its image base of 400000.
  HMODULE program_image = LoadLibraryExA(path_.c_str(), nullptr,
                                 DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_TRUE(program_image);
  const uint32_t round =
      0x400000 + (uint32_t)((char *)(void *)GetProcAddress(program_image, "kq_round") - (char *)program_image);
  FreeLibrary(program_image);
  host = open(CMD_NAV_SYMBOLS, IDC_NAV_SYMBOLS, &list);
  ASSERT_TRUE(host);
  row = row_of(remote.rows(list, 1), 0, "kq_round");
  ASSERT_GE(row, 0);
  remote.select(list, row);
  SendMessageA(host, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] { return strtoul(text_of(code).c_str(), nullptr, 16) == round; }, 10))
      << text_of(code);
  char entry[16];
  snprintf(entry, sizeof entry, "%X", round);
  PostMessageA(host, WM_CLOSE, 0, 0);
  PostMessageA(main(), WM_COMMAND, CMD_SWITCH_BREAKPOINT, 0);
  PostMessageA(main(), WM_COMMAND, CMD_COMMENT_LINE, 0);
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Insert comments", "#size of the version block"));

  // A page's rows may follow its window: they are waited for.
  auto count_rows = [&] { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); };
  host = open(CMD_NAV_COMMENTS, IDC_NAV_COMMENTS, &list);
  ASSERT_TRUE(wait_for([&] { return count_rows() == 1; }, 10)) << count_rows();
  EXPECT_EQ((std::vector<std::string>{"#size of the version block", "#", entry}),
            remote.rows(list, 3)[0]);
  EXPECT_EQ(1, remote.image(list, 0));  // the breakpoint's mark
  shot("navigator_comment.png");
  auto image = [&] { return remote.image(list, 0); };
  EXPECT_TRUE(press_judged(keys, host, 0, VK_SPACE, image, [](int) { return 0; }, list));
  EXPECT_TRUE(press_judged(keys, host, 0, VK_SPACE, image, [](int) { return 1; }, list));
  ASSERT_TRUE(open(CMD_NAV_BREAKPOINTS, IDC_NAV_BREAKPOINTS, &list));
  ASSERT_TRUE(wait_for([&] { return count_rows() == 1; }, 10)) << count_rows();
  EXPECT_EQ(entry, remote.cell(list, 0, 1));
  shot("navigator_break.png");
  EXPECT_TRUE(press_judged(keys, host, 0, VK_DELETE, count_rows, [](int) { return 0; }, list));
  ASSERT_TRUE(open(CMD_NAV_COMMENTS, IDC_NAV_COMMENTS, &list));
  EXPECT_EQ(0, remote.image(list, 0));  // its breakpoint went
  EXPECT_TRUE(press_judged(keys, host, 0, VK_DELETE, count_rows, [](int) { return 0; }, list));

  // The symbol page: the program's exports among all; typing a name's start selects it.
  HWND symbols = nullptr;
  ASSERT_TRUE(open(CMD_NAV_SYMBOLS, IDC_NAV_SYMBOLS, &symbols));
  Table names = remote.rows(symbols, 1);
  EXPECT_GT(names.size(), 100u);
  EXPECT_GE(row_of(names, 0, "kq_round"), 0);
  EXPECT_EQ("", out_of_order(names, 0, KEY_NAME, false));
  HWND edit = GetDlgItem(GetParent(symbols), IDC_NAV_SYMBOL_TEXT);
  EXPECT_EQ("kq_round", text_of(edit));  // the name chosen last
  SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)"GetFileVersionInfoSi");
  SendMessageA(GetParent(symbols), WM_COMMAND, MAKEWPARAM(IDC_NAV_SYMBOL_TEXT, EN_CHANGE),
               (LPARAM)edit);
  const int selected = (int)SendMessageA(symbols, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  ASSERT_GE(selected, 0);
  EXPECT_EQ("getfileversioninfosi", lower(remote.cell(symbols, selected, 0)).substr(0, 20));
  shot("navigator_symbol.png");
  // Backspace typed in the list edits the line (and the selection follows it); a key down
  // typed in the line moves the list.
  auto line = [&] { return text_of(edit); };
  EXPECT_TRUE(press_judged(keys, host, 0, VK_BACK, line,
                           [](const std::string &before) { return before.substr(0, before.size() - 1); },
                           symbols));
  auto selection = [&] {
    return (int)SendMessageA(symbols, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
  };
  EXPECT_TRUE(press_judged(keys, host, 0, VK_DOWN, selection, [](int row) { return row + 1; },
                           edit));

  // With a debuggee the window page lists only its windows.
  ASSERT_TRUE(reopen(CMD_NAV_WINDOWS, IDC_NAV_WINDOWS, &list));
  std::set<std::string> windows, listed;
  for (const std::string &h : windows_of(program)) windows.insert(h);
  for (auto &cells : remote.rows(list, 4)) listed.insert(cells[2]);
  EXPECT_EQ(windows, listed);

  EXPECT_EQ(0, kq_.close());
  EXPECT_EQ("-3", kq_.setting("ProcessComparizonMethod"));
  EXPECT_EQ(std::to_string(thread_sort), kq_.setting("ThreadComparizonMethod"));
  EXPECT_EQ(std::to_string(module_sort), kq_.setting("ModuleComparizonMethod"));
  EXPECT_EQ("kq_debuggee.exe", kq_.setting("LastProcess"));
  EXPECT_EQ("version.dll", kq_.setting("LastModule"));
}

// kq launches the program in its probe mode: past main it makes a window and stops on an
// INT3. With the program paused the window page lists its windows and no others, shows
// the program's path for the selected row, and OK asks the program itself for the window's
// procedure (a call made in it): the code panel moves to an address inside its modules.
// The program's second thread, chosen on the thread page, becomes the followed thread: a
// pause stops it where the system says it stands. The status bar names the focused code
// panel's position as the module page moves it.
TEST_F(KqNavigator, WindowPageOfAPausedProgram) {
  ASSERT_TRUE(kq_.place("navigator") && kq_.set("Arguments", "probe thread"));
  ASSERT_TRUE(copy_program());
  ASSERT_TRUE(start_kq("\"" + path_ + "\""));
  DWORD program = 0;
  ASSERT_TRUE(wait_for([&] { return (program = child_process(kq_.pi.dwProcessId)) != 0; }));
  // Each pause before the window is made is let go once.
  int resumed_at = 0;
  ASSERT_TRUE(wait_for([&] {
    const int pauses = pause_count();
    if (state() == "Running..." || pauses == 0) return false;
    if (!windows_of(program).empty()) return true;
    if (pauses > resumed_at) PostMessageA(main(), WM_COMMAND, CMD_RUN, 0);
    resumed_at = pauses;
    return false;
  }, 60)) << state();
  const std::vector<std::string> handles = windows_of(program);

  RemoteList remote(kq_.pi.dwProcessId);
  HWND list = nullptr;
  HWND host = open(CMD_NAV_WINDOWS, IDC_NAV_WINDOWS, &list);
  ASSERT_TRUE(host && list);
  const Table rows = remote.rows(list, 4);
  std::set<std::string> listed;
  int row = -1;
  for (size_t i = 0; i < rows.size(); i++) {
    listed.insert(rows[i][2]);
    if (lower(rows[i][0]) == "static") row = (int)i;
  }
  EXPECT_EQ(std::set<std::string>(handles.begin(), handles.end()), listed);
  ASSERT_GE(row, 0);
  remote.select(list, row);
  EXPECT_EQ(lower(path_), lower(text_of(GetDlgItem(GetParent(list), IDC_NAV_DETAIL))));
  shot("navigator_window_paused.png");

  HWND code = process_child(kq_.pi.dwProcessId, "code");  // its text: the cursor line
  ASSERT_TRUE(code);
  const std::string before = text_of(code);
  SendMessageA(host, WM_COMMAND, IDOK, 0);
  uint32_t moved = 0;
  EXPECT_TRUE(wait_for([&] {
    moved = (uint32_t)strtoul(text_of(code).c_str(), nullptr, 16);
    return text_of(code) != before;
  }, 10)) << before;
  bool inside = false;
  for (auto &range : module_ranges(program))
    inside |= moved >= range.first && moved - range.first < range.second;
  EXPECT_TRUE(inside) << std::hex << moved;

  // The thread page: the followed thread carries its mark; OK on the program's other
  // thread follows that one instead and lets the program run.
  PostMessageA(main(), WM_COMMAND, CMD_INSERT_WATCH, 0);
  ASSERT_TRUE(answer_input_prompt(kq_.pi.dwProcessId, "Insert expression", "esp"));
  host = open(CMD_NAV_THREADS, IDC_NAV_THREADS, &list);
  ASSERT_TRUE(host && list);
  auto marked = [&] {
    const Table threads = remote.rows(list, 2);
    std::vector<DWORD> ids;
    for (size_t i = 0; i < threads.size(); i++)
      if (remote.image(list, (int)i) == TASK_IMAGE_DEBUGGEE) ids.push_back((DWORD)atol(threads[i][1].c_str()));
    return ids;
  };
  const std::vector<DWORD> first = marked();
  ASSERT_EQ(1u, first.size());
  const Table threads = remote.rows(list, 2);
  row = -1;
  for (size_t i = 0; i < threads.size(); i++)
    if ((DWORD)atol(threads[i][1].c_str()) != first[0]) row = (int)i;
  ASSERT_GE(row, 0) << threads.size() << " threads";
  const DWORD chosen = (DWORD)atol(threads[row][1].c_str());
  const std::vector<DWORD> program_threads = threads_of(program);
  EXPECT_NE(program_threads.end(), std::find(program_threads.begin(), program_threads.end(), chosen));
  remote.select(list, row);
  SendMessageA(host, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] { return marked() == std::vector<DWORD>{chosen}; }, 10));
  shot("navigator_thread_followed.png");
  PostMessageA(host, WM_CLOSE, 0, 0);
  // A pause stops the followed thread: kq names where it stands, and the watch of ESP
  // gives its stack pointer, as the system gives them for that thread.
  HWND watch = process_child(kq_.pi.dwProcessId, "watch");
  ASSERT_TRUE(watch);
  auto pause_where_the_system_says = [&](DWORD followed) {
    const int pauses = pause_count();
    PostMessageA(main(), WM_COMMAND, CMD_RUN, 0);
    ASSERT_TRUE(wait_for([&] { return pause_count() > pauses && state() != "Running..."; }, 20))
        << state();
    HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, followed);
    ASSERT_TRUE(thread);
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    EXPECT_TRUE(GetThreadContext(thread, &context));
    CloseHandle(thread);
    EXPECT_EQ(context.Eip, log_pauses(log(), nullptr).back()) << log();
    auto watched = [&] {
      const std::string lines = text_of(watch);
      const size_t value = lines.find("esp: ");
      return value == std::string::npos ? 0 : strtoul(lines.c_str() + value + 5, nullptr, 0);
    };
    EXPECT_TRUE(wait_for([&] { return watched() == context.Esp; }, 10)) << text_of(watch);
  };
  pause_where_the_system_says(chosen);

  // With the code panel focused, the status bar's location names the code position, which
  // the module page's OK (and close) moves to a module's base: no export lies at a base,
  // so the name is the address itself. Another program may take the front between the
  // focus and the move, so the move is made again, to the other module, until the pane
  // names the position with the code panel focused.
  KqKeyboard keys = {main(), kq_.pi.dwThreadId, kq_.pi.hProcess, [this] { settle(); }};
  ASSERT_TRUE(keys.attach());
  const char *const bases[] = {"kernel32.dll", "ntdll.dll"};
  std::string named, expected;
  bool focused = false;
  for (int attempt = 0; attempt < 10 && !(focused && named == expected); attempt++) {
    host = open(CMD_NAV_MODULES, IDC_NAV_MODULES, &list);
    ASSERT_TRUE(host && list);
    const Table modules = remote.rows(list, 2);
    row = -1;
    for (size_t i = 0; i < modules.size(); i++)
      if (lower(modules[i][0]) == bases[attempt % 2]) row = (int)i;
    ASSERT_GE(row, 0) << bases[attempt % 2];
    remote.select(list, row);
    expected = "0x" + modules[row][1];
    SetForegroundWindow(main());
    SetFocus(code);
    settle();
    SendMessageA(host, WM_COMMAND, HOST_CMD_CLOSE_AND_OK, 0);
    settle();
    focused = keys.focus() == code;
    wait_for([&] { return (named = pane(PANE_LOCATION)) == expected; }, 3);
  }
  EXPECT_TRUE(focused);
  EXPECT_EQ(expected, named);
  EXPECT_EQ(strtoul(expected.c_str(), nullptr, 16), strtoul(text_of(code).c_str(), nullptr, 16));

  // Without a debuggee, OK on a thread row of another program attaches to it following
  // that thread: the program's last in the system's list, where the process page's
  // attach follows the first. The workspace of the same program brings the watch back.
  PostMessageA(main(), WM_COMMAND, CMD_UNLOAD, 0);
  ASSERT_TRUE(wait_for([&] { return state() == "Not loaded"; }, 20)) << state();
  ASSERT_TRUE(run_program("sleepers"));
  std::vector<DWORD> sleepers;
  ASSERT_TRUE(wait_for([&] { return (sleepers = threads_of(program_.dwProcessId)).size() == 2; }, 20));
  host = open(CMD_NAV_THREADS, IDC_NAV_THREADS, &list);
  ASSERT_TRUE(host && list);
  const Table all_threads = remote.rows(list, 2);
  row = -1;
  for (size_t i = 0; i < all_threads.size(); i++)
    if ((DWORD)atol(all_threads[i][1].c_str()) == sleepers[1]) row = (int)i;
  ASSERT_GE(row, 0) << sleepers[1];
  remote.select(list, row);
  SendMessageA(host, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] { return state() == "Running..."; }, 20)) << state() << "\n" << log();
  EXPECT_TRUE(wait_for([&] { return marked() == std::vector<DWORD>{sleepers[1]}; }, 10));
  shot("navigator_thread_attached.png");
  PostMessageA(host, WM_CLOSE, 0, 0);
  pause_where_the_system_says(sleepers[1]);
  EXPECT_EQ(0, kq_.close());
}

// With the CodeView reader as kq's plug-in, a corpus program with sources: the symbol
// page's "local symbols" are those of the code position's source, then, as the module
// page moves the code position, those of another module (none: no sources there) and
// those of the program's whole module.
TEST_F(KqNavigator, LocalSymbolsFollowTheCodePosition) {
  ASSERT_TRUE(kq_.place("navigator-local") && kq_.use_plugins({"plugins\\cvread.dll"}) &&
              kq_.set("PluginOrder", "+cvread.dll;"));
  for (const char *file : {"peekPE.exe", "peekPE.pdb", "vc60.pdb"})
    ASSERT_FALSE(kq_.copy_in(std::string(KQ_PEEKPE) + file).empty()) << file;
  ASSERT_TRUE(start_kq("\"" + kq_.folder + "peekPE.exe\""));
  ASSERT_TRUE(wait_for([&] { return count("peekPE.pdb' successfully parsed") > 0; }, 60)) << log();
  ASSERT_TRUE(wait_for([&] {
    const std::string s = state();
    return !s.empty() && s != "Not loaded" && s != "Loading..." && s != "Running...";
  })) << state();

  RemoteList remote(kq_.pi.dwProcessId);
  HWND list = nullptr;
  HWND host = open(CMD_NAV_SYMBOLS, IDC_NAV_SYMBOLS, &list);
  ASSERT_TRUE(host && list);
  HWND page = GetParent(list), filter = GetDlgItem(page, IDC_NAV_SYMBOL_FILTER);
  auto names = [&] {
    std::set<std::string> found;
    for (auto &cells : remote.rows(list, 1)) found.insert(cells[0]);
    return found;
  };
  const std::set<std::string> all = names();
  SendMessageA(filter, CB_SETCURSEL, 2, 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_NAV_SYMBOL_FILTER, CBN_SELCHANGE), (LPARAM)filter);
  const std::set<std::string> at_main = names();
  EXPECT_TRUE(at_main.count("main")) << at_main.size();
  EXPECT_LT(at_main.size(), all.size());
  shot("navigator_symbol_local.png");

  // The module page's OK moves the code position to a module's base.
  auto go_to_module = [&](const char *name) {
    HWND modules = nullptr;
    open(CMD_NAV_MODULES, IDC_NAV_MODULES, &modules);
    const Table rows = remote.rows(modules, 1);
    for (size_t i = 0; i < rows.size(); i++)
      if (lower(rows[i][0]) == name) remote.select(modules, (int)i);
    SendMessageA(host, WM_COMMAND, IDOK, 0);
    open(CMD_NAV_SYMBOLS, IDC_NAV_SYMBOLS, &list);
  };
  go_to_module("kernel32.dll");
  EXPECT_TRUE(wait_for([&] { return names().empty(); }, 10)) << names().size();
  go_to_module("peekpe.exe");
  std::set<std::string> in_module;
  EXPECT_TRUE(wait_for([&] {
    in_module = names();
    return in_module.size() > at_main.size();
  }, 10)) << in_module.size();
  for (const std::string &name : at_main) EXPECT_TRUE(in_module.count(name)) << name;
  for (const std::string &name : in_module) EXPECT_TRUE(all.count(name)) << name;
  EXPECT_EQ(0, kq_.close());
  EXPECT_EQ("2", kq_.setting("SymbolFilter"));
}
