// The values of layout script parameters: sizes, colour names and truth values.
#pragma once
#include <stdint.h>

// A section's size along one axis.
struct SizeSpec {
  float rel;  // -1: a share of what is left; otherwise a fraction of the length (0: fixed)
  float min;  // pixels
};

// Largest size in pixels, and largest percentage, that a script may give; larger ones
// (and negative ones) are refused like a value without a number.
const float LAYOUT_MAX_PIXELS = 100000.0f;
const float LAYOUT_MAX_PERCENT = 1000000.0f;

// "*", "140", "30%" or "%30". False, and the SizeSpec unchanged, when there is no number.
bool layout_size_spec(const char *text, SizeSpec *spec);
// Colour names, any case, as Windows colour values (0x00BBGGRR); false for other names.
bool layout_colour(const char *name, uint32_t *colour);
// "true"/"false" in any case, else a number ("#" for hexadecimal) whose low byte is set.
bool layout_truth(const char *text);
