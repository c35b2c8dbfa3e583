// kq.exe end to end: started from its command line under Wine, read through its log and
// its windows, closed with window messages.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "startup/tests/saved_registry_value.h"
#include "tests/end_to_end/kq_process.h"
#include "util/tests/test_support.h"

// The settings key the runs of kq.exe use, named to them through the environment: one of
// this test program's own, so that the product's key and other tests are left alone.
static std::string settings_key() {
  return "SOFTWARE\\KaquinDebuggerE2E-" + std::to_string(GetCurrentProcessId());
}

// One run of kq.exe in a folder of its own under the build folder (so that runs do not
// share a log).
struct KqRun {
  std::string dir;
  PROCESS_INFORMATION pi = {};

  // Settings for the run go to the registry first; kq keeps them there between runs, so
  // each run sets what it relies on. No warning dialog: nobody would close it.
  static void set_setting(const char *name, const char *value) {
    put_key_setting(settings_key(), name, value);
  }
  bool start(const std::string &arguments, bool inherit = false,
             const char *debuggee_arguments = "") {
    set_setting("ShowFormatWarning", "0");
    set_setting("Arguments", debuggee_arguments);
    static int counter;
    dir = own_folder() + "kq-e2e-" + std::to_string(++counter) + "\\";
    if (!kq_place(own_folder() + KQ_EXE, dir)) return false;
    CreateDirectoryA((dir + "plugin").c_str(), nullptr);
    for (const char *name : {"cvread.dll", "tdsread.dll", "dwarfread.dll"})
      if (with_plugins) CopyFileA((own_folder() + KQ_PLUGINS "\\" + name).c_str(),
                                  (dir + "plugin\\" + name).c_str(), FALSE);
    return kq_run(dir, arguments, &pi, inherit);
  }
  bool with_plugins = false;  // the build's plug-ins beside kq, as the run command has them
  std::string log() const { return read_file(dir + "kq.log"); }
  // Waits until the log holds text; the test machine is slow, so the bound is generous.
  bool wait_log(const char *text, int seconds = 120) const {
    for (int i = 0; i < seconds * 10; i++) {
      if (log().find(text) != std::string::npos) return true;
      if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
        return log().find(text) != std::string::npos;
    }
    return false;
  }
  // The windows of kq, top-level ones and their descendants (the panels sit in the
  // layout's holders), with their class names.
  std::vector<std::pair<HWND, std::string>> windows() const {
    struct Collect { DWORD pid; std::vector<std::pair<HWND, std::string>> found; } c;
    c.pid = pi.dwProcessId;
    EnumWindows([](HWND hwnd, LPARAM arg) WINAPI -> BOOL {
      Collect *c = (Collect *)arg;
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      if (pid != c->pid) return TRUE;
      auto add = [](HWND w, LPARAM arg) WINAPI -> BOOL {
        char cls[64];
        GetClassNameA(w, cls, sizeof cls);
        ((Collect *)arg)->found.push_back({w, cls});
        return TRUE;
      };
      add(hwnd, arg);
      EnumChildWindows(hwnd, add, arg);
      return TRUE;
    }, (LPARAM)&c);
    return c.found;
  }
  HWND main_window() const {
    for (auto &w : windows())
      if (w.second == "Kaquin Debugger") return w.first;
    return nullptr;
  }
  std::string title() const {
    char text[MAX_PATH] = {0};
    GetWindowTextA(main_window(), text, sizeof text);
    return text;
  }
  // Visible top-level windows of kq by class name, as one string "code data ...".
  std::string visible_panels() const {
    std::string names;
    for (auto &w : windows())
      if (IsWindowVisible(w.first)) names += w.second + " ";
    return names;
  }
  void command(int id) const { PostMessageA(main_window(), WM_COMMAND, id, 0); }
  int close() { return kq_close(&pi, main_window()); }
  ~KqRun() {
    if (pi.hProcess) close();
  }
};

