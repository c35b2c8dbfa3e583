// The reader of DWARF debug information and COFF symbols in PE images, as mingw-w64's
// gcc and clang write them: .debug_* sections found by their long names, and the COFF
// symbol table behind the sections. Platform-free: it reaches the debugger only through
// the DebugApi table, so it runs in the plug-in and in host tests.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/debug_api.h"
#include "plugins/dwarfread/dwarf_state.h"

// Reads the image file[0..size): its COFF symbols as entries, then its DWARF units.
// False (silently) when the image has neither; counts may be null.
bool dwarf_load(const DebugApi *api, const uint8_t *file, size_t size, DwarfCounts *counts);
// The same for the image file at path, mapped through the api.
bool dwarf_seek(const DebugApi *api, const char *image_path, DwarfCounts *counts);

// The plug-in's description for the plug-in dialog.
extern const char dwarf_reader_title[];
