// The whole life of a package under Wine, driven as a user would through window messages to
// the wizard's buttons: our own product's installer installs into a folder of the test,
// every file is compared with the build, the shortcuts are read back through the shell,
// the registry values checked, the installed debugger started from its shortcut and closed,
// and the uninstaller removes exactly what was installed. A package of the test's own
// shows a cancelled installation and one stopped by a file in use leaving nothing behind.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <strings.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/setup_ids.h"
#include "setup/tests/setup_fixture.h"
#include "startup/tests/saved_registry_value.h"
#include "tests/support/kq_driver.h"

static const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
static const char kDllOverrides[] = "Software\\Wine\\DllOverrides";
static const char kPending[] = "System\\CurrentControlSet\\Control\\Session Manager";

static std::string special_folder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

// A visible top-level window of the process with this title, or with this class when the
// title is null.
static HWND find_window(DWORD pid, const char *title, const char *cls = nullptr) {
  struct Find { DWORD pid; const char *title, *cls; HWND found; } f = {pid, title, cls, nullptr};
  EnumWindows([](HWND w, LPARAM arg) WINAPI -> BOOL {
    Find *f = (Find *)arg;
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char text[256];
    if (f->title)
      GetWindowTextA(w, text, sizeof text);
    else
      GetClassNameA(w, text, sizeof text);
    if (owner != f->pid || !IsWindowVisible(w) || strcmp(text, f->title ? f->title : f->cls))
      return TRUE;
    f->found = w;
    return FALSE;
  }, (LPARAM)&f);
  return f.found;
}

// A visible control with this number anywhere below the window.
static HWND find_control(HWND top, int id) {
  struct Find { int id; HWND found; } f = {id, nullptr};
  EnumChildWindows(top, [](HWND w, LPARAM arg) WINAPI -> BOOL {
    Find *f = (Find *)arg;
    if (GetDlgCtrlID(w) != f->id || !IsWindowVisible(w)) return TRUE;
    f->found = w;
    return FALSE;
  }, (LPARAM)&f);
  return f.found;
}

// WM_GETTEXT, since GetWindowText does not read the controls of another process.
static std::string window_text(HWND w) {
  char text[MAX_PATH] = {};
  SendMessageA(w, WM_GETTEXT, sizeof text, (LPARAM)text);
  return text;
}

static void click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

// The window, raised above the other programs on the shared display and given time to
// paint, into a PNG beside the test program by ImageMagick's import.
static void screenshot(const std::string &name, HWND window) {
  char display[64];
  if (!GetEnvironmentVariableA("DISPLAY", display, sizeof display) || !window) return;
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  Sleep(500);
  RECT r;
  GetWindowRect(window, &r);
  std::string path = own_folder().substr(2) + name;  // drive Z: is the machine's root
  for (char &c : path)
    if (c == '\\') c = '/';
  char crop[96];
  snprintf(crop, sizeof crop, " -crop %ldx%ld+%ld+%ld ", r.right - r.left + 8, r.bottom - r.top + 28,
           r.left > 4 ? r.left - 4 : 0, r.top > 24 ? r.top - 24 : 0);
  std::string line =
      std::string("/usr/bin/import -window root -display ") + display + crop + path;
  std::string file = own_folder() + name;
  DeleteFileA(file.c_str());
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  // Wine starts a Unix program without a process handle and with a thread "handle" that is
  // none: closing it would close one of ours. So nothing is closed; the picture is awaited.
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  if (pi.hProcess) {
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  size_t last = 0;
  wait_for([&] {
    size_t size = exists(file) ? read_bytes(file).size() : 0;
    bool done = size > 0 && size == last;
    last = size;
    return done;
  }, 20);
}

struct Process {
  PROCESS_INFORMATION pi = {};
  bool start(const std::string &program, const std::string &args, const std::string &dir) {
    std::string line = "\"" + program + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                          dir.empty() ? nullptr : dir.c_str(), &si, &pi);
  }
  // The exit code, -2 when it did not end within the time (it is then ended).
  int wait(int seconds = 120) {
    DWORD code = (DWORD)-2;
    if (WaitForSingleObject(pi.hProcess, seconds * 1000) == WAIT_OBJECT_0)
      GetExitCodeProcess(pi.hProcess, &code);
    else
      TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    pi = {};
    return (int)code;
  }
  ~Process() {
    if (pi.hProcess) wait(0);
  }
};

