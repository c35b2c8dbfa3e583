// Whether a connected holder can be used: its sections must be kept apart by bars, and
// laid out at a few trial sizes they must stay inside the holder.
#pragma once
#include "ui/layout_graph.h"

// Gives null, or what is wrong with the holder.
const char *layout_check(Holder *holder);
