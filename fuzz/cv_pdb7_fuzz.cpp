// The MSF 7.00 reader (container, streams, types, symbols, C13 lines) over mutated files.
// The input's first 20 bytes are the GUID and age of the RSDS record that names the file,
// the rest is the file (an exact-size heap block, so ASan reports any read outside it). A
// refused database defines nothing and every mapping is released.
// Long run: seed with the corpus and test-built PDB 7 files, each behind the GUID and age
// of its image's RSDS record, and pass -max_len=1200000.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/cvread/cv_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 20) return 0;
  // RSDS, GUID, age, the database's name.
  static const char kName[] = "fuzz.pdb";
  uint8_t record[24 + sizeof kName] = {'R', 'S', 'D', 'S'};
  memcpy(record + 4, data, 20);
  memcpy(record + 24, kName, sizeof kName);
  std::vector<uint8_t> file(data + 20, data + size);
  g_cv_fuzz =
      CvFuzzRun{file.empty() ? nullptr : file.data(), file.size(), 0, 0, file.size() / 8, 0, 0};
  bool ok = cv_load_debug_info(&kCvFuzzApi, record, sizeof record, record, nullptr);
  if (g_cv_fuzz.mapped != 0) abort();
  if (!ok && g_cv_fuzz.definitions) abort();
  return 0;
}
