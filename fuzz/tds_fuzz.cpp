// The Borland reader over mutated data: the input is an exact-size heap block, so ASan
// reports any read outside it. The first byte chooses the way in: the data at the start
// of the input (as a .TDS file or a debug-directory entry), or the input as an image
// without a .TDS beside it, whose data is appended behind a trailer. A foreign signature
// defines nothing; no source carries more line pairs than the input could hold; names
// fit their length byte; every mapping is released.
// Long run: seed with the corpus's .tds files and the Delphi program (td32-embedded),
// prefixed with a 0 or 1 byte, and pass -max_len=4000000.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/tdsread/tds_reader.h"

namespace {

// Serves the image, and no .TDS file beside it.
const uint8_t *image_only(const char *path, size_t *size) {
  size_t n = strlen(path);
  if (n >= 4 && !strcmp(path + n - 4, ".TDS")) return nullptr;
  return cv_fuzz_map(path, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  bool appended = data[0] & 1;
  const uint8_t *file = data + 1;
  size_t file_size = size - 1;
  g_cv_fuzz = CvFuzzRun{file, file_size, 0, 0, file_size / 6, 0, 0};
  DebugApi api = kCvFuzzApi;
  api.map_file = image_only;
  bool known = file_size >= 4 && (!memcmp(file, "FB07", 4) || !memcmp(file, "FB08", 4) ||
                                  !memcmp(file, "FB09", 4) || !memcmp(file, "FB0A", 4));
  bool ok = (appended ? tds_seek(&api, "C:\\app\\prog.exe", nullptr)
                      : tds_load(&kCvFuzzApi, file, file_size, file, nullptr)) == LOAD_OK;
  if (!appended && !known && ok) abort();
  // Refused data defines nothing.
  if (!ok && g_cv_fuzz.definitions) abort();
  if (g_cv_fuzz.mapped != 0) abort();
  return 0;
}
