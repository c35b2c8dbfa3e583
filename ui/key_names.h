// Key names: the table of key names with their virtual-key codes, the text of a key
// combination and its reading back ("CTRL+ADD").
#pragma once
#include <stddef.h>
#include <stdint.h>

enum KeyModifier : uint8_t { KEYMOD_SHIFT = 4, KEYMOD_CTRL = 8, KEYMOD_ALT = 16 };

enum KeyCategory : uint8_t {
  KEYCAT_OTHER = 1,
  KEYCAT_EDIT = 2,      // editing and navigation keys
  KEYCAT_CHAR = 3,      // letters, digits, the keypad's operator keys
  KEYCAT_FUNCTION = 4,  // F1 to F16
};

struct KeyName {
  uint8_t category;
  const char *name;
  uint8_t code;  // Windows virtual-key code
};
enum { KEY_NAME_COUNT = 164, KEY_TEXT = 64 };
extern const KeyName KeyNames[KEY_NAME_COUNT];

// First entry with the name (any case) or the code; null when there is none.
const KeyName *key_by_name(const char *name);
const KeyName *key_by_code(int code);
// Writes "ALT+", "SHIFT+", "CTRL+" as the modifiers hold, then the key's name; code 0
// writes the modifiers only. A code not in the table writes "?" and fails.
bool key_name(uint8_t modifiers, int code, char *out, size_t outlen);
// Reads a combination: names separated by "+", words of one name joined by "_" (so
// "media stop" is MEDIA_STOP). An empty text gives 0 and 0, a trailing "+" adds no key;
// an unknown name, or an empty one before a "+", fails.
bool parse_key_combination(const char *text, uint8_t *modifiers, int *code);
