// The Borland debug information reader: the CodeView-4 layout with the signatures FB07
// to FB0A, found through the image's debug directory, in a .TDS file beside the image or
// appended to the image behind a trailer. Platform-free: it reaches the debugger only
// through the DebugApi table, so it runs in the plug-in and in host tests.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/common/load_status.h"
#include "plugins/tdsread/tds_state.h"

// Reads the data at debug_root, which lies inside the file_size bytes at file_root.
// LOAD_FOREIGN for a foreign signature (silently), LOAD_BAD_DIRECTORY for data without a
// usable subsection directory (with a log line and the refusal); nothing is defined then.
// LOAD_CANCELLED when the user stopped it. counts may be null.
LoadStatus tds_load(const DebugApi *api, const uint8_t *file_root, size_t file_size,
              const uint8_t *debug_root, TdsCounts *counts);
// The debug information of an image without a debug directory: the .TDS file beside it,
// else information appended to the image itself (a signature and the DWORD distance back
// to the data's start at the very end of the file). LOAD_NOT_FOUND when there is neither.
LoadStatus tds_seek(const DebugApi *api, const char *image_path, TdsCounts *counts);

// The plug-in's description for the plug-in dialog.
extern const char tds_reader_title[];
