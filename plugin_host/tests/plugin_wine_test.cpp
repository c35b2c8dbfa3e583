// The plug-in interface and manager in kq.exe under Wine: copies of the test plug-in in a
// plug-in folder of the test's own, kq started on a debuggee with a debug directory, the
// "Plugin control" dialog driven from outside, and kq's log and registry key read back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/kq_driver.h"
#include "tests/support/kq_list_view.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/dialogs/plugin_dialog_ids.h"
#include "ui/dialogs/tabbed_host_ids.h"
#include "ui/panels/status_bar/status_bar_text.h"
#include "util/tests/test_support.h"

namespace {

bool has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// The first section of a PE file: where it lands (ImageBase + VirtualAddress) and its
// first bytes in the file.
struct FirstSection {
  uint32_t address = 0;
  std::string bytes;
};
FirstSection first_section(const std::string &path) {
  std::string file = read_file(path);
  FirstSection s;
  if (file.size() < 0x400) return s;
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    memcpy(&v, file.data() + at, 4);
    return v;
  };
  uint32_t nt = u32(0x3C);
  uint16_t optional_size = (uint16_t)u32(nt + 20);
  size_t section = nt + 24 + optional_size;
  s.address = u32(nt + 24 + 28) + u32(section + 12);
  s.bytes = file.substr(u32(section + 20), 20);
  return s;
}

// "name|description|+" per row of a list view with check boxes, + for a checked box.
std::string checked_rows(const RemoteList &remote, HWND list) {
  std::string out;
  for (int row = 0, n = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); row < n; row++) {
    UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    out += remote.cell(list, row, 0) + "|" + remote.cell(list, row, 1) + "|" +
           ((state >> 12) == 2 ? "+" : "-") + "\n";
  }
  return out;
}

// An image and the map file beside it (which may be missing) copied under another name.
bool copy_with_map(const std::string &from, const std::string &to) {
  CopyFileA((from.substr(0, from.size() - 4) + ".map").c_str(),
            (to.substr(0, to.size() - 4) + ".map").c_str(), FALSE);
  return CopyFileA(from.c_str(), to.c_str(), FALSE);
}

// kq.exe placed in a folder of this test with its map file, the debuggee beside it and
// copies of the test plug-in (a, b, c) in a plug-in folder.
struct Kq : KqDriver {
  std::string plugin_dir() const { return folder + "plugins"; }
  std::string debuggee() const { return folder + "plugin_debuggee.exe"; }
  // kq.exe and its map file in a folder of the test, with an empty plug-in folder named
  // to kq in the order given.
  bool prepare(const char *name, const char *order) {
    return place(name) && CreateDirectoryA(plugin_dir().c_str(), nullptr) &&
           set("PluginPath", plugin_dir()) && set("PluginOrder", order);
  }
  // A DLL into the plug-in folder under another name, with its map file.
  bool add_plugin(const std::string &built, const char *name) const {
    return copy_with_map(built, plugin_dir() + "\\" + name);
  }
  // The three copies of the test plug-in and the debuggee with a debug directory.
  bool prepare_copies(const char *order) {
    const std::string plugin = own_folder() + "test_plugin.dll";
    return prepare("plugins", order) && add_plugin(plugin, "a.dll") &&
           add_plugin(plugin, "b.dll") && add_plugin(plugin, "c.dll") &&
           !copy_in(own_folder() + "plugin_debuggee.exe").empty();
  }
  bool logged(const std::string &text, int seconds = 60) const {
    return wait_log(text, nullptr, seconds);
  }
  std::string state() const {
    std::string panes = text_of(FindWindowExA(main, nullptr, "status", nullptr)) + "\t";
    size_t at = 0;
    for (int i = 0; i < PANE_STATE && at != std::string::npos; i++) at = panes.find('\t', at) + 1;
    return panes.substr(at, panes.find('\t', at) - at);
  }
  // Waits for a debuggee that stands still (paused, at a fault, at its end).
  bool stopped() const {
    return wait_for([&] {
      std::string s = state();
      return !s.empty() && s != "Not loaded" && s != "Loading..." && s != "Running...";
    });
  }
  HWND open(int id) const {
    command(id);
    HWND found = nullptr;
    wait_for([&] { return (found = window("#32770", "Plugin control")) != nullptr; });
    return found;
  }
  // A command typed into the command page and OK posted (a command may hold kq in a
  // dialog of its own): the dialog, null when it did not open.
  HWND run(const char *typed, std::string *before = nullptr) { return plugin_command(typed, before); }
};

