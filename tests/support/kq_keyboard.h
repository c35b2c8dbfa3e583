// Keys for a kq.exe run as the keyboard driver would queue them for its focused window:
// key down and key up, system messages while ALT is held, the modifiers held in the key
// state that kq's thread reads. kq takes keys only while it is the active application,
// and other programs on the display may take the foreground at any time: the user brings
// kq to the front before each key and presses again when the effect is missing and kq
// was not kept in front.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string.h>

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/kq_driver.h"
#include "ui/keyb_lookup.h"

struct KqKeyboard {
  HWND main = nullptr;
  DWORD thread = 0;           // kq's user-interface thread
  HANDLE process = nullptr;   // waited for after a key that quits kq
  std::function<void()> settle;  // returns once kq has taken every message posted so far

  // Wine keeps a thread's copy of the key state for up to 50 ms, so each change is given
  // longer before its message.
  static const int kKeyStateAge = 100;

  // From here on this thread shares kq's input state (a thread that leaves a shared input
  // state starts one without a focus).
  bool attach() const { return AttachThreadInput(GetCurrentThreadId(), thread, TRUE) != 0; }

  HWND focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
  }

  // A key that quits kq is followed by the end of the process instead of a settle.
  void press(uint8_t modifiers, UINT key, bool quits = false) const {
    BYTE state[256] = {};
    const UINT held[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
    const uint8_t flags[] = {KEYMOD_SHIFT, KEYMOD_CTRL, KEYMOD_ALT};
    HWND target = focus() ? focus() : main;
    // ALT makes every key a system key, and F10 is one of its own (the menu key).
    const bool system = modifiers & KEYMOD_ALT, system_key = system || key == VK_F10;
    for (int i = 0; i < 3; i++)
      if (modifiers & flags[i]) {
        state[held[i]] = 0x80;
        SetKeyboardState(state);
        Sleep(kKeyStateAge);
        PostMessageA(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, held[i], 1);
      }
    PostMessageA(target, system_key ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1);
    PostMessageA(target, system_key ? WM_SYSKEYUP : WM_KEYUP, key, 0xC0000001);
    if (quits) WaitForSingleObject(process, 10000);
    else settle();
    memset(state, 0, sizeof state);
    SetKeyboardState(state);
    if (quits) return;
    Sleep(kKeyStateAge);
    for (int i = 0; i < 3; i++)
      if (modifiers & flags[i])
        PostMessageA(target, system ? WM_SYSKEYUP : WM_KEYUP, held[i], 0xC0000001);
    settle();
  }

  // front is kq's window in front when the key goes (its main window unless given), focus
  // the window given the focus first, if any.
  template <typename Effect>
  bool press_in_front(uint8_t modifiers, UINT key, Effect effect, bool quits = false,
                      HWND front = nullptr, HWND focus = nullptr) const {
    if (!front) front = main;
    for (int attempt = 0; attempt < 5; attempt++) {
      SetForegroundWindow(front);
      if (focus) SetFocus(focus);
      settle();
      const bool in_front = GetForegroundWindow() == front;
      press(modifiers, key, quits);
      // The panels show a key's effect at kq's next broadcast, after the key is taken.
      if (wait_for(effect, 10)) return true;
      if (in_front && GetForegroundWindow() == front) return false;
    }
    return false;
  }
};

// The keyboard of a started kq run, which settles it after each key.
inline KqKeyboard keyboard_of(KqDriver &kq) {
  return {kq.main, GetWindowThreadProcessId(kq.main, nullptr), kq.pi.hProcess,
          [&kq] { EXPECT_TRUE(kq.settle()) << "no focus trace"; }};
}
