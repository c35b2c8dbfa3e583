// Finding a module's debug information and offering it onward. The plug-in manager
// installs the handlers; without them nothing is accepted.
#pragma once
#include <stdint.h>

#include "symbols/pe_image.h"

struct ModuleRecord;

struct DebugInfoHandlers {
  // One debug-directory entry: the mapped file and the entry's data inside it. True when
  // someone read it (and defined the module's symbols).
  bool (*load)(const uint8_t *file_root, const uint8_t *debug_root);
  // An image without a debug directory: look elsewhere for the file at path.
  bool (*seek)(const char *path);
};
void debug_info_set_handlers(const DebugInfoHandlers *handlers);

enum { DEBUG_ENTRY_SIZE = 28, DEBUG_TYPE_MISC = 4, DEBUG_SIGNATURE_TEXT = 16 };

// Entries of a debug directory of size bytes: a byte size when a multiple of 28, else
// the count itself (linkers that store one there).
uint32_t debug_entry_count(uint32_t size);
// 'NB10' when the four bytes are letters or digits, else "0x%X" of the DWORD.
void debug_signature_text(const uint8_t *bytes, char *out);
// Locates the module's debug information in its image (or in the separate file of a
// stripped image) and offers every entry until one is accepted, with the module as the
// current module meanwhile.
void debug_info_load(ModuleRecord *module, const PeImage *image);
