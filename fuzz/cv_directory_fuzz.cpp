// The CodeView reader over mutated NB09/NB11 data (the whole input, from its signature):
// the input is an exact-size heap block, so ASan reports any read outside it. A foreign
// signature is refused without a definition; no source carries more line pairs than the
// input could hold (6 bytes each); names fit their length byte. Known data with a directory
// that does not fit is refused before anything is defined.
// Long run: seed with the NB09 data of dbg-nb09/bds2006-calldemo/calldemo.dbg (from file
// offset 0x18C) and small NB11 files, and pass -max_len=400000.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/cvread/cv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  g_cv_fuzz = CvFuzzRun{nullptr, 0, 0, 0, size / 6, 0, 0};
  bool known = size >= 4 && (!memcmp(data, "NB09", 4) || !memcmp(data, "NB11", 4));
  bool ok = cv_load_debug_info(&kCvFuzzApi, data, size, data, nullptr) == LOAD_OK;
  if (ok && !known) abort();
  if (!ok && g_cv_fuzz.definitions) abort();
  return 0;
}
