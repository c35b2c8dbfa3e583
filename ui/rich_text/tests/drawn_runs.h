// The runs of text a document draws, each with its line's position and its colours, taken
// by a recording drawer: what the panels' document tests compare.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "ui/rich_text/rich_text_read.h"

struct DrawnRun {
  std::string text;
  int y;
  uint32_t color, paper;
};

inline std::vector<DrawnRun> drawn_runs(RichText *dd) {
  struct Context {
    std::vector<DrawnRun> runs;
    uint32_t color = 0, paper = RICH_TRANSPARENT;
  } context;
  RichDrawer drawer = {
      &context,
      [](void *, int, int, RichRect *clip, uint32_t *color) {
        *clip = {0, 0, 100000, 100000};
        *color = 0;
      },
      [](void *) {},
      [](void *, RichHandle) {},
      [](void *c, uint32_t text, uint32_t paper) {
        ((Context *)c)->color = text;
        ((Context *)c)->paper = paper;
      },
      [](void *c, int, int y, const char *text, int count) {
        Context *x = (Context *)c;
        x->runs.push_back({std::string(text, (size_t)count), y, x->color, x->paper});
      },
      [](void *, const RichRect *, uint32_t) {},
      [](void *, RichHandle, int, int) {},
      [](void *, int, int, int) {},
  };
  rich_draw(dd, &drawer);
  return context.runs;
}
