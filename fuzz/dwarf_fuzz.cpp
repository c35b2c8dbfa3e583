// The DWARF and COFF symbol reader over mutated images: the input is an exact-size heap
// block, so ASan reports any read outside it. Every name fits its buffer, no source
// carries more rows than the input has bytes (each row takes an opcode), and the image
// is mapped and released once.
// Seeds: the small images the host tests build, build/host/plugins/dwarfread/tests/
// *_seed.exe (about 10 KB each); pass -max_len=20000.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/dwarfread/dwarf_reader.h"

namespace {

// Source names are paths, which may be longer than a symbol name.
DebugSource path_source(const char *name, int count, const uint16_t *lines,
                        const uint32_t *addresses) {
  if (strlen(name) >= 260) abort();
  return cv_fuzz_source("", count, lines, addresses);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  g_cv_fuzz = CvFuzzRun{data, size, 0, 0, size, 0, 0};
  DebugApi api = kCvFuzzApi;
  api.define_source = path_source;
  DwarfCounts counts = {};
  bool ok = dwarf_seek(&api, "C:\\app\\prog.exe", &counts) == LOAD_OK;
  if (!ok && g_cv_fuzz.definitions) abort();  // refused images define nothing
  if (g_cv_fuzz.mapped != 0) abort();
  return 0;
}
