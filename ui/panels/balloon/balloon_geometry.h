// The command balloon's geometry, free of windows: the rows' places from the measured
// texts, where the balloon goes beside its target, the pointer triangle towards the
// target, and the row under a point.
#pragma once
#include <stdint.h>

enum {
  BALLOON_HEADER_TOP = 68, BALLOON_ROW_GAP = 4, BALLOON_BOTTOM = 60, BALLOON_SIDES = 140,
  BALLOON_MARGIN = 50, BALLOON_TARGET_GROW = 18, BALLOON_ROWS_MAX = 40
};

struct BalloonRect {
  int left, top, right, bottom;
};
struct BalloonPoint {
  int x, y;
};

// Measured texts of one row on entry; its width, height and top on return.
struct BalloonRow {
  int key_width, key_height, title_width, title_height;
  int width, height, top;
};
// Places the rows under the header; gives the balloon's width and height.
void balloon_measure(int header_width, int header_height, BalloonRow *rows, int count,
                     int *width, int *height);

// Where the balloon goes: beside the target (left, right, above, below, the first side
// with room), centred on it when no side has room; with a caret in the target the height
// follows the caret's line, kept on the screen.
struct BalloonPlace {
  BalloonRect screen, target;
  int width, height;
  bool caret;
  int caret_y;
};
BalloonPoint balloon_place(const BalloonPlace *p);

// The pointer: from the window rectangle r (client coordinates), its centre c and the
// direction d towards the target's centre, a triangle whose base is 2k wide at c and whose
// tip is pulled back onto r. points[0] is the tip.
void balloon_pointer(const BalloonRect *r, BalloonPoint c, BalloonPoint d, int k,
                     BalloonPoint points[3]);

// The row whose band holds the point (inside the client width narrowed by the margins),
// the later row first; -1 for none.
int balloon_hit(const BalloonRow *rows, int count, int client_width, int x, int y);
