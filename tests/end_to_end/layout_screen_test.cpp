// kq.exe's screen seen from outside: its holder windows and the panel windows in them,
// found by class name, against the rectangles that the layout core computes for the same
// script at the size the holder has on screen; the switch commands followed through the
// holder dumps and the focus lines of the log. One kq run per situation, many checks each.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/kq_driver.h"
#include "tests/support/kq_keyboard.h"
#include "ui/layout_drag.h"
#include "ui/tests/layout_test_support.h"
#include "util/picture_win32.h"

namespace {

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, [](HWND w, LPARAM arg) WINAPI -> BOOL {
    ((std::vector<HWND> *)arg)->push_back(w);
    return TRUE;
  }, (LPARAM)&found);
  return found;
}

bool class_is(HWND w, const char *name) {
  char cls[64] = {0};
  GetClassNameA(w, cls, sizeof cls);
  return !strcmp(cls, name);
}

// The window's rectangle in the client coordinates of another.
RECT rect_in(HWND w, HWND in) {
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, in, (POINT *)&r, 2);
  return r;
}

std::string text_of(const RECT &r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
         " " + std::to_string(r.bottom);
}

// A run of kq.exe in a folder of its own with a ".layout" there, the debuggee beside it.
struct KqRun : KqDriver {
  bool start_with(const char *name, const std::string &script, const char *arguments) {
    if (!place(name) || !set("Arguments", "loop") || copy_in(kDebuggee).empty()) return false;
    FILE *f = fopen((folder + ".layout").c_str(), "wb");
    if (!f) return false;
    fwrite(script.data(), 1, script.size(), f);
    fclose(f);
    return start(arguments);
  }
  // Once kq has taken what was posted so far: the focus line.
  std::string focused() { return settle(120) ? focus : ""; }
  // The holder windows the main window shows (one is expected).
  std::vector<HWND> shown_holders() const {
    std::vector<HWND> shown;
    for (HWND w : descendants(main))
      if (class_is(w, "section_holder") && GetParent(w) == main && IsWindowVisible(w))
        shown.push_back(w);
    return shown;
  }
  // The id of the last holder dumped into the log.
  std::string dumped_holder() const {
    std::string text = log();
    size_t at = text.rfind("\tDump of Holder '");
    if (at == std::string::npos) return "";
    at += 17;
    return text.substr(at, text.find('\'', at) - at);
  }
};

class LayoutScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    script_ = default_script();
    ASSERT_EQ(read_script(&layout_, script_), LAYOUT_LOADED);
  }
  void TearDown() override {
    layout_free(&layout_);
  }

  // The one holder on screen: it fills the main window between the function-key bar
  // (18 pixels) and the status bar (19), and every panel of the holder's sections sits
  // in it where the core lays it out at the holder's client size.
  HWND check_holder(KqRun &kq, const char *id) {
    std::vector<HWND> shown = kq.shown_holders();
    EXPECT_EQ(shown.size(), 1u) << id;
    if (shown.size() != 1) return nullptr;
    HWND holder = shown[0];
    RECT client;
    GetClientRect(kq.main, &client);
    RECT expected = {0, 18, client.right, client.bottom - 19};
    EXPECT_EQ(text_of(rect_in(holder, kq.main)), text_of(expected)) << id;
    Holder *h = holder_named(&layout_, id);
    EXPECT_NE(h, nullptr) << id;
    if (!h) return nullptr;
    RECT size;
    GetClientRect(holder, &size);
    layout_relayout(h, size.right, size.bottom);
    check_panels(holder, h);
    return holder;
  }
  void check_panels(HWND holder, Holder *h) {
    std::vector<HWND> inside = descendants(holder);
    for (int i = 0; i < h->secnum; i++) {
      Section *s = h->sections[i];
      HWND panel = nullptr;
      for (HWND w : inside)
        if (class_is(w, s->id)) panel = w;
      EXPECT_NE(panel, nullptr) << h->id << ": " << s->id;
      if (!panel) continue;
      EXPECT_TRUE(IsWindowVisible(panel)) << h->id << ": " << s->id;
      LayoutRect r = layout_panel_rect(s);
      EXPECT_EQ(text_of(rect_in(panel, holder)), text_of(RECT{r.left, r.top, r.right, r.bottom}))
          << h->id << ": " << s->id;
    }
  }
  // The panel window of that class in the holder, as the log's focus line writes it.
  static std::string handle_text(HWND holder, const char *cls) {
    for (HWND w : descendants(holder))
      if (class_is(w, cls)) {
        char text[16];
        snprintf(text, sizeof text, "%X", (unsigned)(uintptr_t)w);
        return text;
      }
    return "none";
  }

  std::string script_;
  Layout layout_ = {};
};