// A 24-bit bitmap file of the whole screen, as the user would see it.
static bool screenshot(const std::string &path) {
  HDC screen = GetDC(nullptr);
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void *bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD stride = ((DWORD)w * 3 + 3) & ~3u, size = stride * h;
  BITMAPFILEHEADER fh = {0x4D42, (DWORD)(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                         (DWORD)(sizeof fh + sizeof bi.bmiHeader)};
  FILE *f = fopen(path.c_str(), "wb");
  bool ok = f && fwrite(&fh, sizeof fh, 1, f) && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) &&
            fwrite(bits, size, 1, f);
  if (f) fclose(f);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

// The pauses the log shows after start-up began (the initial breakpoint's comes before).
static int pauses_after_initiate(const std::string &log) {
  size_t at = log.find("EVN_Initiate");
  return at == std::string::npos ? 0 : count_in(log.substr(at), "EVN_Pause at ");
}

// Image base plus entry-point offset from the file's PE header.
static unsigned entry_point_of(const std::string &path) {
  std::string image = read_file(path);
  if (image.size() < 0x40) return 0;
  uint32_t pe = *(const uint32_t *)&image[0x3C];
  if (pe + 0x38 > image.size()) return 0;
  return *(const uint32_t *)&image[pe + 0x34] + *(const uint32_t *)&image[pe + 0x28];
}

static const char kTitle[] = "Kaquin Debugger 1.4  (release May 23 2008)";

const char kX11Driver[] = "Software\\Wine\\X11 Driver";

// The runs' settings key goes at the end, and what a test changed in the shared Wine
// prefix is put back.
class KqEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("KQ_SETTINGS_KEY", settings_key().c_str());
    decorated_.save(HKEY_CURRENT_USER, kX11Driver, "Decorated");
  }
  void TearDown() override {
    decorated_.restore();
    RegDeleteKeyA(HKEY_CURRENT_USER, settings_key().c_str());
    SetEnvironmentVariableA("KQ_SETTINGS_KEY", nullptr);
  }
  // Without a window manager on the test display Wine draws the frames itself when
  // asked, so that the screenshot shows the title bar.
  static void wine_draws_frames() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kX11Driver, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
      return;
    RegSetValueExA(key, "Decorated", 0, REG_SZ, (const BYTE *)"N", 2);
    RegCloseKey(key);
  }
  SavedRegistryValue decorated_;
};

