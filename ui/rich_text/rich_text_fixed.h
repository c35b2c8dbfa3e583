// A measurer without a screen: every font sets all its characters in one width (the space
// may have one of its own), and pictures come from a table. Host tests, the fuzz target
// and the benchmark measure documents with it.
#pragma once
#include "rich_text_records.h"

struct RichFixedFont {
  RichHandle font;  // 0: the context's own font, also taken for any font not listed
  int width, space, height;
};

struct RichFixedImage {
  const char *name;  // matched without regard to case
  RichHandle image;
  int width, height;
};

struct RichFixed {
  RichMeasurer measurer;
  const RichFixedFont *fonts;
  int fontnum;
  const RichFixedImage *images;
  int imagenum;
  int loads, frees;  // pictures handed out and given back
};

// The standard set: the context's font 8 wide (space 8) and 16 high; "GUI" 6 (space 4) by
// 13, "SYSTEM" 9 by 18, "VAR" 5 (space 3) by 12, "BIG" 12 by 24, "SMALL" 4 (space 2) by 8,
// fonts 1 to 5 in that order; pictures "Logo.gif" 101 (40 x 30), "App.gif" 102 (16 x 16)
// and "KaquinDebugger.gif" 103 (100 x 50); background 0x00F0E0D0.
void rich_fixed_init(RichFixed *f);
