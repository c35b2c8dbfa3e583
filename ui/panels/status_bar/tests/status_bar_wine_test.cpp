// The status bar as a child of a window of the test: its panes, the hint it gives for
// itself and for windows of other processes, the state text of the broadcast and the
// sizing grip, read back through its window text.
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include "settings/changes.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/status_bar/status_bar_win32.h"

static std::vector<std::string> panes(HWND bar) {
  char text[2048] = {0};
  GetWindowTextA(bar, text, sizeof text);
  std::vector<std::string> parts;
  std::string all = text;
  size_t at = 0;
  for (size_t tab; (tab = all.find('\t', at)) != std::string::npos; at = tab + 1)
    parts.push_back(all.substr(at, tab - at));
  parts.push_back(all.substr(at));
  return parts;
}

static void pump(int ms) {
  DWORD end = GetTickCount() + ms;
  MSG msg;
  while ((int)(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
}

class StatusBarWine : public ::testing::Test {
 protected:
  void SetUp() override {
    panels_register();
    WNDCLASSA frame = {};
    frame.lpfnWndProc = DefWindowProcA;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.lpszClassName = "status test frame";
    RegisterClassA(&frame);
    main_ = CreateWindowExA(WS_EX_TOPMOST, "status test frame", "frame",
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 960, 200, nullptr, nullptr,
                            frame.hInstance, nullptr);
    bar_ = CreateWindowExA(0, "status", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, main_, nullptr,
                           frame.hInstance, nullptr);
    RECT c;
    GetClientRect(main_, &c);
    MoveWindow(bar_, 0, c.bottom - 19, 900, 19, TRUE);
    UpdateWindow(main_);
  }
  void TearDown() override {
    DestroyWindow(main_);
    changes_free();
  }
  HWND main_ = nullptr, bar_ = nullptr;
};

TEST_F(StatusBarWine, PanesStateAndHints) {
  ASSERT_TRUE(bar_);
  EXPECT_EQ(g_status.hwnd, bar_);
  std::vector<std::string> p = panes(bar_);
  ASSERT_EQ(p.size(), 5u);
  EXPECT_EQ(p[PANE_TIME], "no time");
  EXPECT_EQ(p[PANE_STATE], "Not loaded");
  EXPECT_EQ(p[PANE_LOCATION], "");
  // The bar answers the hint question for its own panes.
  struct { int x; const char *hint; } asks[] = {
      {30, "The current location"}, {300, "The time spent by process execution"},
      {890, "The sizing grip"}, {10, "The source/code mode"}, {899, ""}};
  for (auto &a : asks) {
    EXPECT_EQ(SendMessageA(bar_, WM_STATUS_HINT, 0, MAKELPARAM(a.x, 5)), 1) << a.x;
    EXPECT_EQ(panes(bar_)[PANE_HINT], a.hint) << a.x;
  }
  status_set_hint("set by hand");
  EXPECT_EQ(panes(bar_)[PANE_HINT], "set by hand");
  // The broadcast of a state change re-reads the state.
  changes_raise(CHG_STATE);
  changes_broadcast();
  EXPECT_EQ(panes(bar_)[PANE_STATE], "Not loaded");
}

// The window under the mouse is asked, then its parents: a child of the bar that does not
// answer passes the question to the bar, the frame answers nothing; a window of another
// process is named.
TEST_F(StatusBarWine, HoverHelpAsksTheWindowUnderTheMouseAndItsParents) {
  HWND inside = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 480, 0, 100, 19, bar_,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  RECT bar;
  GetWindowRect(bar_, &bar);
  struct { HWND under; int dx; const char *hint; } spots[] = {
      {bar_, 100, "The current location"},
      {inside, 500, "The process's status or the last error code"},
      {bar_, 700, "The tooltip text"},
      {main_, 700, ""},
  };
  for (auto &s : spots) {
    status_set_hint("stale");
    status_hover_help({bar.left + s.dx, bar.top + 8}, s.under);
    EXPECT_EQ(panes(bar_)[PANE_HINT], s.hint) << s.dx;
  }
  HWND desktop = GetDesktopWindow();
  DWORD pid = 0;
  GetWindowThreadProcessId(desktop, &pid);
  ASSERT_NE(pid, GetCurrentProcessId());
  status_hover_help({1, 1}, desktop);
  std::string hint = panes(bar_)[PANE_HINT];
  std::string expected = "hwnd=" + std::to_string((unsigned)(uintptr_t)desktop) +
                         " pid=" + std::to_string(pid) + " ";
  EXPECT_EQ(hint.substr(0, expected.size()), expected) << hint;
  EXPECT_GT(hint.size(), expected.size() + 4) << hint;  // and the executable's name
  // The timer tick asks on its own; whatever lies under the pointer, it sets a hint or
  // clears the stale one.
  status_set_hint("stale");
  pump(300);
  EXPECT_NE(panes(bar_)[PANE_HINT], "stale");
}

// Dragging the grip moves the frame's lower-right corner with the pointer.
TEST_F(StatusBarWine, GripResizesTheMainWindow) {
  RECT before;
  GetWindowRect(main_, &before);
  SendMessageA(bar_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(890, 9));
  EXPECT_EQ(GetCapture(), bar_);
  SendMessageA(bar_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(930, 39));
  RECT during;
  GetWindowRect(main_, &during);
  EXPECT_EQ(during.right, before.right + 40);
  EXPECT_EQ(during.bottom, before.bottom + 30);
  SendMessageA(bar_, WM_LBUTTONUP, 0, MAKELPARAM(950, 59));
  EXPECT_NE(GetCapture(), bar_);
  RECT after;
  GetWindowRect(main_, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right, before.right + 60);
  EXPECT_EQ(after.bottom, before.bottom + 50);
}
