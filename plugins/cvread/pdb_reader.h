// The program database named by an NB10 record.
#pragma once
#include <stdint.h>

#include "plugins/cvread/cv_state.h"

// What an NB10 record says about its program database.
struct Nb10Record {
  uint32_t signature;
  uint32_t age;
  const char *path;  // as recorded, NUL-terminated inside the debug data
};

// Reads the program database of record (found as recorded or, failing that, under its
// file name beside image_path when that is given). False with a log line when it cannot
// be opened, has an unknown version or belongs to another link of the image.
bool pdb_read(CvState *state, const Nb10Record *record, const char *image_path);
