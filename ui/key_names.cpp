// The key-name table, in virtual-key code order. Look-ups take the first match, so of
// the names sharing a code (KANA, HANGUEL, HANGUL) the first one names the key.
#include "ui/key_names.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

const KeyName KeyNames[KEY_NAME_COUNT] = {
    {1, "LBUTTON", 0x01}, {1, "RBUTTON", 0x02}, {1, "CANCEL", 0x03},
    {1, "MBUTTON", 0x04}, {1, "XBUTTON1", 0x05}, {1, "XBUTTON2", 0x06},
    {2, "BACK", 0x08}, {2, "TAB", 0x09}, {1, "CLEAR", 0x0C}, {2, "ENTER", 0x0D},
    {1, "SHIFT", 0x10}, {1, "CTRL", 0x11}, {1, "ALT", 0x12}, {1, "PAUSE", 0x13},
    {1, "CAPSLOCK", 0x14}, {1, "KANA", 0x15}, {1, "HANGUEL", 0x15}, {1, "HANGUL", 0x15},
    {1, "JUNJA", 0x17}, {1, "FINAL", 0x18}, {1, "HANJA", 0x19}, {1, "KANJI", 0x19},
    {2, "ESCAPE", 0x1B}, {1, "CONVERT", 0x1C}, {1, "NONCONVERT", 0x1D}, {1, "ACCEPT", 0x1E},
    {1, "MODECHANGE", 0x1F}, {2, "SPACE", 0x20}, {2, "PGUP", 0x21}, {2, "PGDN", 0x22},
    {2, "END", 0x23}, {2, "HOME", 0x24}, {2, "LEFT", 0x25}, {2, "UP", 0x26},
    {2, "RIGHT", 0x27}, {2, "DOWN", 0x28}, {1, "SELECT", 0x29}, {1, "PRINT", 0x2A},
    {1, "EXECUTE", 0x2B}, {1, "SNAPSHOT", 0x2C}, {2, "INS", 0x2D}, {2, "DEL", 0x2E},
    {1, "HELP", 0x2F},
    {3, "0", 0x30}, {3, "1", 0x31}, {3, "2", 0x32}, {3, "3", 0x33}, {3, "4", 0x34},
    {3, "5", 0x35}, {3, "6", 0x36}, {3, "7", 0x37}, {3, "8", 0x38}, {3, "9", 0x39},
    {3, "A", 0x41}, {3, "B", 0x42}, {3, "C", 0x43}, {3, "D", 0x44}, {3, "E", 0x45},
    {3, "F", 0x46}, {3, "G", 0x47}, {3, "H", 0x48}, {3, "I", 0x49}, {3, "J", 0x4A},
    {3, "K", 0x4B}, {3, "L", 0x4C}, {3, "M", 0x4D}, {3, "N", 0x4E}, {3, "O", 0x4F},
    {3, "P", 0x50}, {3, "Q", 0x51}, {3, "R", 0x52}, {3, "S", 0x53}, {3, "T", 0x54},
    {3, "U", 0x55}, {3, "V", 0x56}, {3, "W", 0x57}, {3, "X", 0x58}, {3, "Y", 0x59},
    {3, "Z", 0x5A},
    {1, "LWIN", 0x5B}, {1, "RWIN", 0x5C}, {1, "APPS", 0x5D}, {1, "SLEEP", 0x5F},
    {2, "NUMPAD0", 0x60}, {2, "NUMPAD1", 0x61}, {2, "NUMPAD2", 0x62}, {2, "NUMPAD3", 0x63},
    {2, "NUMPAD4", 0x64}, {2, "NUMPAD5", 0x65}, {2, "NUMPAD6", 0x66}, {2, "NUMPAD7", 0x67},
    {2, "NUMPAD8", 0x68}, {2, "NUMPAD9", 0x69},
    {3, "MULTIPLY", 0x6A}, {3, "ADD", 0x6B}, {3, "SEPARATOR", 0x6C}, {3, "SUBTRACT", 0x6D},
    {3, "DECIMAL", 0x6E}, {3, "DIVIDE", 0x6F},
    {4, "F1", 0x70}, {4, "F2", 0x71}, {4, "F3", 0x72}, {4, "F4", 0x73},
    {4, "F5", 0x74}, {4, "F6", 0x75}, {4, "F7", 0x76}, {4, "F8", 0x77},
    {4, "F9", 0x78}, {4, "F10", 0x79}, {4, "F11", 0x7A}, {4, "F12", 0x7B},
    {4, "F13", 0x7C}, {4, "F14", 0x7D}, {4, "F15", 0x7E}, {4, "F16", 0x7F},
    {1, "NUMLOCK", 0x90}, {1, "SCROLL", 0x91},
    {1, "LSHIFT", 0xA0}, {1, "RSHIFT", 0xA1}, {1, "LCONTROL", 0xA2}, {1, "RCONTROL", 0xA3},
    {1, "LMENU", 0xA4}, {1, "RMENU", 0xA5},
    {1, "BROWSER_BACK", 0xA6}, {1, "BROWSER_FORWARD", 0xA7}, {1, "BROWSER_REFRESH", 0xA8},
    {1, "BROWSER_STOP", 0xA9}, {1, "BROWSER_SEARCH", 0xAA}, {1, "BROWSER_FAVORITES", 0xAB},
    {1, "BROWSER_HOME", 0xAC}, {1, "VOLUME_MUTE", 0xAD}, {1, "VOLUME_DOWN", 0xAE},
    {1, "VOLUME_UP", 0xAF}, {1, "MEDIA_NEXT_TRACK", 0xB0}, {1, "MEDIA_PREV_TRACK", 0xB1},
    {1, "MEDIA_STOP", 0xB2}, {1, "MEDIA_PLAY_PAUSE", 0xB3}, {1, "LAUNCH_MAIL", 0xB4},
    {1, "LAUNCH_MEDIA_SELECT", 0xB5}, {1, "LAUNCH_APP1", 0xB6}, {1, "LAUNCH_APP2", 0xB7},
    {1, "':'", 0xBA}, {1, "PLUS", 0xBB}, {1, "','", 0xBC}, {1, "'-'", 0xBD},
    {1, "'.'", 0xBE}, {1, "'?'", 0xBF}, {1, "`", 0xC0}, {1, "'{'", 0xDB},
    {1, "'|'", 0xDC}, {1, "'}'", 0xDD}, {1, "'\"'", 0xDE}, {1, "OEM_8", 0xDF},
    {1, "PROCESSKEY", 0xE5}, {1, "PACKET", 0xE7}, {1, "ATTN", 0xF6}, {1, "CRSEL", 0xF7},
    {1, "EXSEL", 0xF8}, {1, "EREOF", 0xF9}, {1, "PLAY", 0xFA}, {1, "ZOOM", 0xFB},
    {1, "NONAME", 0xFC}, {1, "PA1", 0xFD}, {1, "OEM_CLEAR", 0xFE},
};

