// The program database reader over mutated files. The input's first 8 bytes are the
// signature and age of the NB10 record that names the file, the rest is the file (an
// exact-size heap block, so ASan reports any read outside it). A refused database
// defines nothing and every mapping is released.
// Long run: seed with the pdb2-jg databases of the corpus, each behind its NB10
// signature and age (MANIFEST.md), and pass -max_len=1200000.
#include <stdint.h>
#include <string.h>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/cvread/cv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 8) return 0;
  // NB10, offset 0, signature, age, the database's name.
  uint8_t record[16 + sizeof kCvFuzzName] = {'N', 'B', '1', '0'};
  memcpy(record + 8, data, 8);
  memcpy(record + 16, kCvFuzzName, sizeof kCvFuzzName);
  cv_fuzz_database(record, sizeof record, data + 8, size - 8, 6, cv_load_debug_info);
  return 0;
}
