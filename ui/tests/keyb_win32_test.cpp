// The keyboard command processor on real windows under Wine: the context menu built from
// a table, read while it is open, and its chosen command arriving as WM_COMMAND.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ui/keyb.h"
#include "ui/keyb_tables.h"

struct OpenMenu {
  std::vector<std::string> items;  // "text" or "-" for a separator, "*" after marked ones
  std::vector<int> commands;
  HBITMAP marker;
};
static OpenMenu g_open;

// Runs inside the menu's own loop: reads the pop-up, then picks its first item.
static void CALLBACK read_menu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = FindWindowA("#32768", nullptr);
  if (!popup) return;
  KillTimer(nullptr, timer);
  HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
  for (int i = 0; i < GetMenuItemCount(menu); i++) {
    char text[128] = {};
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_BITMAP | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = sizeof text;
    GetMenuItemInfoA(menu, i, TRUE, &item);
    std::string shown = item.fType & MFT_SEPARATOR ? "-" : text;
    if (item.hbmpItem == g_open.marker) shown += "*";
    g_open.items.push_back(shown);
    g_open.commands.push_back((int)item.wID);
  }
  PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
}

static std::vector<int> g_received;

static LRESULT CALLBACK owner_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) g_received.push_back(LOWORD(wparam));
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST(KeybWine, ContextMenuOfATable) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = owner_proc;
  wc.lpszClassName = "keyb_owner";
  RegisterClassA(&wc);
  HWND owner = CreateWindowA("keyb_owner", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                             nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(owner);
  SetForegroundWindow(owner);
  g_open = OpenMenu{};
  g_open.marker = CreateBitmap(8, 8, 1, 1, nullptr);
  SetTimer(nullptr, 0, 50, read_menu);
  EXPECT_TRUE(keyb_context_menu(owner, inspector_keys, g_open.marker));
  // Separators between groups of modifiers; letters and digits marked.
  EXPECT_EQ(g_open.items, (std::vector<std::string>{"Close\tESCAPE", "Open\tENTER", "-",
                                                      "Change value\tCTRL+C*",
                                                      "New window\tCTRL+N*"}));
  EXPECT_EQ(g_open.commands, (std::vector<int>{10103, 10105, 0, 10102, 10104}));
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(g_received, std::vector<int>{10103});
  DeleteObject(g_open.marker);
  DestroyWindow(owner);
}

// Testing a combination asks the system and gives the key back; a key held by another
// registration or a text that does not parse fails. (A key no other test uses: hot keys
// are global to the display.)
TEST(KeybWine, TestHotKey) {
  EXPECT_TRUE(keyb_test_hotkey("ctrl + shift + alt + f13"));
  ASSERT_TRUE(RegisterHotKey(nullptr, 9, MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_F13));  // given back
  EXPECT_FALSE(keyb_test_hotkey("ALT+SHIFT+CTRL+F13"));
  UnregisterHotKey(nullptr, 9);
  EXPECT_FALSE(keyb_test_hotkey("CTRL+FOO"));
}
