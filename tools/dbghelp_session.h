// The system's symbol handler (dbghelp) on one image and its debug information: the
// independent view of symbol addresses and line numbers that our readers are checked
// against. The PDB (or .dbg) is looked for under its recorded path and in the image's
// folder. Win32 only.
#pragma once
#include <stdint.h>

struct DbghelpSink {
  void *context;
  // What dbghelp loaded: the image base, its kind of symbols ("SymPdb", "SymExport", ...)
  // and the file they came from.
  void (*on_module)(void *context, uint32_t base, const char *kind, const char *file);
  // tag is dbghelp's symbol kind (5 function, 7 data, 9 label, 10 public, 27 thunk);
  // flags its SYMFLAG_ bits (0x1 a constant's value, 0x200 taken from the image's
  // header or exports rather than from its debug information).
  void (*on_symbol)(void *context, uint32_t address, uint32_t tag, uint32_t flags,
                    const char *name);
  void (*on_line)(void *context, uint32_t address, uint32_t line, const char *file);
};

// One symbol handler session for this process; false when dbghelp refuses, with the
// reason in *why.
bool dbghelp_begin(const char *image, const char **why);
// Loads the image at its preferred base, reports its symbols and line entries, unloads
// it. False when dbghelp cannot load or enumerate it, with the reason in *why.
bool dbghelp_enumerate(const char *image, const DbghelpSink *sink, const char **why);
void dbghelp_end(void);
