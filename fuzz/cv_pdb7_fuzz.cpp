// The MSF 7.00 reader (container, streams, types, symbols, C13 lines) over mutated files.
// The input's first 20 bytes are the GUID and age of the RSDS record that names the file,
// the rest is the file (an exact-size heap block, so ASan reports any read outside it). A
// refused database defines nothing and every mapping is released.
// Long run: seed with the corpus and test-built PDB 7 files, each behind the GUID and age
// of its image's RSDS record, and pass -max_len=1200000.
#include <stdint.h>
#include <string.h>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/cvread/cv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 20) return 0;
  // RSDS, GUID, age, the database's name.
  uint8_t record[24 + sizeof kCvFuzzName] = {'R', 'S', 'D', 'S'};
  memcpy(record + 4, data, 20);
  memcpy(record + 24, kCvFuzzName, sizeof kCvFuzzName);
  cv_fuzz_database(record, sizeof record, data + 20, size - 20, 8, cv_load_debug_info);
  return 0;
}
