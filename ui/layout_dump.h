// Diagnostic dumps of the layout into the log.
#pragma once
#include "ui/layout_graph.h"

// The holder's sections with their rectangles and sizes, then its bars.
void layout_dump_holder(const Holder *holder);
// One line: the section's id, panel window and rectangle.
void layout_dump_section(const Section *section);
