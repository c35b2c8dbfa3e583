// cv_load_debug_info with the counts of what it read, for tests and fuzzing.
#pragma once
#include "plugins/cvread/cv_state.h"

LoadStatus cv_load(const DebugApi *api, const uint8_t *file_root, size_t file_size,
                   const uint8_t *debug_root, const char *image_path, CvCounts *counts);
