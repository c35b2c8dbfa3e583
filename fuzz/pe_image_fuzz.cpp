// The module loader over mutated PE images: headers, PE dump, exports into the entry
// store, sections and the debug directory, and the patch finder's reading of the
// relocation and import tables against an image in memory of the input's own bytes. The
// input is an exact-size heap block, so ASan reports any read outside it; the offered debug
// data must lie inside it too.
// Long run: seed a corpus with real images, e.g. copies of the smaller DLLs of
// /usr/lib/i386-linux-gnu/wine/i386-windows, and pass -max_len=200000.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/debug_info.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/pe_patches.h"
#include "symbols/symbols.h"
#include "util/stringpool.h"
#include "util/zone.h"

namespace {

const uint8_t *g_begin, *g_end;

bool check_offer(const uint8_t *file_root, const uint8_t *debug_root) {
  if (file_root != g_begin || debug_root < g_begin || debug_root + 4 > g_end) abort();
  return debug_root[0] == 'N';  // sometimes accepted, so both paths run
}

bool seek_nothing(const char *) { return false; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  if (!ready) {
    pool_init();
    symbols_init();
    DebugInfoHandlers handlers = {check_offer, seek_nothing};
    debug_info_set_handlers(&handlers);
    ready = true;
  }
  g_begin = data;
  g_end = data + size;
  ModuleRecord *m = (ModuleRecord *)zone_alloc(sizeof(ModuleRecord));
  zone_clear(m);
  m->base = 0x10000000;
  m->end = 0x10100000;
  m->path = (char *)"fuzz.dll";
  module_parse_bytes(m, data, size);
  // Every export line lies in the module's text; no export makes two entries.
  for (int i = 0; i < m->export_count; i++)
    if (m->exports[i].line > (uint32_t)m->text.lines) abort();
  if (entries_count() > m->export_count) abort();
  PeImage *image = (PeImage *)zone_alloc(sizeof(PeImage));
  if (image && pe_read_image(data, size, image)) {
    // Memory as the input itself, at a size the headers do not choose.
    PePatchList patches;
    if (pe_find_patches(image, 0x10000000, data, (uint32_t)size, &patches)) {
      for (int i = 0; i < patches.count; i++)
        if (patches.items[i].offset >= size || patches.items[i].rva >= size) abort();
      zone_free(patches.items);
    }
    uint32_t offset = 0, refused = 0;
    if (pe_backed_range(image, image->optional.entry_rva, 16, &offset, &refused) && offset >= size)
      abort();
  }
  zone_free(image);
  entries_clear();
  text_free(&m->text);
  zone_free(m->exports);
  zone_free(m->sections);
  zone_free(m);
  return 0;
}
