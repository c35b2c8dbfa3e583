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
#include "tests/support/kq_driver.h"
#include "util/tests/test_support.h"

// The windows of the run's kq, top-level ones and their descendants (the panels sit in
// the layout's holders), with their class names.
static std::vector<std::pair<HWND, std::string>> windows_of(const KqDriver &kq) {
  struct Collect { DWORD pid; std::vector<std::pair<HWND, std::string>> found; } c;
  c.pid = kq.pi.dwProcessId;
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
static std::string title_of(const KqDriver &kq) { return text_of(kq.main); }
// Visible windows of kq by class name, as one string "code data ...".
static std::string visible_panels(const KqDriver &kq) {
  std::string names;
  for (auto &w : windows_of(kq))
    if (IsWindowVisible(w.first)) names += w.second + " ";
  return names;
}
// kq placed in a folder of its own and started, with the debuggee's arguments set first.
static bool start(KqDriver *kq, const std::string &arguments, bool inherit = false,
                  const char *debuggee_arguments = "") {
  if (!kq->place("e2e")) return false;
  kq->set("Arguments", debuggee_arguments);
  return kq->start(arguments, inherit);
}

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

// Image base plus the offset at field of the file's PE header: 0x28 the entry point,
// 0x30 the start of the data.
static unsigned image_address(const std::string &path, uint32_t field) {
  std::string image = read_file(path);
  if (image.size() < 0x40) return 0;
  uint32_t pe = *(const uint32_t *)&image[0x3C];
  if (pe + 0x38 > image.size()) return 0;
  return *(const uint32_t *)&image[pe + 0x34] + *(const uint32_t *)&image[pe + field];
}
static unsigned entry_point_of(const std::string &path) { return image_address(path, 0x28); }

static const char kTitle[] = "Kaquin Debugger 1.4  (release May 23 2008)";

const char kX11Driver[] = "Software\\Wine\\X11 Driver";

// What a test changed in the shared Wine prefix is put back.
class KqEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    decorated_.save(HKEY_CURRENT_USER, kX11Driver, "Decorated");
  }
  void TearDown() override {
    decorated_.restore();
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
  KqDriver kq;
  std::string sample = build_file(kSample);
  // The build's plug-ins beside kq, as the run command has them.
  ASSERT_TRUE(kq.place("e2e"));
  ASSERT_TRUE(kq.use_plugins({"startup\\plugin\\cvread.dll", "startup\\plugin\\tdsread.dll",
                              "startup\\plugin\\dwarfread.dll"}));
  ASSERT_TRUE(kq.start("-maximize -file:\"" + sample + "\""));
  // The DWARF of Wine's own DLLs is read too: minutes in the emulated test machine.
  ASSERT_TRUE(kq.wait_log("EVN_Initiate", nullptr, 900)) << kq.log();
  // Start-up runs to main, or to the entry point when there is no symbol for it.
  ASSERT_TRUE(wait_for([&] { return kq.pauses() == 1; }, 600)) << kq.log();
  // The plug-ins read the sample's DWARF: the source panel shows sample.c.
  const std::string source = kq.child_text("source");
  EXPECT_NE(source.find("sample.c"), std::string::npos) << source;
  EXPECT_TRUE(IsZoomed(kq.main)) << "the stops keep the window maximised";
  kq.command(10077);  // run on
  ASSERT_TRUE(kq.wait_log("Hello from the sample program")) << kq.log();
  ASSERT_TRUE(kq.wait_log("DEBUG_EVENT: EXIT_PROCESS")) << kq.log();
  EXPECT_TRUE(IsZoomed(kq.main));
  // The rich text's hand over links is the program's own cursor; without it the pointer
  // would vanish there.
  HMODULE program =
      LoadLibraryExA((kq.folder + "kq.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_TRUE(program && LoadCursorA(program, MAKEINTRESOURCEA(670)));
  if (program) FreeLibrary(program);
  EXPECT_EQ(title_of(kq).find("(no debug information)"), std::string::npos) << title_of(kq);
  std::string panels = visible_panels(kq);
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
      now = visible_panels(kq);
      if (now.find(sw.shown) != std::string::npos && now.find(sw.hidden) == std::string::npos)
        break;
    }
    EXPECT_NE(now.find(sw.shown), std::string::npos) << sw.command << ": " << now;
    EXPECT_EQ(now.find(sw.hidden), std::string::npos) << sw.command << ": " << now;
  }
  kq.command(10090);  // unload
  ASSERT_TRUE(kq.wait_log("EVN_Unload")) << kq.log();
  for (int i = 0; i < 100 && title_of(kq) != kTitle; i++) Sleep(100);
  EXPECT_EQ(title_of(kq), kTitle);
  EXPECT_TRUE(IsZoomed(kq.main));
  EXPECT_EQ(kq.close(), 0);
  std::string log = kq.log();
  CopyFileA((kq.folder + "kq.log").c_str(), (own_folder() + "kq_session.log").c_str(), FALSE);
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
  KqDriver kq;
  std::string debuggee = build_file(kDebuggee);
  ASSERT_TRUE(start(&kq, "\"" + debuggee + "\"", false, "loop"));  // a bare word
  ASSERT_TRUE(wait_for([&] { return kq.pauses() == 1; })) << kq.log();
  EXPECT_EQ(kq.pause(1), entry_point_of(debuggee)) << kq.log();
  // The hot key while it runs pauses it; while paused, with the debugger in front, it
  // resumes it (and minimises the debugger, which a display without a window manager
  // does not show); pressed again while it runs, it pauses it again. Whether the debugger
  // counts as in front is up to the display: a press while it is not brings it there, so
  // allow one press more.
  kq.command(10077);
  Sleep(1000);
  PostMessageA(kq.main, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(wait_for([&] { return kq.pauses() == 2; })) << kq.log();
  bool paused_again = false;
  for (int press = 0; press < 3 && !paused_again; press++) {
    PostMessageA(kq.main, WM_HOTKEY, 1, 0);
    paused_again = wait_for([&] { return kq.pauses() == 3; }, 5);
  }
  // Without a window manager Wine may never make the debugger the foreground window;
  // then every press only brings it to the front and the debuggee stays paused.
  if (!paused_again) {
    EXPECT_NE(GetForegroundWindow(), kq.main);
    EXPECT_EQ(kq.pauses(), 2) << kq.log();
  }
  kq.command(10090);
  ASSERT_TRUE(kq.wait_log("Terminating executable")) << kq.log();
  EXPECT_EQ(kq.close(), 0);
  EXPECT_NE(kq.log().find("default value='" + debuggee + "'"), std::string::npos);
}

TEST_F(KqEndToEnd, AttachesByPidAndSignalsTheEvent) {
  // The program to attach to signals a named event once it runs.
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "kq-e2e-ready");
  std::string line = "\"" + build_file(kDebuggee) + "\" loop kq-e2e-ready";
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
  KqDriver kq;
  ASSERT_TRUE(start(&kq, args, true));
  ASSERT_TRUE(kq.wait_log("EVN_Load")) << kq.log();
  EXPECT_EQ(WaitForSingleObject(release, 60000), WAIT_OBJECT_0);
  // The data panel stands at the program's data, as after a launch.
  char data[16];
  snprintf(data, sizeof data, "%08X ", image_address(build_file(kDebuggee), 0x30));
  EXPECT_TRUE(wait_for([&] {
    return text_of(process_child(kq.pi.dwProcessId, "data")).find(data) == 0;
  }, 20)) << text_of(process_child(kq.pi.dwProcessId, "data"));
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
    KqDriver kq;
    ASSERT_TRUE(start(&kq, c.args));
    ASSERT_TRUE(kq.wait_log(c.expected)) << c.args << "\n" << kq.log();
    Sleep(500);
    EXPECT_EQ(title_of(kq), kTitle) << c.args;
    std::string panels = visible_panels(kq);
    EXPECT_NE(panels.find("cover "), std::string::npos) << panels;
    EXPECT_EQ(panels.find("code "), std::string::npos) << panels;
    EXPECT_EQ(kq.close(), 0) << c.args;
    EXPECT_EQ(kq.log().find("EVN_Load"), std::string::npos) << c.args;
    // An unknown parameter is named in the log, and the rest of the line still counts.
    EXPECT_EQ(strncmp(c.args, "-bogus", 6) == 0,
              kq.log().find("WARNING: Unknown parameter name 'bogus'") != std::string::npos)
        << c.args;
  }
}