void click(HWND window, int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }

bool closes(HWND dialog, int seconds = 10) {
  return wait_for([&] { return !IsWindow(dialog); }, seconds);
}

// The lines of the log from the one holding marker on, without their numbers.
std::vector<std::string> lines_after(const std::string &log, const std::string &marker,
                                     int count) {
  std::vector<std::string> lines;
  size_t at = log.find(marker);
  for (int i = 0; at != std::string::npos && i < count; i++) {
    size_t start = log.find('\t', at) + 1, end = log.find('\n', at);
    lines.push_back(log.substr(start, end - start));
    at = end == std::string::npos ? end : end + 1;
  }
  return lines;
}

// A dump line of the design: "%8X" address, " %02X" per byte with an extra blank before
// the first and the ninth, "   " for each missing byte, a blank, the characters.
std::string dump_tail(const std::string &bytes) {
  std::string out;
  char hex[4];
  for (size_t i = 0; i < 16; i++) {
    if (i == 0 || i == 8) out += ' ';
    snprintf(hex, sizeof hex, " %02X", (unsigned char)(i < bytes.size() ? bytes[i] : 0));
    out += i < bytes.size() ? hex : "   ";
  }
  out += ' ';
  for (char c : bytes) out += (unsigned char)c < 0x20 ? '.' : c;
  return out;
}

}  // namespace

