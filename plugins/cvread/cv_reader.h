// The CodeView reader: NB09 and NB11 data in an image or a separate debug file, and the
// program database (PDB 2.00) named by an NB10 record. Platform-free: it reaches the
// debugger only through the DebugApi table, so it runs in the plug-in and in host tests.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/load_status.h"

// Reads the debug-directory data at debug_root, which lies inside the file_size bytes at
// file_root (every offset the data names is checked against that end). image_path, which
// may be null, is the full path of the module's image: an NB10 record whose recorded PDB
// path does not exist is also looked for under the same file name beside the image.
// LOAD_FOREIGN for a foreign signature (silently); for a PDB that cannot be opened, has an
// unknown version or does not belong to the image, the status that says so, with a log
// line and the refusal told through the api. Nothing is defined then; a cancelled load
// may have defined part of the module, which the debugger takes back.
LoadStatus cv_load_debug_info(const DebugApi *api, const uint8_t *file_root, size_t file_size,
                              const uint8_t *debug_root, const char *image_path);

// The plug-in's description for the plug-in dialog.
extern const char cv_reader_title[];
