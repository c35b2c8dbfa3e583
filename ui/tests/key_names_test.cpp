#include <gtest/gtest.h>
#include <string.h>

#include "ui/key_names.h"

// The table is in code order, and every code a name stands for matches the Windows value
// (a handful of well-known ones checked against their VK_ numbers).
TEST(KeyNames, TableOrderAndKnownCodes) {
  for (int i = 1; i < KEY_NAME_COUNT; i++) EXPECT_LE(KeyNames[i - 1].code, KeyNames[i].code) << i;
  struct { const char *name; int code; int category; } known[] = {
      {"ENTER", 0x0D, 2}, {"ESCAPE", 0x1B, 2}, {"PGUP", 0x21, 2}, {"DEL", 0x2E, 2},
      {"A", 0x41, 3}, {"9", 0x39, 3}, {"ADD", 0x6B, 3}, {"F1", 0x70, 4}, {"F16", 0x7F, 4},
      {"NUMPAD0", 0x60, 2}, {"CAPSLOCK", 0x14, 1}, {"PLUS", 0xBB, 1}, {"`", 0xC0, 1},
      {"OEM_CLEAR", 0xFE, 1}, {"LAUNCH_APP2", 0xB7, 1}, {"SLEEP", 0x5F, 1}};
  for (auto &k : known) {
    const KeyName *key = key_by_name(k.name);
    ASSERT_TRUE(key) << k.name;
    EXPECT_EQ(key->code, k.code) << k.name;
    EXPECT_EQ(key->category, k.category) << k.name;
  }
  EXPECT_STREQ(key_by_code(0x15)->name, "KANA");  // first of three names wins
  EXPECT_STREQ(key_by_code(0x19)->name, "HANJA");
}

TEST(KeyNames, CombinationTextsBothWays) {
  struct { const char *text; bool ok; int mods; int code; const char *back; } cases[] = {
      {"CTRL+ADD", true, 8, 0x6B, "CTRL+ADD"},
      {" alt + f4 ", true, 16, 0x73, "ALT+F4"},
      {"shift+ctrl+alt+F12", true, 28, 0x7B, "ALT+SHIFT+CTRL+F12"},
      {"media stop", true, 0, 0xB2, "MEDIA_STOP"},
      {"CTRL+  browser   back", true, 8, 0xA6, "CTRL+BROWSER_BACK"},
      {"", true, 0, 0, ""},
      {"CTRL", true, 8, 0, "CTRL+"},
      {"CTRL+'-'", true, 8, 0xBD, "CTRL+'-'"},
      {"ctrl+numpad0", true, 8, 0x60, "CTRL+NUMPAD0"},
      {"CTRL+", true, 8, 0, "CTRL+"},
      {"ALT+CTRL+DEL", true, 24, 0x2E, "ALT+CTRL+DEL"},
      {"hanguel", true, 0, 0x15, "KANA"},
      {"CTRL+FOO", false, 0, 0, nullptr},
      {"CTRL+NOSUCHKEY", false, 0, 0, nullptr},
      {"+", false, 0, 0, nullptr},
      {"CTRL++A", false, 0, 0, nullptr},
      {"CTRL+A B", false, 0, 0, nullptr},
      {"F1+", true, 0, 0x70, "F1"},
      {"'", false, 0, 0, nullptr},
  };
  for (auto &c : cases) {
    uint8_t mods = 0xFF;
    int code = -1;
    EXPECT_EQ(parse_key_combination(c.text, &mods, &code), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(mods, c.mods) << c.text;
    EXPECT_EQ(code, c.code) << c.text;
    char back[KEY_TEXT];
    EXPECT_TRUE(key_name(mods, code, back, sizeof back));
    EXPECT_STREQ(back, c.back);
  }
  char out[KEY_TEXT];
  EXPECT_FALSE(key_name(KEYMOD_CTRL, 0x07, out, sizeof out));
  EXPECT_STREQ(out, "CTRL+?");
  // The buffer holds the longest combination.
  EXPECT_TRUE(key_name(28, 0xB5, out, sizeof out));
  EXPECT_STREQ(out, "ALT+SHIFT+CTRL+LAUNCH_MEDIA_SELECT");
  // An overlong name is cut, never overflows, and is unknown.
  char longtext[600];
  memset(longtext, 'A', sizeof longtext - 1);
  longtext[sizeof longtext - 1] = 0;
  uint8_t mods;
  int code;
  EXPECT_FALSE(parse_key_combination(longtext, &mods, &code));
}

// Every name of the table, under every set of modifiers, is written and read back to the
// same key; names that share a code read back to their code and are written as the first.
TEST(KeyNames, RoundTripOverTheWholeTable) {
  for (const KeyName &k : KeyNames) {
    ASSERT_GE(k.category, 1);
    ASSERT_LE(k.category, 4);
    const bool modifier = k.code >= 0x10 && k.code <= 0x12;
    for (uint8_t mods = 0; mods <= 28; mods += 4) {
      char text[KEY_TEXT];
      ASSERT_TRUE(key_name(mods, k.code, text, sizeof text)) << k.name;
      uint8_t back_mods = 0xFF;
      int back_code = -1;
      ASSERT_TRUE(parse_key_combination(text, &back_mods, &back_code)) << text;
      EXPECT_EQ(back_mods, modifier ? (mods | (1 << (k.code - 0x10 + 2))) : mods) << text;
      EXPECT_EQ(back_code, modifier ? 0 : k.code) << text;
    }
    uint8_t mods;
    int code;
    ASSERT_TRUE(parse_key_combination(k.name, &mods, &code)) << k.name;
    EXPECT_EQ(modifier ? mods : code, modifier ? 1 << (k.code - 0x10 + 2) : k.code) << k.name;
    EXPECT_EQ(key_by_code(k.code), key_by_name(key_by_code(k.code)->name)) << k.name;
  }
}
