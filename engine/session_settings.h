// The settings the debug session reads, as plain values until the settings table of the
// program takes them over.
#pragma once
#include "util/path.h"

// Arguments: the command line given to a launched debuggee after its own name.
inline char g_setting_arguments[KQ_PATH];
