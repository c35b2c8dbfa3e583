// The debugger's side of the load benchmark: kq's module loader and symbol stores with
// the cvread plug-in's entry point and its KQ_ adapters compiled in, so that a load runs
// as in kq.exe but for the call across the DLL boundary.
#pragma once

struct LoadTally {
  unsigned long symbols, lines;
};

bool bench_kq_begin(const char *image);
// Loads the image as a module at its preferred base (exports, sections, debug directory
// offered to the plug-in) and unloads it; tally gets the entries and line entries that
// stood in the stores.
bool bench_kq_load(LoadTally *tally);
// Called, when set, while a bench_kq_load has the module loaded.
extern void (*bench_kq_loaded)(void);
void bench_kq_end(void);
