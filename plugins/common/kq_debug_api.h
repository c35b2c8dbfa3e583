// The debugger side of a debug-information reader inside a plug-in: the DebugApi table
// filled with kq.exe's KQ_ exports, and what the reader needs to know about the module
// being loaded.
#pragma once
#include "plugins/common/debug_api.h"
#include "util/path.h"

extern const DebugApi kq_debug_api;

// The full path of the module whose debug information is being loaded (its image, also
// when the data comes from a separate debug file); false outside PLUGIN_LoadDebugInfo.
bool kq_current_module_path(char path[KQ_PATH]);
