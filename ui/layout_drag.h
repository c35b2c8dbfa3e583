// Splitter dragging: which bar lies under the mouse, the cursor it asks for, and the drag
// that moves bars while the left button is held.
#pragma once
#include "ui/layout_graph.h"

enum LayoutCursor { LAYOUT_CURSOR_ARROW, LAYOUT_CURSOR_WE, LAYOUT_CURSOR_NS, LAYOUT_CURSOR_ALL };

// The index of the bar of the axis (0 vertical, 1 horizontal) under the point, or -1.
int layout_hit_bar(const Holder *holder, LayoutPoint point, int axis);
// Button pressed: starts the drag of the bars under the point.
LayoutCursor layout_drag_begin(Holder *holder, LayoutPoint point);
// Mouse moved: during a drag the bars follow the mouse and the holder is laid out again
// at its last client size; otherwise only the cursor is found.
LayoutCursor layout_drag_move(Holder *holder, LayoutPoint point);
// Button released: the last move of the drag, which then ends.
LayoutCursor layout_drag_end(Holder *holder, LayoutPoint point);
