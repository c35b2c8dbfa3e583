// The reader of DWARF debug information and COFF symbols in PE images, as mingw-w64's
// gcc and clang write them: .debug_* sections found by their long names, and the COFF
// symbol table behind the sections. Platform-free: it reaches the debugger only through
// the DebugApi table, so it runs in the plug-in and in host tests.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/load_status.h"
#include "plugins/dwarfread/dwarf_state.h"

// Reads the image file[0..size): its COFF symbols as entries, then its DWARF units.
// LOAD_NOT_FOUND (told as the refusal, not logged) when the image has neither,
// LOAD_BAD_SIGNATURE when it is no PE image, LOAD_CANCELLED when the user stopped the
// load; counts may be null.
LoadStatus dwarf_load(const DebugApi *api, const uint8_t *file, size_t size, DwarfCounts *counts);
// The same for the image file at path, mapped through the api.
LoadStatus dwarf_seek(const DebugApi *api, const char *image_path, DwarfCounts *counts);

// The plug-in's description for the plug-in dialog.
extern const char dwarf_reader_title[];
