// The animation panel (window class "animator"): while it is shown and the debuggee runs,
// the followed thread's call stack is sampled every 20 ms into the rotating graph of
// animator_graph, drawn over a grid with the log's last page. Its window text is the set
// of particles and links, for whoever reads the panel from outside.
#pragma once
#include <windows.h>

// Registers the "animator" class with the panel's procedure before the panels are created.
void animator_register();
