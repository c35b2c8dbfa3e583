// The program database reader over mutated files. The input's first 8 bytes are the
// signature and age of the NB10 record that names the file, the rest is the file (an
// exact-size heap block, so ASan reports any read outside it). A refused database
// defines nothing and every mapping is released.
// Long run: seed with the pdb2-jg databases of the corpus, each behind its NB10
// signature and age (MANIFEST.md), and pass -max_len=1200000.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/cvread/cv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 8) return 0;
  // NB10, offset 0, signature, age, the database's name.
  static const char kName[] = "fuzz.pdb";
  uint8_t record[16 + sizeof kName] = {'N', 'B', '1', '0'};
  memcpy(record + 8, data, 8);
  memcpy(record + 16, kName, sizeof kName);
  // The file in a block of its own size, so a read past its end is caught.
  std::vector<uint8_t> file(data + 8, data + size);
  g_cv_fuzz =
      CvFuzzRun{file.empty() ? nullptr : file.data(), file.size(), 0, 0, file.size() / 6, 0, 0};
  bool ok = cv_load_debug_info(&kCvFuzzApi, record, sizeof record, record, nullptr);
  if (g_cv_fuzz.mapped != 0) abort();
  if (!ok && g_cv_fuzz.definitions) abort();
  return 0;
}