// The switch commands from the start of a debuggee, the holder each brings (most recently
// used order) and the panel that then has the focus: 10074 next layout, 10100 maximize,
// 10062 animation, 10087 swap, 10063-10068 focus code, data, log, CPU, source, watch.
struct SwitchStep {
  int command;
  const char *holder, *current;
};
const SwitchStep kSwitchSteps[] = {
    {10074, "SourceCode", "source"},     {10074, "Disassemble", "code"},
    {10100, "MaximizeCode", "code"},     {10100, "Disassemble", "code"},
    {10087, "MaximizeCode", "code"},     {10087, "Disassemble", "code"},
    {10062, "Animation", "animator"},    {10062, "Disassemble", "code"},
    {10067, "SourceCode", "source"},     {10064, "Disassemble", "data"},
    {10100, "MaximizeData", "data"},     {10100, "Disassemble", "data"},
    {10074, "CodeLeftRight", "source"},  {10074, "CodeTopBottom", "source"},
    {10065, "CodeTopBottom", "log"},     {10100, "MaximizeLog", "log"},
    {10100, "CodeTopBottom", "log"},     {10068, "CodeTopBottom", "watch"},
    {10100, "MaximizeWatch", "watch"},   {10100, "CodeTopBottom", "watch"},
    {10066, "CodeTopBottom", "reg"},     {10100, "MaximizeReg", "reg"},
    {10100, "CodeTopBottom", "reg"},     {10067, "CodeTopBottom", "source"},
    {10100, "MaximizeSource", "source"}, {10100, "CodeTopBottom", "source"},
};

// The keys a user presses for those commands.
struct SwitchKey {
  int command;
  uint8_t modifiers;
  UINT key;
};
const SwitchKey kSwitchKeys[] = {
    {10074, 0, VK_F4},           {10100, 0, VK_F3},           {10062, 0, VK_F5},
    {10087, 0, VK_TAB},          {10067, KEYMOD_CTRL, VK_F1}, {10063, KEYMOD_CTRL, VK_F2},
    {10064, KEYMOD_CTRL, VK_F3}, {10065, KEYMOD_CTRL, VK_F4}, {10066, KEYMOD_CTRL, VK_F5},
    {10068, KEYMOD_CTRL, VK_F6},
};

// The first time a holder is seen, the screen is saved for a person to look at.
void save_screen(const KqRun &kq, std::vector<std::string> *seen, const std::string &id) {
  for (const std::string &s : *seen)
    if (s == id) return;
  seen->push_back(id);
  // Once kq waits for input it has painted; Wine then shows it on the display.
  WaitForInputIdle(kq.pi.hProcess, 10000);
  Sleep(500);
  screenshot(("layout_" + id + ".png").c_str());
}

}  // namespace

