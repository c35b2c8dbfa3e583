// Painting the animation panel into any device context: the panel's window and the
// benchmark's memory bitmap draw through the same routine.
#pragma once
#include <windows.h>

#include "ui/panels/animator/animator_graph.h"

// The documents a frame draws besides the graph: the counters (bottom right), the column
// of particles (right, moved down by top) and the log's last page (top left, may be null).
struct AnimatorDocs {
  RichText *counters, *column, *log;
};

// Colours (0x00BBGGRR).
enum : uint32_t {
  ANIMATOR_PAPER = 0xC8C814, ANIMATOR_GRID = 0xDCDC14, ANIMATOR_TEXT = 0x9BFF,
  ANIMATOR_LINK = 0xFFFFFF, ANIMATOR_PARTICLE = 0x00FFFF
};
enum { ANIMATOR_GRID_STEP = 30, ANIMATOR_RADIUS = 4 };

// Draws one frame of g into client; the tick counter then grows by one.
void animator_draw(HDC dc, const RECT *client, AnimatorGraph *g, const AnimatorDocs *docs,
                   int top);
