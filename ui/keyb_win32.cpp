// The keyboard command processor on Win32: key messages into the filter, commands into
// WM_COMMAND, key names into menus, and the hot key.
#include "ui/keyb.h"

#include <stdio.h>

#include "util/log.h"
#include "util/path.h"

static uint8_t read_modifiers() {
  return (GetKeyState(VK_MENU) < 0 ? KEYMOD_ALT : 0) |
         (GetKeyState(VK_CONTROL) < 0 ? KEYMOD_CTRL : 0) |
         (GetKeyState(VK_SHIFT) < 0 ? KEYMOD_SHIFT : 0);
}

static void *focus() { return GetFocus(); }

static void execute(const CommandRef *ref) {
  if (ref->command == 0) {
    char text[KQ_PATH];
    snprintf(text, sizeof text, "Sorry, but '%s' command is not implemented in this version",
             ref->title);
    MessageBoxA(GetActiveWindow(), text, "Not implemented", MB_ICONINFORMATION);
  }
  SendMessageA((HWND)ref->window, WM_COMMAND, ref->command, 0);
}

static const KeybSeam kWin32Seam = {read_modifiers, focus, execute};

void keyb_init() { keyb_reset(&kWin32Seam); }

bool keyb_filter_message(const MSG *message) {
  switch (message->message) {
    case WM_KEYDOWN: return keyb_filter_key((int)message->wParam, true, false);
    case WM_KEYUP: return keyb_filter_key((int)message->wParam, false, false);
    case WM_SYSKEYDOWN: return keyb_filter_key((int)message->wParam, true, true);
    case WM_SYSKEYUP: return keyb_filter_key((int)message->wParam, false, true);
    // The right button hides it as it goes down: the context menu it opens would stand
    // under the balloon until the button came up.
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
      if (g_keyb.views->balloon_hide) g_keyb.views->balloon_hide();
      return false;
  }
  return false;
}

// "title<TAB>key" as menu items show a command.
static void item_text(const char *title, const KeyCommand &row, char *out, size_t outlen) {
  char key[KEY_TEXT];
  key_name(row.modifiers, row.key, key, sizeof key);
  snprintf(out, outlen, "%s\t%s", title, key);
}

// Every item of the menu and its pop-ups that the table binds gets the key of the first
// row for its command, once: a command may stand in two menus.
static void label_items(HMENU menu, const KeyCommand *table) {
  for (int i = 0, n = GetMenuItemCount(menu); i < n; i++) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      label_items(sub, table);
      continue;
    }
    const UINT id = GetMenuItemID(menu, i);
    const KeyCommand *row = table;
    while (row->title && (row->command != id || !id)) row++;
    char current[KQ_PATH], text[KQ_PATH];
    if (!row->title || !GetMenuStringA(menu, i, current, sizeof current, MF_BYPOSITION) ||
        strchr(current, '\t'))
      continue;
    item_text(current, *row, text, sizeof text);
    ModifyMenuA(menu, i, MF_BYPOSITION | MF_STRING, id, text);
  }
}

void keyb_label_menu(HWND window, const KeyCommand *table) {
  if (HMENU menu = GetMenu(GetAncestor(window, GA_ROOT))) label_items(menu, table);
}

BOOL keyb_context_menu(HWND window, const KeyCommand *table, HBITMAP marker) {
  HMENU menu = CreatePopupMenu();
  MENUINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = MIM_STYLE;
  info.dwStyle = MNS_CHECKORBMP;
  SetMenuInfo(menu, &info);
  for (const KeyCommand *row = table; row->title; row++) {
    if (row != table && row->modifiers != row[-1].modifiers)
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    char text[KQ_PATH];
    item_text(row->title, *row, text, sizeof text);
    AppendMenuA(menu, MF_STRING, row->command, text);
    const KeyName *key = key_by_code(row->key);  // a letter or a digit gets the marker
    if (key && key->category == KEYCAT_CHAR && !key->name[1]) {
      MENUITEMINFOA item = {};
      item.cbSize = sizeof item;
      item.fMask = MIIM_BITMAP;
      item.hbmpItem = marker;
      SetMenuItemInfoA(menu, GetMenuItemCount(menu) - 1, TRUE, &item);
    }
  }
  POINT at;
  GetCursorPos(&at);
  BOOL result = TrackPopupMenuEx(menu, 0, at.x, at.y, window, nullptr);
  DestroyMenu(menu);
  return result;
}

bool keyb_register_hotkey(HWND hwnd, const char *text, int id) {
  uint8_t modifiers;
  int code;
  if (!parse_key_combination(text, &modifiers, &code)) {
    log_console("flags=%X key=%i\n", modifiers, code);
    return false;
  }
  UINT mods = (modifiers & KEYMOD_ALT ? MOD_ALT : 0) | (modifiers & KEYMOD_SHIFT ? MOD_SHIFT : 0) |
              (modifiers & KEYMOD_CTRL ? MOD_CONTROL : 0);
  return RegisterHotKey(hwnd, id, mods, code);
}

enum { TEST_HOTKEY = 0xFFFF };

bool keyb_test_hotkey(const char *text) {
  if (!keyb_register_hotkey(nullptr, text, TEST_HOTKEY)) return false;
  UnregisterHotKey(nullptr, TEST_HOTKEY);
  return true;
}
