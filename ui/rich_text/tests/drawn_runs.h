// What a document draws, in order, taken by a recording drawer: each run of text with its
// place, font and colours, and each picture (a run without text) with its place. What the
// rich-text and panels' document tests compare.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "ui/rich_text/rich_text_read.h"

struct DrawnRun {
  std::string text;
  int x, y;
  uint32_t color, paper;
  RichHandle font, image;  // image 0 for text
};

// base is the drawing context's own text colour.
inline std::vector<DrawnRun> drawn_runs(RichText *dd, uint32_t base = 0) {
  struct Context {
    std::vector<DrawnRun> runs;
    uint32_t base, color = 0, paper = RICH_TRANSPARENT;
    RichHandle font = 0;
  } context;
  context.base = base;
  RichDrawer drawer = {
      &context,
      [](void *c, int, int, RichRect *clip, uint32_t *color) {
        *clip = {-100000, -100000, 100000, 100000};
        *color = ((Context *)c)->base;
      },
      [](void *) {},
      [](void *c, RichHandle font) { ((Context *)c)->font = font; },
      [](void *c, uint32_t text, uint32_t paper) {
        ((Context *)c)->color = text;
        ((Context *)c)->paper = paper;
      },
      [](void *c, int x, int y, const char *text, int count) {
        Context *k = (Context *)c;
        k->runs.push_back({std::string(text, (size_t)count), x, y, k->color, k->paper, k->font, 0});
      },
      [](void *, const RichRect *, uint32_t) {},
      [](void *c, RichHandle image, int x, int y) {
        Context *k = (Context *)c;
        k->runs.push_back({"", x, y, k->color, k->paper, k->font, image});
      },
      [](void *, int, int, int) {},
  };
  rich_draw(dd, &drawer);
  return context.runs;
}