struct Shortcut {
  bool read;
  std::string target, arguments, folder, description;
};

static Shortcut read_shortcut(const std::string &path) {
  Shortcut s = {false, "", "", "", ""};
  IShellLinkA *link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              (void **)&link)))
    return s;
  IPersistFile *file = nullptr;
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file)) &&
      SUCCEEDED(file->Load(wide, STGM_READ))) {
    char text[MAX_PATH];
    s.read = true;
    if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH))) s.target = text;
    if (SUCCEEDED(link->GetArguments(text, sizeof text))) s.arguments = text;
    if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) s.folder = text;
    if (SUCCEEDED(link->GetDescription(text, sizeof text))) s.description = text;
  }
  if (file) file->Release();
  link->Release();
  return s;
}

// A string value, "<none>" when the key or the value is missing.
static std::string registry_value(HKEY root, const std::string &key, const char *name) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data;
  if (RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return "<none>";
  return data;
}

static bool key_exists(HKEY root, const std::string &key) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

static std::string special_temp() {
  char path[MAX_PATH] = {};
  GetTempPathA(sizeof path, path);
  return path;
}

// The installer's temporary copies ("del*.exe") and their logs in the temporary folder.
static std::vector<std::string> temporary_copies() {
  std::vector<std::string> names;
  g_setup_files.list(special_temp().c_str(), "del*.*",
                     [](const char *name, uint32_t, bool, void *c) {
                       ((std::vector<std::string> *)c)->push_back(name);
                     },
                     &names);
  return names;
}

class SetupLife : public testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    scratch_ = own_folder() + "setup_life_" + std::to_string(GetCurrentProcessId());
    remove_tree(scratch_);
    ASSERT_TRUE(setup_make_folders(&g_setup_files, scratch_.c_str()));
    // Shortcuts are not turned into menu entries of the machine running Wine: Wine's
    // shortcut writer is switched off (an empty load order) while the test runs.
    menu_builder_.save(HKEY_CURRENT_USER, kDllOverrides, "winemenubuilder.exe");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kDllOverrides, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, "winemenubuilder.exe", 0, REG_SZ, (const BYTE *)"", 1);
    RegCloseKey(key);
    pending_.save(HKEY_LOCAL_MACHINE, kPending, "PendingFileRenameOperations");
    copies_before_ = temporary_copies();
  }
  void TearDown() override {
    // What a failed run left of an installation the prefix did not have before it.
    for (const auto &key : absent_keys_) RegDeleteTreeA(key.first, key.second.c_str());
    for (const std::string &path : absent_paths_) {
      remove_tree(path);
      DeleteFileA(path.c_str());
    }
    // The uninstaller's copy asked to be deleted at the next start of the system: the test
    // deletes it now and takes the request back.
    pending_.restore();
    // The copy may still be ending when its log says goodbye: its file goes once it has.
    for (const std::string &name : temporary_copies())
      if (std::find(copies_before_.begin(), copies_before_.end(), name) == copies_before_.end()) {
        std::string path = join(special_temp(), name);
        EXPECT_TRUE(wait_for([&] { return DeleteFileA(path.c_str()) || !exists(path); }, 30)) << path;
      }
    menu_builder_.restore();
    remove_tree(scratch_);
    CoUninitialize();
  }

  // Runs the installer through Welcome, the licence when there is one, and Path with the
  // folder typed in, then presses Install; gives the frame.
  HWND wizard_to_install(Process *setup, const std::string &title, const std::string &folder,
                         bool license, const char *shots) {
    HWND frame = nullptr;
    EXPECT_TRUE(wait_for([&] { return (frame = find_window(setup->pi.dwProcessId, title.c_str())); }));
    if (!frame) return nullptr;
    EXPECT_TRUE(wait_for([&] { return find_control(frame, IDC_LOGO) != nullptr; }));
    EXPECT_EQ(find_control(frame, IDC_BACK), nullptr);  // not on the first page
    if (shots) screenshot(std::string(shots) + "_1_welcome.png", frame);
    click(GetDlgItem(frame, IDC_NEXT));
    if (license) {
      HWND accept = nullptr;
      EXPECT_TRUE(wait_for([&] { return (accept = find_control(frame, IDC_ACCEPT)); }));
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, IDC_NEXT)));
      click(accept);
      EXPECT_TRUE(wait_for([&] { return IsWindowEnabled(GetDlgItem(frame, IDC_NEXT)) != 0; }));
      if (shots) screenshot(std::string(shots) + "_2_license.png", frame);
      click(GetDlgItem(frame, IDC_NEXT));
    }
    HWND edit = nullptr;
    EXPECT_TRUE(wait_for([&] { return (edit = find_control(frame, IDC_FOLDER)); }));
    if (!edit) return nullptr;
    if (!license) {
      // Back passes over the missing licence too.
      click(GetDlgItem(frame, IDC_BACK));
      EXPECT_TRUE(wait_for([&] { return find_control(frame, IDC_LOGO) != nullptr; }));
      click(GetDlgItem(frame, IDC_NEXT));
      EXPECT_TRUE(wait_for([&] { return find_control(frame, IDC_FOLDER) == edit; }));
    }
    default_folder_ = window_text(edit);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)folder.c_str());
    if (shots) screenshot(std::string(shots) + "_3_path.png", frame);
    click(GetDlgItem(frame, IDC_INSTALL));
    return frame;
  }

  std::string scratch_, default_folder_;
  SavedRegistryValue pending_, menu_builder_;
  std::vector<std::pair<HKEY, std::string>> absent_keys_;
  std::vector<std::string> absent_paths_;
  std::vector<std::string> copies_before_;
};

