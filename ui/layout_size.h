// Sizes and positions: the relayout of a holder for its client size, and the sizes a
// dragged bar leaves behind. Neither allocates: a relayout runs on every mouse move of a
// drag.
#pragma once
#include "ui/layout_graph.h"

// Places every bar and sets every section's rect for the client size; a holder smaller
// than its minimums is laid out at its minimum size. False when a chain of sections
// ends at a bar that is not yet placed (a layout that cannot be used).
bool layout_relayout(Holder *holder, int width, int height);
// Moves the bar (an index into holder->bars) to pos, kept between the bars beyond its
// sections and inside the holder, and takes the new extents of those sections into their
// size specs and the minimum sums. The relayout that follows recomputes all positions
// from them.
void layout_move_bar(Holder *holder, int bar, int pos);
// Gives the section the length along the axis (0: its width) by moving its far side's bar,
// or its near side's when the far one is a border of the holder; the bar stops where
// layout_move_bar stops it. False when both sides are borders.
bool layout_resize_section(Holder *holder, Section *section, int axis, int length);
// Where a section's panel window goes inside the section: inside the frame and the bars.
LayoutRect layout_panel_rect(const Section *section);