const KeyName *key_by_name(const char *name) {
  for (const KeyName &k : KeyNames)
    if (!strcasecmp(k.name, name)) return &k;
  return nullptr;
}

const KeyName *key_by_code(int code) {
  for (const KeyName &k : KeyNames)
    if (k.code == code) return &k;
  return nullptr;
}

bool key_name(uint8_t modifiers, int code, char *out, size_t outlen) {
  const KeyName *key = code ? key_by_code(code) : nullptr;
  snprintf(out, outlen, "%s%s%s%s", modifiers & KEYMOD_ALT ? "ALT+" : "",
           modifiers & KEYMOD_SHIFT ? "SHIFT+" : "", modifiers & KEYMOD_CTRL ? "CTRL+" : "",
           code == 0 ? "" : key ? key->name : "?");
  return code == 0 || key;
}

bool parse_key_combination(const char *text, uint8_t *modifiers, int *code) {
  *modifiers = 0;
  *code = 0;
  const char *p = text;
  while (*p == ' ' || *p == '\t') p++;
  if (!*p) return true;
  for (;;) {
    char name[KEY_TEXT];
    size_t n = 0;
    while (*p == ' ' || *p == '\t') p++;
    // Words up to the next "+", blanks between words becoming one "_".
    bool gap = false;
    for (; *p && *p != '+'; p++) {
      if (*p == ' ' || *p == '\t') {
        gap = n > 0;
        continue;
      }
      if (gap && n + 1 < sizeof name) name[n++] = '_';
      gap = false;
      if (n + 1 < sizeof name) name[n++] = *p;
    }
    name[n] = 0;
    // "CTRL+" with nothing after it is the modifier alone, as the empty text is no key.
    if (n == 0 && !*p) return true;
    const KeyName *key = key_by_name(name);
    if (!key) return false;
    if (key->code == 0x10) *modifiers |= KEYMOD_SHIFT;
    else if (key->code == 0x11) *modifiers |= KEYMOD_CTRL;
    else if (key->code == 0x12) *modifiers |= KEYMOD_ALT;
    else *code = key->code;
    if (*p != '+') return true;
    p++;
  }
}