// kq's main window of the process running this program file.
static HWND window_of_program(const std::string &program) {
  struct Find { const char *program; HWND found; } f = {program.c_str(), nullptr};
  EnumWindows([](HWND w, LPARAM arg) WINAPI -> BOOL {
    Find *f = (Find *)arg;
    char name[64], path[MAX_PATH] = {};
    GetClassNameA(w, name, sizeof name);
    if (strcmp(name, "Kaquin Debugger")) return TRUE;
    DWORD pid = 0, size = sizeof path;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return TRUE;
    bool ours = QueryFullProcessImageNameA(process, 0, path, &size) && !strcasecmp(path, f->program);
    CloseHandle(process);
    if (!ours) return TRUE;
    f->found = w;
    return FALSE;
  }, (LPARAM)&f);
  return f.found;
}

// Closes a program's main window and gives its exit code (-2 when it did not end).
static int close_program(HWND main) {
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return -2;
  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = (DWORD)-2;
  if (WaitForSingleObject(process, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return (int)code;
}

static bool checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

TEST_F(SetupLife, OurProductFromInstallationToUninstallation) {
  const std::string product = "Kaquin Debugger";
  const std::string user_key = "Software\\" + product, uninstall_key = kUninstallKey + product;
  const std::string menu = join(special_folder(CSIDL_PROGRAMS), product);
  const std::string desktop_link = join(special_folder(CSIDL_DESKTOPDIRECTORY), product + ".lnk");
  // The test would take away an installation the prefix already has.
  ASSERT_FALSE(key_exists(HKEY_CURRENT_USER, user_key)) << "uninstall " << product << " first";
  ASSERT_FALSE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key)) << "uninstall " << product << " first";
  ASSERT_EQ(g_setup_files.folder_state(menu.c_str()), 0) << menu;
  ASSERT_FALSE(exists(desktop_link)) << desktop_link;
  absent_keys_ = {{HKEY_CURRENT_USER, user_key}, {HKEY_LOCAL_MACHINE, uninstall_key}};
  absent_paths_ = {menu, desktop_link};

  // The debugger the wizard launches at the end and the one started from the shortcut keep
  // their settings under a key of the test's own.
  std::string settings = "SOFTWARE\\KaquinDebuggerSetupTest-" + std::to_string(GetCurrentProcessId());
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", settings.c_str());
  absent_keys_.push_back({HKEY_CURRENT_USER, settings});
  // The build compiled our installer on the build machine; setup.exe compiles the same
  // script and files into the same bytes.
  std::string recompiled = join(scratch_, "kq-setup.exe");
  Process compile;
  ASSERT_TRUE(compile.start(own_folder() + "setup.exe",
                            "-PACK=kq-setup -OUT=" + recompiled + " -SOURCE=kq-package -SILENT",
                            own_folder()));
  EXPECT_EQ(compile.wait(), 0);
  std::string package = read_bytes(own_folder() + KQ_SETUP_PACKAGE);
  EXPECT_GT(package.size(), 1000000u);
  EXPECT_TRUE(read_bytes(recompiled) == package);

  const std::string folder = join(scratch_, product);
  Process setup;
  ASSERT_TRUE(setup.start(own_folder() + KQ_SETUP_PACKAGE, "", scratch_));
  HWND frame = wizard_to_install(&setup, product + " Setup", folder, true, "setup");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(default_folder_, join(special_folder(CSIDL_PROGRAM_FILES), product));
  HWND progress = nullptr;
  EXPECT_TRUE(wait_for([&] {
    return (progress = find_window(setup.pi.dwProcessId, ("Installing " + product).c_str()));
  }));
  screenshot("setup_4_progress.png", progress);
  HWND launch = nullptr;
  ASSERT_TRUE(wait_for([&] { return (launch = find_control(frame, IDC_LAUNCH)); }));
  EXPECT_TRUE(checked(launch));
  EXPECT_EQ(window_text(launch), "Launch " + product);
  screenshot("setup_5_final.png", frame);
  click(GetDlgItem(frame, IDC_FINISH));
  EXPECT_EQ(setup.wait(), 0);
  // Finish with "Launch" checked hands over to the installed debugger.
  HWND launched = nullptr;
  EXPECT_TRUE(wait_for([&] { return (launched = window_of_program(join(folder, "kq.exe"))); }));
  EXPECT_EQ(close_program(launched), 0);
  EXPECT_NE(read_bytes(join(folder, "kq.log")).find("Bye!"), std::string::npos);

  // Every file as the build made it, and the uninstaller beginning with setup.exe.
  std::string build = own_folder() + KQ_BUILD;
  const struct {
    const char *installed;
    std::string built;
  } files[] = {
      {".layout", KQ_SOURCE "/ui/default.layout"},
      {"kq.exe", build + "startup\\kq.exe"},
      {"kq.map", build + "startup\\kq.map"},
      {"kqplugin.h", KQ_SOURCE "/plugin_host/kqplugin.h"},
      {"plugin\\cvread.dll", build + "plugins\\cvread.dll"},
      {"plugin\\cvread.map", build + "plugins\\cvread.map"},
      {"plugin\\tdsread.dll", build + "plugins\\tdsread.dll"},
      {"plugin\\tdsread.map", build + "plugins\\tdsread.map"},
      {"plugin\\dwarfread.dll", build + "plugins\\dwarfread.dll"},
      {"plugin\\dwarfread.map", build + "plugins\\dwarfread.map"},
  };
  std::vector<std::string> expected;
  for (const auto &f : files) {
    std::string bytes = read_bytes(f.built);
    EXPECT_GT(bytes.size(), 100u) << f.built;
    EXPECT_TRUE(read_bytes(join(folder, f.installed)) == bytes) << f.installed;
    expected.push_back(f.installed);
  }
  expected.push_back("uninst.exe");
  expected.push_back("kq.log");  // the launched debugger's
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(tree(folder), expected);
  std::string image = read_bytes(own_folder() + "setup.exe");
  EXPECT_EQ(read_bytes(join(folder, "uninst.exe")).substr(0, image.size()), image);

  // Shortcuts, read back through the shell.
  const struct {
    std::string link, target;
  } links[] = {
      {join(menu, product + ".lnk"), join(folder, "kq.exe")},
      {join(menu, "Plug-in interface.lnk"), join(folder, "kqplugin.h")},
      {join(menu, "Uninstall.lnk"), join(folder, "uninst.exe")},
      {desktop_link, join(folder, "kq.exe")},
  };
  for (const auto &l : links) {
    Shortcut s = read_shortcut(l.link);
    EXPECT_TRUE(s.read) << l.link;
    EXPECT_STRCASEEQ(s.target.c_str(), l.target.c_str()) << l.link;
    EXPECT_EQ(s.arguments, "") << l.link;
    EXPECT_STRCASEEQ(s.folder.c_str(), folder.c_str()) << l.link;
    std::string title = l.link.substr(l.link.find_last_of('\\') + 1);
    EXPECT_EQ(s.description + ".lnk", title) << l.link;
  }

  // Registry values: the uninstall entry and the product's own values.
  EXPECT_EQ(registry_value(HKEY_LOCAL_MACHINE, uninstall_key, "UninstallString"),
            join(folder, "uninst.exe"));
  EXPECT_EQ(registry_value(HKEY_LOCAL_MACHINE, uninstall_key, "DisplayName"), product);
  EXPECT_EQ(registry_value(HKEY_CURRENT_USER, user_key, "InstallPath"), folder);
  std::string date = registry_value(HKEY_CURRENT_USER, user_key, "InstallDate");
  ASSERT_EQ(date.size(), 19u) << date;  // "MM.dd.yyyy HH:mm:ss"
  const char shape[] = "00.00.0000 00:00:00";
  for (size_t i = 0; i < date.size(); i++)
    EXPECT_TRUE(shape[i] == '0' ? isdigit((unsigned char)date[i]) != 0 : date[i] == shape[i]) << date;

  // The installed debugger, started from its shortcut, runs and ends.
  Shortcut start = read_shortcut(join(menu, product + ".lnk"));
  KqDriver kq;  // the shortcut starts kq.exe in its own folder, as checked above
  kq.folder = start.folder + "\\";
  kq.settings_key = settings;
  ASSERT_TRUE(kq.start(""));
  EXPECT_EQ(kq.close(), 0);
  SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
  EXPECT_NE(read_bytes(join(folder, "kq.log")).find("Bye!"), std::string::npos);

  // What the user put in the folder stays; everything installed goes.
  ASSERT_TRUE(write_bytes(join(folder, "notes.txt"), "mine"));
  ASSERT_TRUE(write_bytes(join(folder, "plugin\\mine.map"), "mine too"));
  Process uninstaller;
  ASSERT_TRUE(uninstaller.start(join(folder, "uninst.exe"), "", folder));
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] {
    return (box = find_window(uninstaller.pi.dwProcessId, "Confirm uninstallation"));
  }));
  EXPECT_EQ(window_text(GetDlgItem(box, 0xFFFF)), "Do You want to uninstall " + product);
  screenshot("setup_6_uninstall.png", box);
  click(GetDlgItem(box, IDYES));
  EXPECT_EQ(uninstaller.wait(), 0);
  // The copy in the temporary folder does the work and says goodbye in its log.
  std::string copy_log;
  EXPECT_TRUE(wait_for([&] {
    for (const std::string &name : temporary_copies()) {
      if (name.size() < 4 || name.substr(name.size() - 4) != ".log") continue;
      if (std::find(copies_before_.begin(), copies_before_.end(), name) != copies_before_.end()) continue;
      copy_log = read_bytes(join(special_temp(), name));
      if (copy_log.find("Bye!") != std::string::npos) return true;
    }
    return false;
  }));
  EXPECT_NE(copy_log.find("SETUP MODE: uninstall"), std::string::npos);
  std::vector<std::string> kept = {"notes.txt", "plugin\\mine.map"};
  EXPECT_EQ(tree(folder), kept);
  EXPECT_EQ(g_setup_files.folder_state(menu.c_str()), 0);
  EXPECT_FALSE(exists(desktop_link));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, user_key));
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
}

