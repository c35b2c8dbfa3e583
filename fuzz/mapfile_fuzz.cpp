// Any map text: the reader never reads outside it, and every name it keeps ends inside
// the name buffer; symbolic names of addresses stay within their buffer.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "util/mapfile.h"
#include "util/visor.h"

static const MapSectionInfo kSections[] = {{0x1000, true}, {0x8000, false}, {0x9000, true}};
static const MapImage kImage = {0x400000, 0x401000, 0x10000, 3, kSections};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // The limits end the program by design; keep inputs below them.
  if (size > 60000) return 0;
  mapfile_load_text("/fuzz.exe", (const char *)data, size, &kImage);
  char name[32];
  for (uintptr_t a = 0x400ff0; a < 0x411000; a += 0x777) {
    symbolic_address(a, name, sizeof name);
    if (strlen(name) >= sizeof name) __builtin_trap();
  }
  mapfile_unload("/fuzz.exe");
  return 0;
}