// One run on the debuggee: which copies are loaded, initialised and offered debug
// information; the interface used by a command run from the dialog; the files page; the
// unloading order; the listed name that could not be loaded gone from PluginOrder.
TEST(KqPlugins, LoadOfferRunAndUnloadOnADebuggee) {
  Kq kq;
  ASSERT_TRUE(kq.prepare_copies("-a.dll;+b.dll;\n+gone.dll;;"));
  ASSERT_TRUE(kq.start("\"" + kq.debuggee() + "\""));
  FirstSection text = first_section(kq.debuggee());
  ASSERT_EQ(20u, text.bytes.size());
  char section_line[128];
  snprintf(section_line, sizeof section_line,
           "peek: b.dll load 'RSDS' from MZ, section 1 at %08X\n", text.address);
  ASSERT_TRUE(kq.logged(section_line)) << kq.log();
  ASSERT_TRUE(kq.stopped()) << kq.state();
  std::string log = kq.log();
  EXPECT_FALSE(has(log, "PLUG-IN 'a.dll'"));
  EXPECT_LT(log.find("PLUG-IN 'b.dll' is loaded.\n"), log.find("PLUG-IN 'c.dll' is loaded.\n"));
  EXPECT_LT(log.find("peek: b.dll init, address outside a load 0\n"),
            log.find("peek: c.dll init, address outside a load 0\n"));
  EXPECT_FALSE(has(log, "peek: a.dll"));           // disabled: never called
  EXPECT_FALSE(has(log, "peek: c.dll load"));      // b accepted first
  EXPECT_TRUE(has(log, "OK, debug information is loaded.\n"));
  // Images without a directory are sought by b and then c, with the image's full path.
  size_t seek = log.find("peek: b.dll seek ");
  ASSERT_NE(std::string::npos, seek) << log;
  std::string path = log.substr(seek + 17, log.find('\n', seek) - seek - 17);
  EXPECT_NE(std::string::npos, path.find(":\\")) << path;
  EXPECT_LT(seek, log.find("peek: c.dll seek " + path + "\n"));

  // The files page: a, b, c in load order with their states and descriptions.
  HWND dialog = kq.open(10094);
  ASSERT_TRUE(dialog);
  HWND files = dialog_page(dialog, IDC_PLUGIN_LIST);
  ASSERT_TRUE(files);
  HWND list = GetDlgItem(files, IDC_PLUGIN_LIST);
  RemoteList remote(kq.pi.dwProcessId);
  EXPECT_EQ("a.dll|Module is loaded but not enabled|-\n"
            "b.dll|Peek test plug-in b.dll|+\n"
            "c.dll|Peek test plug-in c.dll|+\n",
            checked_rows(remote, list));
  EXPECT_EQ(kq.plugin_dir(), text_of(GetDlgItem(files, IDC_PLUGIN_FOLDER)));
  struct Buttons {
    int row;
    bool properties, up, down;
  } const buttons[] = {{0, false, false, true}, {2, true, true, false}, {1, true, true, true}};
  for (const Buttons &b : buttons) {
    remote.select(list, b.row);
    EXPECT_EQ(b.properties, !!IsWindowEnabled(GetDlgItem(files, IDC_PLUGIN_PROPERTIES))) << b.row;
    EXPECT_EQ(b.up, !!IsWindowEnabled(GetDlgItem(files, IDC_PLUGIN_UP))) << b.row;
    EXPECT_EQ(b.down, !!IsWindowEnabled(GetDlgItem(files, IDC_PLUGIN_DOWN))) << b.row;
  }
  screenshot("plugin_files.png");
  click(files, IDC_PLUGIN_PROPERTIES);
  EXPECT_TRUE(kq.logged("peek: b.dll properties over 'Kaquin Debugger'\n", 10));

  // The commands page, reached with the arrow key on the tabs: sorted rows, b's "peek"
  // run with OK (the first of the two registered under that key).
  PostMessageA(GetDlgItem(dialog, IDC_HOST_TABS), WM_KEYDOWN, VK_RIGHT, 0);
  HWND commands = nullptr;
  EXPECT_TRUE(wait_for([&] {
    commands = dialog_page(dialog, IDC_PLUGIN_COMMANDS);
    return commands && IsWindowVisible(commands) && !IsWindowVisible(files);
  }, 10));
  ASSERT_TRUE(commands);
  const char *const registered[][2] = {
      {"ask", "Ask for a value and show it"},
      {"find", "Find a symbol by name"},
      {"load", "Load a program as the debuggee"},
      {"misc", "Paths, types, symbols and control"},
      {"peek", "Read and disassemble debuggee memory"},
      {"reload", "Load the debuggee again"},
      {"run", "Let the debuggee run"},
      {"shell", "Run a command-line interpreter"},
      {"title", "Set the description of this plug-in"},
      {"unload", "Unload the debuggee"},
  };
  std::string rows;
  for (const auto &row : registered) {
    std::string line = std::string(row[0]) + "|" + row[1] + "|-\n";
    rows += line + line;  // b's and c's
  }
  EXPECT_EQ(rows, checked_rows(remote, GetDlgItem(commands, IDC_PLUGIN_COMMANDS)));
  remote.select(GetDlgItem(commands, IDC_PLUGIN_COMMANDS), 16);
  EXPECT_EQ("title ", text_of(GetDlgItem(commands, IDC_PLUGIN_COMMAND_TEXT)));
  EXPECT_EQ("b.dll", text_of(GetDlgItem(commands, IDC_PLUGIN_COMMAND_OWNER)));
  remote.select(GetDlgItem(commands, IDC_PLUGIN_COMMANDS), 17);  // the same key, c's
  EXPECT_EQ("c.dll", text_of(GetDlgItem(commands, IDC_PLUGIN_COMMAND_OWNER)));
  screenshot("plugin_commands.png");
  SendMessageA(GetDlgItem(commands, IDC_PLUGIN_COMMAND_TEXT), WM_SETTEXT, 0, (LPARAM)"nosuch 1");
  click(dialog, IDOK);
  EXPECT_FALSE(closes(dialog, 1));  // an unknown key leaves the dialog open
  SendMessageA(GetDlgItem(commands, IDC_PLUGIN_COMMAND_TEXT), WM_SETTEXT, 0, (LPARAM)"peek");
  click(dialog, IDOK);
  ASSERT_TRUE(closes(dialog));
  ASSERT_TRUE(kq.logged("peek: b.dll address outside a load 0\n", 20)) << kq.log();
  log = kq.log();
  EXPECT_TRUE(has(log, "Running 'peek'\n"));
  EXPECT_FALSE(has(log, "Running 'nosuch'"));
  char hex[64] = "";
  for (int i = 0; i < 16; i++)
    snprintf(hex + 3 * i, 4, " %02X", (unsigned char)text.bytes[(size_t)i]);
  char read_line[160];
  snprintf(read_line, sizeof read_line, "peek: b.dll read 20 at %08X:%s\n", text.address, hex);
  EXPECT_TRUE(has(log, read_line)) << read_line << log;
  std::vector<std::string> command = lines_after(log, "peek: b.dll first command", 1);
  ASSERT_EQ(1u, command.size());
  EXPECT_FALSE(has(command[0], "command 0 bytes")) << command[0];
  EXPECT_FALSE(has(command[0], "???")) << command[0];
  EXPECT_TRUE(has(log, "plugin_debuggee.exe entry peek_text\n")) << log;
  EXPECT_TRUE(has(log, "peek: b.dll peek_pair 8 bytes, high 1 at 4 of 4 bytes\n"));
  // KQ_Dump of 20 bytes: two lines, the second padded with twelve blank triples.
  std::vector<std::string> dump = lines_after(log, "peek: b.dll dump\n", 3);
  ASSERT_EQ(3u, dump.size());
  EXPECT_EQ(dump_tail(text.bytes.substr(0, 16)), dump[1].substr(8)) << dump[1];
  EXPECT_EQ(dump_tail(text.bytes.substr(16)), dump[2].substr(8)) << dump[2];
  EXPECT_EQ(8 + 2 + 4 * 3 + 12 * 3 + 1 + 4, (int)dump[2].size()) << dump[2];
  EXPECT_TRUE(has(log, "peek: b.dll garbage assembled 0, bytes unchanged\n"));
  EXPECT_TRUE(has(log, "peek: b.dll nop assembled 1, byte 90, restored 1\n"));
  EXPECT_TRUE(has(log, "Cannot find resource 'NO_SUCH_PICTURE'"));
  EXPECT_TRUE(has(log, "peek: b.dll picture none\n"));

  // KQ_Input through the input prompt, KQ_Message's box, KQ_ShellCommand's interpreter;
  // OK is posted, as the command holds kq until its prompt and box are answered.
  std::string before;
  ASSERT_TRUE(kq.run("ask", &before));
  EXPECT_EQ("peek", before);  // the last command run
  HWND prompt = nullptr;
  ASSERT_TRUE(wait_for([&] { return (prompt = kq.window("#32770", "Peek question")) != nullptr; }));
  EXPECT_EQ("A value for b.dll:", text_of(GetDlgItem(prompt, IDC_PROMPT_LINE)));
  HWND combo = GetDlgItem(prompt, IDC_PROMPT_TEXT);
  EXPECT_EQ("first", text_of(combo));
  SendMessageA(combo, WM_SETTEXT, 0, (LPARAM)"second");
  PostMessageA(FindWindowExA(combo, nullptr, "Edit", nullptr), WM_KEYDOWN, VK_RETURN, 0);
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = kq.window("#32770", "Plug-in message")) != nullptr; }));
  std::string shown;
  for (HWND child = nullptr; (child = FindWindowExA(box, child, "Static", nullptr));)
    shown += text_of(child);
  EXPECT_EQ("b.dll answered 'second'", shown);
  click(box, IDOK);
  EXPECT_TRUE(kq.logged("peek: b.dll message closed\n", 10));
  EXPECT_TRUE(has(kq.log(), "peek: b.dll asked 1, value 'second'\n"));
  dialog = kq.run("shell exit 7");
  EXPECT_TRUE(kq.logged("Executed 'exit 7' with exitcode 7\n", 30)) << kq.log();
  EXPECT_TRUE(kq.logged("peek: b.dll shell gave 7\n", 10));
  ASSERT_TRUE(closes(dialog));

  // A command that sets its plug-in's title: the files page shows it.
  ASSERT_TRUE(closes(kq.run("title  Renamed by a command")));
  dialog = kq.open(10094);
  ASSERT_TRUE(dialog);
  list = GetDlgItem(dialog_page(dialog, IDC_PLUGIN_LIST), IDC_PLUGIN_LIST);
  EXPECT_EQ("b.dll", remote.cell(list, 1, 0));
  EXPECT_EQ("Renamed by a command", remote.cell(list, 1, 1));
  click(dialog, IDCANCEL);
  ASSERT_TRUE(closes(dialog));

  // The rest of the interface on the paused debuggee (no selection in the code panel; its
  // position is where KQ_Goto sent it), then reloading and unloading it.
  // A click in the code panel selects its line, but with the log panel current no view is
  // active: no selection is offered. KQ_Goto moves the code panel's cursor all the same.
  HWND code = process_child(kq.pi.dwProcessId, "code");
  PostMessageA(code, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 30));
  PostMessageA(code, WM_LBUTTONUP, 0, MAKELPARAM(10, 30));
  PostMessageA(kq.main, WM_COMMAND, 10065, 0);
  char misc[32];
  snprintf(misc, sizeof misc, "misc %X", text.address);
  ASSERT_TRUE(closes(kq.run(misc)));
  ASSERT_TRUE(kq.logged("peek: b.dll misc control", 10)) << kq.log();
  EXPECT_TRUE(wait_for([&] {
    return strtoul(text_of(code).c_str(), nullptr, 16) == text.address;
  }, 10)) << text_of(code);
  for (const std::string &line :
       {"peek: b.dll misc paths " + kq.folder + "plugin_debuggee.ini MZ\n",
        std::string("peek: b.dll misc types 62617365 2A 5B5D 2829 6270 16 1 1 peek_enum local -4 -1\n"),
        std::string("peek: b.dll misc symbols 1 1 1\n"),
        "peek: b.dll misc control 1 0 1 1 " + std::to_string(text.address) + " 0\n"})
    EXPECT_TRUE(has(kq.log(), line)) << line << kq.log();
  ASSERT_TRUE(closes(kq.run("reload")));
  EXPECT_TRUE(kq.logged("peek: b.dll reloaded 1\n", 20)) << kq.log();
  EXPECT_TRUE(wait_for([&] {  // the new process's image offered again
    std::string now = kq.log();
    return now.find(section_line) != now.rfind(section_line);
  })) << kq.log();
  ASSERT_TRUE(closes(kq.run("unload")));
  EXPECT_TRUE(kq.logged("peek: b.dll unloaded 1\n", 20)) << kq.log();
  EXPECT_TRUE(wait_for([&] { return kq.state() == "Not loaded"; })) << kq.state();
  // Loaded by a plug-in and let run to its end (no arguments: exit code 1).
  ASSERT_TRUE(closes(kq.run(("load " + kq.debuggee()).c_str())));
  EXPECT_TRUE(kq.logged("peek: b.dll loaded 1\n", 20)) << kq.log();
  ASSERT_TRUE(kq.stopped()) << kq.state();
  ASSERT_TRUE(closes(kq.run("run")));
  EXPECT_TRUE(kq.logged("peek: b.dll ran 1\n", 20)) << kq.log();
  EXPECT_TRUE(wait_for([&] { return kq.state() == "Exit 1"; })) << kq.state();

  EXPECT_EQ(0, kq.close());
  log = kq.log();
  size_t c_down = log.find("peek: c.dll shutdown\n"), b_down = log.find("peek: b.dll shutdown\n");
  EXPECT_NE(std::string::npos, b_down) << log;
  EXPECT_LT(c_down, b_down);
  EXPECT_EQ("-a.dll;+b.dll;\n", kq.setting("PluginOrder"));
}

