// The function-key bar's widths, colours and hit test, and the colour blend it shares
// with the balloon.
#include <gtest/gtest.h>

#include "ui/key_names.h"
#include "ui/panels/function_keys/function_keys_layout.h"

namespace {

// Each single modifier (or none) gives the bar a fill of its own, never the face; any two
// or more give the face with black text.
TEST(FunctionKeys, Colours) {
  const uint32_t face = 0xD4D0C8;
  const uint8_t singles[] = {0, KEYMOD_SHIFT, KEYMOD_CTRL, KEYMOD_ALT};
  for (uint8_t a : singles) {
    EXPECT_NE(fkey_colors(a, face).fill, face) << (int)a;
    for (uint8_t b : singles)
      if (a != b) EXPECT_NE(fkey_colors(a, face).fill, fkey_colors(b, face).fill) << (int)a;
  }
  for (int m : {KEYMOD_CTRL | KEYMOD_SHIFT, KEYMOD_ALT | KEYMOD_SHIFT,
                KEYMOD_ALT | KEYMOD_CTRL | KEYMOD_SHIFT}) {
    EXPECT_EQ(fkey_colors((uint8_t)m, face).fill, face) << m;
    EXPECT_EQ(fkey_colors((uint8_t)m, face).text, 0u) << m;
  }
  struct Blend {
    uint32_t a;
    int strength;
    uint32_t b, want;
  };
  const Blend blends[] = {
      {0xFFFFFF, 80, 0xC89632, 0xD9B672},  // the hovered button of the plain state
      {0xFFFFFF, 200, 0xC8EBEB, 0xF3FAFA},
      {0x64FF64, 200, 0x00AF00, 0x4EED4E},
      {0x123456, 255, 0xABCDEF, 0x123456},
      {0x123456, 0, 0xABCDEF, 0xABCDEF},
  };
  for (const Blend &b : blends)
    EXPECT_EQ(key_color_blend(b.a, b.strength, b.b), b.want) << std::hex << b.a << " " << b.b;
}

int total(const int key[], const int title[]) {
  int sum = 0;
  for (int i = 0; i < FKEY_BUTTONS; i++) sum += key[i] + title[i];
  return sum;
}

TEST(FunctionKeys, WidthsFollowTheWindow) {
  const int keys[FKEY_BUTTONS] = {10, 10, 10, 10, 10, 10, 10, 10, 10, 16};
  const int titles[FKEY_BUTTONS] = {30, 0, 60, 24, 40, 0, 12, 90, 36, 48};
  struct Case {
    int client;
    bool equal;  // every button the same width
  };
  const Case cases[] = {{2000, true}, {1300, true}, {900, false}, {600, false}, {100, false}};
  for (const Case &c : cases) {
    int key[FKEY_BUTTONS], title[FKEY_BUTTONS];
    for (int i = 0; i < FKEY_BUTTONS; i++) key[i] = keys[i], title[i] = titles[i];
    fkey_measure(key, title, c.client);
    for (int i = 0; i < FKEY_BUTTONS; i++) {
      EXPECT_EQ(key[i], keys[i] + FKEY_KEY_PAD);
      // No button ever gets narrower than its texts.
      EXPECT_GE(title[i], titles[i] + FKEY_TITLE_PAD) << c.client << " button " << i;
      if (c.equal) {
        EXPECT_EQ(key[i] + title[i], c.client / FKEY_BUTTONS) << c.client;
      }
    }
    if (!c.equal) {
      EXPECT_LE(total(key, title), c.client > 700 ? c.client : 10000) << c.client;
    }
  }
  // Too narrow for the texts: the widths stay the texts' own.
  int key[FKEY_BUTTONS], title[FKEY_BUTTONS];
  for (int i = 0; i < FKEY_BUTTONS; i++) key[i] = keys[i], title[i] = titles[i];
  fkey_measure(key, title, 100);
  for (int i = 0; i < FKEY_BUTTONS; i++) EXPECT_EQ(title[i], titles[i] + FKEY_TITLE_PAD);
}

TEST(FunctionKeys, OnlyTitleBoxesAreButtons) {
  const int key[FKEY_BUTTONS] = {20, 20, 20, 20, 20, 20, 20, 20, 20, 20};
  const int title[FKEY_BUTTONS] = {30, 30, 30, 30, 30, 30, 30, 30, 30, 30};
  struct Case {
    int x, button, left, right;
  };
  const Case cases[] = {{0, -1, 0, 0},   {19, -1, 0, 0},    {20, 0, 20, 50},  {49, 0, 20, 50},
                        {50, -1, 0, 0},  {70, 1, 70, 100},  {499, 9, 470, 500}, {500, -1, 0, 0}};
  for (const Case &c : cases) {
    int left = 0, right = 0;
    EXPECT_EQ(fkey_hit(key, title, c.x, &left, &right), c.button) << c.x;
    if (c.button >= 0) {
      EXPECT_EQ(left, c.left);
      EXPECT_EQ(right, c.right);
    }
  }
}

}  // namespace