// A package of the test's own, without a licence, with names of its own in the start menu,
// on the desktop and in the registry.
class SetupStopped : public SetupLife {
 protected:
  void SetUp() override {
    SetupLife::SetUp();
    product_ = "KqSetupTest " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(setup_make_folders(&g_setup_files, join(scratch_, "src").c_str()));
    ASSERT_TRUE(write_bytes(join(scratch_, "src\\small.txt"), "small"));
    ASSERT_TRUE(write_bytes(join(scratch_, "src\\big.bin"), std::string(4 << 20, 'b')));
    package_ = compile("set $PRODUCT=\"" + product_ + "\";\nset $REGKEY=\"" + product_ +
                       "\";\nmenu \"$PRODUCT\", small.txt;\ndesk \"$PRODUCT\", small.txt;\n"
                       "local Where, \"$PATH\";\nfile small.txt;\nfile big.bin;\n",
                       "test");
  }
  // Compiles the script tail with setup.exe into scratch\name-setup.exe from scratch\src.
  std::string compile(const std::string &tail, const std::string &name) {
    EXPECT_TRUE(write_bytes(join(scratch_, name + ".bat"), "#pack\n" + tail));
    Process compile;
    EXPECT_TRUE(compile.start(own_folder() + "setup.exe",
                              "-PACK=" + name + " -OUT=" + name + "-setup.exe -SOURCE=src -SILENT",
                              scratch_));
    EXPECT_EQ(compile.wait(), 0);
    return join(scratch_, name + "-setup.exe");
  }
  void expect_nothing_left(const std::string &folder, const std::vector<std::string> &kept) {
    EXPECT_EQ(tree(folder), kept);
    if (kept.empty()) {
      EXPECT_EQ(g_setup_files.folder_state(folder.c_str()), 0) << folder;
    }
    EXPECT_EQ(g_setup_files.folder_state(join(special_folder(CSIDL_PROGRAMS), product_).c_str()), 0);
    EXPECT_FALSE(exists(join(special_folder(CSIDL_DESKTOPDIRECTORY), product_ + ".lnk")));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, "Software\\" + product_));
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallKey + product_));
    EXPECT_NE(read_bytes(join(scratch_, "test-setup.log")).find("Installation stopped: taking away"),
              std::string::npos);
  }
  std::string product_, package_;
};