// A run without debuggee: a shell command whose interpreter cannot start; the files page
// reordered and written with OK, which reloads the plug-ins in the new order; the
// interface page shows the header itself.
TEST(KqPlugins, FilesPageWritesTheOrderAndTheInterfacePageShowsTheHeader) {
  Kq kq;
  ASSERT_TRUE(kq.prepare_copies(""));
  kq.set("CommandLineInterpreter", "Z:\\no\\such\\interpreter.exe /C");
  ASSERT_TRUE(kq.start(""));
  // An interpreter that cannot be started.
  ASSERT_TRUE(closes(kq.run("shell exit 3")));
  EXPECT_TRUE(has(kq.log(), "Fail to execute 'exit 3'\n")) << kq.log();
  EXPECT_TRUE(has(kq.log(), " shell gave 0\n")) << kq.log();
  HWND dialog = kq.open(10094);
  ASSERT_TRUE(dialog);
  HWND files = dialog_page(dialog, IDC_PLUGIN_LIST);
  HWND list = GetDlgItem(files, IDC_PLUGIN_LIST);
  RemoteList remote(kq.pi.dwProcessId);
  ASSERT_EQ(3, (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::string first = remote.cell(list, 0, 0), second = remote.cell(list, 1, 0),
              third = remote.cell(list, 2, 0);
  remote.select(list, 0);
  click(files, IDC_PLUGIN_DOWN);
  EXPECT_EQ(second, remote.cell(list, 0, 0));
  EXPECT_EQ(first, remote.cell(list, 1, 0));
  EXPECT_EQ(2, (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED) + 1);
  click(files, IDC_PLUGIN_UP);
  click(files, IDC_PLUGIN_DOWN);
  // Moved by the user: the dialog opens there again.
  SetWindowPos(dialog, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  // Unchecking the third row (its box's state image 1).
  LVITEMA unchecked = {};
  unchecked.stateMask = LVIS_STATEIMAGEMASK;
  unchecked.state = INDEXTOSTATEIMAGEMASK(1);
  WriteProcessMemory(remote.process, remote.block, &unchecked, sizeof unchecked, nullptr);
  SendMessageA(list, LVM_SETITEMSTATE, 2, (LPARAM)remote.block);
  click(dialog, IDOK);
  ASSERT_TRUE(closes(dialog));
  std::string order = "+" + second + ";+" + first + ";-" + third + ";";
  EXPECT_EQ(order, kq.setting("PluginOrder"));
  // The reload: everything shut down, then loaded again in the new order.
  std::string log;
  size_t reload = std::string::npos;
  ASSERT_TRUE(wait_for([&] {
    log = kq.log();
    reload = log.find("peek: " + first + " shutdown\n");
    return reload != std::string::npos &&
           log.find("peek: " + first + " init", reload) != std::string::npos;
  }, 20)) << log;
  size_t again_second = log.find("peek: " + second + " init", reload);
  EXPECT_LT(again_second, log.find("peek: " + first + " init", reload)) << log;
  EXPECT_EQ(std::string::npos, log.find("peek: " + third + " init", reload)) << log;
  // The three map files loaded for the crash handler went with their plug-ins (the
  // handler traces only the unloading of a map it holds).
  int maps = 0;
  for (size_t at = log.find("mapfile_unload: base="); at < again_second;
       at = log.find("mapfile_unload: base=", at + 1))
    maps++;
  EXPECT_EQ(3, maps) << log;

  // The interface page (command 10073) shows kqplugin.h as it is in the sources.
  kq.command(10073);
  HWND api = nullptr;
  ASSERT_TRUE(wait_for([&] { return (api = kq.window("#32770", "Plugin control")) != nullptr; }));
  RECT placed;
  GetWindowRect(api, &placed);
  EXPECT_EQ(20, placed.left);
  EXPECT_EQ(30, placed.top);
  HWND page = dialog_page(api, IDC_PLUGIN_HEADER_TEXT);
  ASSERT_TRUE(page);
  EXPECT_TRUE(wait_for([&] { return IsWindowVisible(page); }, 10));
  std::string header = read_file(own_folder() + KQ_PLUGIN_HEADER), shown;
  for (char c : text_of(GetDlgItem(page, IDC_PLUGIN_HEADER_TEXT)))
    if (c != '\r') shown += c;
  EXPECT_GT(header.size(), 1000u);
  EXPECT_EQ(header, shown);
  screenshot("plugin_interface.png");
  click(api, IDOK);
  ASSERT_TRUE(closes(api));
  EXPECT_EQ(0, kq.close());
}

// The CodeView reader of the build before a copy of the test plug-in: peekPE's debug
// information goes to the reader, and the test plug-in finds the reader's symbols.
TEST(KqPlugins, SymbolsOfTheCodeViewReaderReachOtherPlugins) {
  Kq kq;
  ASSERT_TRUE(kq.prepare("cvread", "+cvread.dll;+b.dll;"));
  ASSERT_TRUE(kq.add_plugin(build_file("plugins\\cvread.dll"), "cvread.dll"));
  ASSERT_TRUE(kq.add_plugin(own_folder() + "test_plugin.dll", "b.dll"));
  for (const char *file : {"peekPE.exe", "peekPE.pdb", "vc60.pdb"})
    ASSERT_FALSE(kq.copy_in(std::string(KQ_PEEKPE) + file).empty()) << file;
  ASSERT_TRUE(kq.start("\"" + kq.folder + "peekPE.exe\""));
  ASSERT_TRUE(kq.logged("peekPE.pdb' successfully parsed")) << kq.log();
  ASSERT_TRUE(kq.stopped()) << kq.state();
  ASSERT_TRUE(closes(kq.run("find main")));
  EXPECT_TRUE(kq.logged("peek: b.dll found main at 00401010, nearest to the next byte main\n",
                        10)) << kq.log();
  EXPECT_FALSE(has(kq.log(), "peek: b.dll load"));  // the reader accepted first
  EXPECT_EQ(0, kq.close());
}
