// Whether a connected holder can be used: laid out at a few trial sizes, its sections
// must stay inside the holder and must not cover one another.
#pragma once
#include "ui/layout_graph.h"

// Gives null, or what is wrong with the holder.
const char *layout_check(Holder *holder);