TEST_F(LayoutScreen, WithoutDebuggeeTheCoverFillsTheWindowEvenFromABrokenScript) {
  KqRun kq;
  // A typing error in the user's script: he is told where, and the built-in script stands
  // in.
  ASSERT_TRUE(
      kq.start_with("layout-cover", "<< a broken script >>\n<holder id=x>\n</section>\n", ""));
  HWND told = nullptr;
  ASSERT_TRUE(wait_for([&] {
    return (told = process_window(kq.pi.dwProcessId, "#32770", "Layout script")) != nullptr;
  }, 60));
  EXPECT_EQ(text_of(GetDlgItem(told, 0xFFFF)),
            "The layout script '.layout' cannot be used:\nUnexpected close tag class: holder -> "
            "section in line 3\n\nThe built-in layout is used instead.");
  Sleep(500);
  screenshot("layout_error.png");
  PostMessageA(told, WM_COMMAND, IDOK, 0);
  kq.focused();
  std::string log = kq.log();
  EXPECT_NE(log.find("Parsing layout script '.layout'"), std::string::npos) << log;
  EXPECT_NE(log.find("Error:Unexpected close tag class: holder -> section in line 3\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find("Using the built-in layout script instead of '.layout'"), std::string::npos);
  // Only Cover's holder window is in the main window.
  int holders = 0;
  for (HWND w : descendants(kq.main)) holders += class_is(w, "section_holder");
  EXPECT_EQ(holders, 1);
  EXPECT_EQ(kq.dumped_holder(), "Cover");
  HWND cover = check_holder(kq, "Cover");
  std::vector<std::string> seen;
  save_screen(kq, &seen, "Cover");
  // Without a debuggee the toggles and the next layout leave the cover where it is.
  for (int command : {10100, 10062, 10074, 10087}) {
    kq.command(command);
    kq.focused();
    EXPECT_EQ(kq.dumped_holder(), "Cover") << command;
    EXPECT_EQ(kq.shown_holders(), std::vector<HWND>{cover}) << command;
  }
  EXPECT_EQ(kq.close(), 0);
}

TEST_F(LayoutScreen, WithDebuggeeTheSwitchCommandsMoveThePanelsWhereTheScriptSays) {
  KqRun kq;
  ASSERT_TRUE(kq.start_with("layout-debug", script_, "kq_debuggee.exe"));
  ASSERT_TRUE(kq.wait_log("EVN_Initiate")) << kq.log();
  kq.focused();
  EXPECT_EQ(kq.log().find("built-in"), std::string::npos) << kq.log();
  EXPECT_EQ(kq.dumped_holder(), "CodeTopBottom");
  check_holder(kq, "CodeTopBottom");
  std::vector<std::string> seen;
  save_screen(kq, &seen, "CodeTopBottom");
  for (const SwitchStep &step : kSwitchSteps) {
    kq.command(step.command);
    const std::string focus = kq.focused();
    EXPECT_EQ(kq.dumped_holder(), step.holder) << step.command;
    HWND holder = check_holder(kq, step.holder);
    if (!holder) continue;
    EXPECT_EQ(focus, handle_text(holder, step.current)) << step.command << " " << step.holder;
    save_screen(kq, &seen, step.holder);
  }
  EXPECT_EQ(seen.size(), 11u);  // every holder of the default script but Cover

  // Dragging the bar under the source panel down by 40 pixels: the core, dragged the same
  // way, says where every panel goes.
  HWND holder = check_holder(kq, "CodeTopBottom");
  Holder *h = holder_named(&layout_, "CodeTopBottom");
  ASSERT_TRUE(holder && h);
  Section *source = section_named(h, "source");
  LayoutPoint from = {(source->rect.left + source->rect.right) / 2, source->rect.bottom};
  LayoutPoint to = {from.x, from.y + 40};
  layout_drag_begin(h, from);
  layout_drag_move(h, to);
  layout_drag_end(h, to);
  PostMessageA(holder, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
  PostMessageA(holder, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  PostMessageA(holder, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  kq.focused();
  EXPECT_EQ(source->rect.bottom, from.y + 40);
  check_panels(holder, h);
  // A click on a panel makes it the current one, in the same holder.
  for (HWND w : descendants(holder))
    if (class_is(w, "log")) PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(kq.focused(), handle_text(holder, "log"));
  EXPECT_EQ(kq.shown_holders(), std::vector<HWND>{holder});
  // Asked by the status bar for a hint (WM_USER + 3), a holder answers that it gave one.
  EXPECT_EQ(SendMessageA(holder, WM_USER + 3, 0, MAKELPARAM(from.x, from.y)), 1);
  EXPECT_EQ(kq.close(), 0);
}

// The same switches by the keys, through kq's message loop and its key tables, as the
// user presses them on kq's focused panel.
TEST_F(LayoutScreen, WithDebuggeeTheSwitchKeysMoveThePanelsAsTheCommandsDo) {
  KqRun kq;
  ASSERT_TRUE(kq.start_with("layout-keys", script_, "kq_debuggee.exe"));
  ASSERT_TRUE(kq.wait_log("EVN_Initiate")) << kq.log();
  kq.focused();
  const KqKeyboard keys = keyboard_of(kq);
  ASSERT_TRUE(keys.attach());
  EXPECT_EQ(kq.dumped_holder(), "CodeTopBottom");
  // The focus line reads 0 while another program is in front.
  auto front_focus = [&] {
    SetForegroundWindow(kq.main);
    return kq.focused();
  };
  std::string focus = front_focus();
  for (const SwitchStep &step : kSwitchSteps) {
    const SwitchKey *key = nullptr;
    for (const SwitchKey &k : kSwitchKeys)
      if (k.command == step.command) key = &k;
    ASSERT_TRUE(key) << step.command;
    // Every step brings another holder or focus: a key that did neither was lost (kq was
    // not in front) and is pressed again; a toggle pressed twice would undo itself.
    const int dumps = count_in(kq.log(), "\tDump of Holder '");
    const std::string before = focus;
    auto reacted = [&] {
      const std::string now = kq.focused();
      return count_in(kq.log(), "\tDump of Holder '") != dumps || (now != before && now != "0");
    };
    EXPECT_TRUE(keys.press_in_front(key->modifiers, key->key, reacted)) << step.command;
    EXPECT_EQ(kq.dumped_holder(), step.holder) << step.command;
    focus = front_focus();
    HWND holder = check_holder(kq, step.holder);
    if (holder) {
      EXPECT_EQ(focus, handle_text(holder, step.current)) << step.command;
    }
  }
  EXPECT_EQ(kq.close(), 0);
}

// The pictures kq.exe carries decode with the program's own loader at the sizes they were
// drawn, and plug-ins find the loader under its exported name.
TEST(KqPictures, EveryPictureDecodesAndTheLoaderIsExported) {
  std::string exe = build_file("startup\\kq.exe");
  HMODULE kq = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(kq, nullptr);
  struct {
    const char *name;  // a number below 65536 or a name
    int width, height;
  } pictures[] = {
      {MAKEINTRESOURCEA(100), 40, 160}, {MAKEINTRESOURCEA(110), 8, 8},
      {MAKEINTRESOURCEA(120), 16, 16},  {MAKEINTRESOURCEA(130), 8, 8},
      {MAKEINTRESOURCEA(140), 8, 8},    {MAKEINTRESOURCEA(150), 8, 8},
      {MAKEINTRESOURCEA(160), 8, 8},    {MAKEINTRESOURCEA(170), 16, 16},
      {MAKEINTRESOURCEA(180), 16, 16},  {MAKEINTRESOURCEA(210), 16, 16},
      {MAKEINTRESOURCEA(220), 16, 16},  {MAKEINTRESOURCEA(230), 16, 16},
      {MAKEINTRESOURCEA(240), 64, 16},  {MAKEINTRESOURCEA(260), 257, 8},
      {MAKEINTRESOURCEA(270), 56, 20},  {MAKEINTRESOURCEA(350), 19, 26},
      {"Logo.gif", 96, 96},             {"KaquinDebugger.gif", 320, 44},
      {"App.gif", 320, 20},             {"Copyright.gif", 320, 16},
  };
  for (auto &p : pictures) {
    std::string name = IS_INTRESOURCE(p.name) ? std::to_string((uintptr_t)p.name) : p.name;
    HBITMAP bitmap = picture_load((HINSTANCE)kq, p.name);
    EXPECT_NE(bitmap, nullptr) << name;
    if (!bitmap) continue;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, p.width) << name;
    EXPECT_EQ(info.bmHeight, p.height) << name;
    DeleteObject(bitmap);
  }
  EXPECT_NE(FindResourceA(kq, MAKEINTRESOURCEA(1330), (LPCSTR)RT_GROUP_ICON), nullptr);
  FreeLibrary(kq);
  HMODULE code = LoadLibraryExA(exe.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(code, nullptr);
  EXPECT_NE(GetProcAddress(code, "KQ_LoadGIF"), nullptr);
  FreeLibrary(code);
}
