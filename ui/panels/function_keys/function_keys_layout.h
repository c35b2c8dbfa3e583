// The function-key bar's arithmetic, free of windows: the widths of its ten buttons, its
// colours for a modifier state, the button under a point; and the colour blend that the
// bar and the command balloon share with the rich text's tint.
#pragma once
#include <stdint.h>

enum { FKEY_BUTTONS = 10, FKEY_KEY_PAD = 20, FKEY_TITLE_PAD = 6 };

// Per channel (a × strength + b × (255 - strength)) / 255.
uint32_t key_color_blend(uint32_t a, int strength, uint32_t b);

struct FkeyColors {
  uint32_t fill, text;
};
// The title boxes' fill and text for a modifier state (KEYMOD_ flags); face is the
// button-face colour, used for any combination of modifiers.
FkeyColors fkey_colors(uint8_t modifiers, uint32_t face);

// key[i] and title[i] hold the measured text widths on entry and the box widths on
// return: buttons grow towards an equal share of the width as far as it allows.
void fkey_measure(int key[FKEY_BUTTONS], int title[FKEY_BUTTONS], int client_width);
// The button whose title box holds x, -1 for none; left and right of that box.
int fkey_hit(const int key[FKEY_BUTTONS], const int title[FKEY_BUTTONS], int x, int *left,
             int *right);