TEST_F(SetupStopped, CancelledByTheUser) {
  std::string folder = join(scratch_, "cancelled");
  Process setup;
  ASSERT_TRUE(setup.start(package_, "", scratch_));
  // Without a licence the wizard goes from Welcome straight to Path.
  HWND frame = wizard_to_install(&setup, product_ + " Setup", folder, false, nullptr);
  ASSERT_NE(frame, nullptr);
  HWND progress = nullptr;
  ASSERT_TRUE(wait_for([&] {
    return (progress = find_window(setup.pi.dwProcessId, ("Installing " + product_).c_str()));
  }));
  click(GetDlgItem(progress, IDCANCEL));
  HWND box = nullptr;
  ASSERT_TRUE(wait_for([&] { return (box = find_window(setup.pi.dwProcessId, "Confirm exit")); }));
  screenshot("setup_7_cancel.png", box);
  click(GetDlgItem(box, IDYES));
  EXPECT_EQ(setup.wait(), 0);
  expect_nothing_left(folder, {});
}

TEST_F(SetupStopped, AFileInUse) {
  std::string folder = join(scratch_, "busy");
  ASSERT_TRUE(setup_make_folders(&g_setup_files, folder.c_str()));
  ASSERT_TRUE(write_bytes(join(folder, "big.bin"), "the user's"));
  HANDLE busy = CreateFileA(join(folder, "big.bin").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  Process setup;
  ASSERT_TRUE(setup.start(package_, "", scratch_));
  ASSERT_NE(wizard_to_install(&setup, product_ + " Setup", folder, false, nullptr), nullptr);
  // The user is told why, and the exit code says it failed.
  HWND box = nullptr;
  ASSERT_TRUE(wait_for(
      [&] { return (box = find_window(setup.pi.dwProcessId, "Installation failed")) != nullptr; }));
  screenshot("setup_8_failed.png", box);
  char text[512] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_EQ(std::string(text),
            "The installation failed:\nCannot create '" + join(folder, "big.bin") + "'");
  click(GetDlgItem(box, IDOK));
  EXPECT_EQ(setup.wait(), 1);
  CloseHandle(busy);
  expect_nothing_left(folder, {"big.bin"});
  EXPECT_EQ(read_bytes(join(folder, "big.bin")), "the user's");
}

// Damaged packages started as installers do nothing but say why in their log.
TEST_F(SetupStopped, DamagedPackagesInstallNothing) {
  std::string escaping = compile("file small.txt, \"..\\outside\";\n", "escaping");
  std::string bytes = read_bytes(package_);
  for (int i = 0; i < 4; i++) bytes[bytes.size() - 12 + i] = (char)0xEE;  // header far outside
  std::string lost = join(scratch_, "lost-setup.exe");
  ASSERT_TRUE(write_bytes(lost, bytes));
  const struct {
    std::string package, log, says;
  } cases[] = {
      {escaping, "escaping-setup.log", "Refused file '..\\outside\\small.txt': its path leaves"},
      {lost, "lost-setup.log", "The package is damaged: the trailer names no header"},
  };
  for (const auto &c : cases) {
    Process setup;
    ASSERT_TRUE(setup.start(c.package, "", scratch_));
    EXPECT_EQ(setup.wait(), 0) << c.package;
    EXPECT_NE(read_bytes(join(scratch_, c.log)).find(c.says), std::string::npos) << c.log;
  }
  EXPECT_EQ(g_setup_files.folder_state(join(scratch_, "outside").c_str()), 0);
  EXPECT_EQ(g_setup_files.folder_state(join(special_folder(CSIDL_PROGRAM_FILES), "outside").c_str()), 0);
}
