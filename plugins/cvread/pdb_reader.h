// The program database named by an NB10 record (2.00) or an RSDS record (MSF 7.00).
#pragma once
#include <stdint.h>

#include "plugins/cvread/cv_state.h"

// What an NB10 or RSDS record says about its program database.
struct PdbRecord {
  const uint8_t *guid;  // the RSDS record's 16 bytes; null for NB10, which has signature
  uint32_t signature;
  uint32_t age;
  const char *path;  // as recorded, NUL-terminated inside the debug data
};

// Reads the program database of record (found as recorded or, failing that, under its
// file name beside image_path when that is given). With a log line when it cannot
// be opened, has an unknown version or belongs to another link of the image: the status
// says which, and the refusal names the files tried.
LoadStatus pdb_read(CvState *state, const PdbRecord *record, const char *image_path);
