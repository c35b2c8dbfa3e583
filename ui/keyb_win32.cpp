// The keyboard command processor. Command tables come with the panels; until then no key
// is bound, so nothing is consumed and keys reach their windows.
#include "ui/keyb.h"

#include "ui/key_names.h"
#include "util/log.h"

struct KeyboardState {
  bool active;
};
static KeyboardState g_keyboard = {true};

bool keyb_filter_message(const MSG *) { return false; }

void keyb_set_active(bool active) { g_keyboard.active = active; }

bool keyb_active() { return g_keyboard.active; }

bool keyb_register_hotkey(HWND hwnd, const char *text, int id) {
  uint8_t modifiers;
  int code;
  if (!parse_key_combination(text, &modifiers, &code)) {
    log_trace("flags=%X key=%i\n", modifiers, code);
    return false;
  }
  UINT mods = (modifiers & KEYMOD_ALT ? MOD_ALT : 0) | (modifiers & KEYMOD_SHIFT ? MOD_SHIFT : 0) |
              (modifiers & KEYMOD_CTRL ? MOD_CONTROL : 0);
  return RegisterHotKey(hwnd, id, mods, code);
}
