#include "ui/panels/function_keys/function_keys_layout.h"

#include "ui/key_names.h"

namespace {

struct StateColors {
  uint8_t modifiers;
  FkeyColors colors;
};
const StateColors kStates[] = {
    {0, {0xC89632, 0xFFFFFF}},
    {KEYMOD_SHIFT, {0x14FF14, 0}},
    {KEYMOD_CTRL, {0x64FFFF, 0}},
    {KEYMOD_ALT, {0x3264FF, 0xFFFFFF}},
};

}  // namespace

uint32_t key_color_blend(uint32_t a, int strength, uint32_t b) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t x = a >> shift & 0xFF, y = b >> shift & 0xFF;
    out |= (x * strength + y * (255 - strength)) / 255 << shift;
  }
  return out;
}

FkeyColors fkey_colors(uint8_t modifiers, uint32_t face) {
  for (const StateColors &s : kStates)
    if (s.modifiers == modifiers) return s.colors;
  return {face, 0};
}

void fkey_measure(int key[FKEY_BUTTONS], int title[FKEY_BUTTONS], int client_width) {
  int widest = 0;
  float sum = 0;
  for (int i = 0; i < FKEY_BUTTONS; i++) {
    key[i] += FKEY_KEY_PAD;
    title[i] += FKEY_TITLE_PAD;
    const int width = key[i] + title[i];
    if (width > widest) widest = width;
    sum += (float)width;
  }
  const float average = sum / FKEY_BUTTONS, share = (float)client_width / FKEY_BUTTONS;
  if ((float)widest < share) {
    for (int i = 0; i < FKEY_BUTTONS; i++) title[i] = (int)(share - (float)key[i]);
    return;
  }
  float factor = (float)widest > average ? (share - average) / ((float)widest - average) : 0;
  if (factor < 0) factor = 0;
  for (int i = 0; i < FKEY_BUTTONS; i++)
    title[i] += (int)((float)(widest - key[i] - title[i]) * factor);
}

int fkey_hit(const int key[FKEY_BUTTONS], const int title[FKEY_BUTTONS], int x, int *left,
             int *right) {
  int at = 0;
  for (int i = 0; i < FKEY_BUTTONS; i++) {
    at += key[i];
    if (x >= at && x < at + title[i]) {
      *left = at;
      *right = at + title[i];
      return i;
    }
    at += title[i];
  }
  return -1;
}