TEST_F(KqEndToEnd, LaunchesTheSampleShowsPanelsAndEnds) {
  wine_draws_frames();
  KqRun kq;
  kq.with_plugins = true;
  std::string sample = own_folder() + KQ_SAMPLE;
  ASSERT_TRUE(kq.start("-maximize -file:\"" + sample + "\""));
  // The DWARF of Wine's own DLLs is read too: minutes in the emulated test machine.
  ASSERT_TRUE(kq.wait_log("EVN_Initiate", 900)) << kq.log();
  // Start-up runs to main, or to the entry point when there is no symbol for it.
  ASSERT_TRUE(wait_for([&] { return pauses_after_initiate(kq.log()) == 1; }, 600)) << kq.log();
  // The plug-ins read the sample's DWARF: the source panel shows sample.c.
  char source[600] = "";
  EXPECT_TRUE(wait_for([&] {
    for (auto &w : kq.windows())
      if (w.second == "source")
        SendMessageTimeoutA(w.first, WM_GETTEXT, sizeof source, (LPARAM)source,
                            SMTO_ABORTIFHUNG, 2000, nullptr);
    return strstr(source, "sample.c") != nullptr;
  }, 600)) << source;
  EXPECT_TRUE(IsZoomed(kq.main_window())) << "the stops keep the window maximised";
  kq.command(10077);  // run on
  ASSERT_TRUE(kq.wait_log("Hello from the sample program")) << kq.log();
  ASSERT_TRUE(kq.wait_log("DEBUG_EVENT: EXIT_PROCESS")) << kq.log();
  EXPECT_TRUE(IsZoomed(kq.main_window()));
  // The rich text's hand over links is the program's own cursor; without it the pointer
  // would vanish there.
  HMODULE program =
      LoadLibraryExA((kq.dir + "kq.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_TRUE(program && LoadCursorA(program, MAKEINTRESOURCEA(670)));
  if (program) FreeLibrary(program);
  EXPECT_EQ(kq.title().find("(no debug information)"), std::string::npos) << kq.title();
  std::string panels = kq.visible_panels();
  for (const char *name : {"code ", "reg ", "source ", "watch ", "log ", "map "})
    EXPECT_NE(panels.find(name), std::string::npos) << name << " in " << panels;
  EXPECT_TRUE(screenshot(own_folder() + "kq_screenshot.bmp"));
  // Commands 10062 and 10100 switch between "Debug" and the animation or one panel (the
  // current one, which the map stays beside).
  struct { int command; const char *shown, *hidden; } switches[] = {
      {10062, "animator ", "code "}, {10062, "code ", "animator "},
      {10100, "map ", "watch "}, {10100, "watch ", "animator "}};
  for (auto &sw : switches) {
    kq.command(sw.command);
    std::string now;
    for (int i = 0; i < 100; i++, Sleep(100)) {
      now = kq.visible_panels();
      if (now.find(sw.shown) != std::string::npos && now.find(sw.hidden) == std::string::npos)
        break;
    }
    EXPECT_NE(now.find(sw.shown), std::string::npos) << sw.command << ": " << now;
    EXPECT_EQ(now.find(sw.hidden), std::string::npos) << sw.command << ": " << now;
  }
  kq.command(10090);  // unload
  ASSERT_TRUE(kq.wait_log("EVN_Unload")) << kq.log();
  for (int i = 0; i < 100 && kq.title() != kTitle; i++) Sleep(100);
  EXPECT_EQ(kq.title(), kTitle);
  EXPECT_TRUE(IsZoomed(kq.main_window()));
  EXPECT_EQ(kq.close(), 0);
  std::string log = kq.log();
  CopyFileA((kq.dir + "kq.log").c_str(), (own_folder() + "kq_session.log").c_str(), FALSE);
  EXPECT_NE(log.find("Processing command to load module '" + sample + "'"), std::string::npos);
  EXPECT_NE(log.find("Creating main window..."), std::string::npos);
  EXPECT_NE(log.find("Shutting down the debugger..."), std::string::npos);
  EXPECT_NE(log.find("Freeing global resources..."), std::string::npos);
  EXPECT_EQ(log.find("] size "), std::string::npos) << log;  // no leaked block
  // The greeting first, the memory status near the end, "Bye!" last.
  EXPECT_EQ(log.find(" 1\tHello from <"), 0u) << log.substr(0, 200);
  EXPECT_NE(log.find("\tCurrent time: "), std::string::npos);
  EXPECT_NE(log.find("~~~ Memory Status ~~~"), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 5), "Bye!\n");
}

TEST_F(KqEndToEnd, HotKeyPausesAndResumesThenUnloadTerminates) {
  KqRun kq;
  std::string debuggee = own_folder() + KQ_DEBUGGEE;
  ASSERT_TRUE(kq.start("\"" + debuggee + "\"", false, "loop"));  // a bare word
  ASSERT_TRUE(wait_for([&] { return pauses_after_initiate(kq.log()) == 1; })) << kq.log();
  char at_entry[64];
  snprintf(at_entry, sizeof at_entry, "EVN_Pause at %X\n", entry_point_of(debuggee));
  EXPECT_NE(kq.log().find(at_entry), std::string::npos) << at_entry << kq.log();
  // The hot key while it runs pauses it; while paused, with the debugger in front, it
  // resumes it (and minimises the debugger, which a display without a window manager
  // does not show); pressed again while it runs, it pauses it again. Whether the debugger
  // counts as in front is up to the display: a press while it is not brings it there, so
  // allow one press more.
  kq.command(10077);
  Sleep(1000);
  PostMessageA(kq.main_window(), WM_HOTKEY, 1, 0);
  ASSERT_TRUE(wait_for([&] { return pauses_after_initiate(kq.log()) == 2; })) << kq.log();
  bool paused_again = false;
  for (int press = 0; press < 3 && !paused_again; press++) {
    PostMessageA(kq.main_window(), WM_HOTKEY, 1, 0);
    paused_again = wait_for([&] { return pauses_after_initiate(kq.log()) == 3; }, 5);
  }
  // Without a window manager Wine may never make the debugger the foreground window;
  // then every press only brings it to the front and the debuggee stays paused.
  if (!paused_again) {
    EXPECT_NE(GetForegroundWindow(), kq.main_window());
    EXPECT_EQ(pauses_after_initiate(kq.log()), 2) << kq.log();
  }
  kq.command(10090);
  ASSERT_TRUE(kq.wait_log("Terminating executable")) << kq.log();
  EXPECT_EQ(kq.close(), 0);
  EXPECT_NE(kq.log().find("default value='" + debuggee + "'"), std::string::npos);
}

TEST_F(KqEndToEnd, AttachesByPidAndSignalsTheEvent) {
  // The program to attach to signals a named event once it runs.
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "kq-e2e-ready");
  std::string line = "\"" + own_folder() + KQ_DEBUGGEE + "\" loop kq-e2e-ready";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION target;
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &target));
  ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
  // The event a crashing program's handler would wait on, inherited by kq.
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE release = CreateEventA(&sa, TRUE, FALSE, nullptr);
  char args[64];
  snprintf(args, sizeof args, "-PID=0x%lX -event=%lu", target.dwProcessId,
           (unsigned long)(uintptr_t)release);
  KqRun kq;
  ASSERT_TRUE(kq.start(args, true));
  ASSERT_TRUE(kq.wait_log("EVN_Load")) << kq.log();
  EXPECT_EQ(WaitForSingleObject(release, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(kq.close(), 0);
  std::string log = kq.log();
  char expected[64];
  snprintf(expected, sizeof expected, "Processing command to open pid '%lu'",
           target.dwProcessId);
  EXPECT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_EQ(log.find("EVN_Initiate"), std::string::npos) << log;  // attach never initiates
  TerminateProcess(target.hProcess, 0);
  CloseHandle(target.hProcess);
  CloseHandle(target.hThread);
  CloseHandle(ready);
  CloseHandle(release);
}

TEST_F(KqEndToEnd, BadCommandLinesLeaveNoDebuggee) {
  struct { const char *args; const char *expected; } cases[] = {
      {"-bogus=1 -file:\"C:\\no\\such\\file.exe", "Cannot open executable"},
      {"-pid=0xFFFFFFF0 -event=99", "Processing command to open pid"},
      {"-pid=123456789012345 /MAXIMIZE", "Starting main loop"},
  };
  for (auto &c : cases) {
    KqRun kq;
    ASSERT_TRUE(kq.start(c.args));
    ASSERT_TRUE(kq.wait_log(c.expected)) << c.args << "\n" << kq.log();
    Sleep(500);
    EXPECT_EQ(kq.title(), kTitle) << c.args;
    std::string panels = kq.visible_panels();
    EXPECT_NE(panels.find("cover "), std::string::npos) << panels;
    EXPECT_EQ(panels.find("code "), std::string::npos) << panels;
    EXPECT_EQ(kq.close(), 0) << c.args;
    EXPECT_EQ(kq.log().find("EVN_Load"), std::string::npos) << c.args;
  }
  KqRun kq;
  ASSERT_TRUE(kq.start("-bogus=1"));
  EXPECT_NE(kq.log().find("WARNING: Unknown parameter name 'bogus'"), std::string::npos);
  EXPECT_EQ(kq.close(), 0);
}
