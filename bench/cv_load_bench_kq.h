// The debugger's side of the load benchmarks: kq's module loader and symbol stores with
// a plug-in's entry points and its KQ_ adapters compiled in, so that a load runs as in
// kq.exe but for the call across the DLL boundary.
#pragma once
#include "symbols/debug_info.h"

struct LoadTally {
  unsigned long symbols, lines;
};

// handlers call the plug-in's entry points.
bool bench_kq_begin(const char *image, const DebugInfoHandlers *handlers);
// Loads the image as a module at its preferred base (exports, sections, debug directory
// offered to the plug-in) and unloads it; tally gets the entries and line entries that
// stood in the stores.
bool bench_kq_load(LoadTally *tally);
// Called, when set, while a bench_kq_load has the module loaded.
extern void (*bench_kq_loaded)(void);
void bench_kq_end(void);
