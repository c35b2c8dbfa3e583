// The plug-in's entry points are called directly as the debug-information handlers; the
// few KQ_ functions outside the symbol stores that it uses stand in for kq.exe's
// (plugins/tests/kq_standin_exports.cpp).
#include "bench/cv_load_bench_kq.h"

#include "plugin_host/kqplugin.h"
#include "settings/changes.h"
#include "symbols/debug_info.h"
#include "symbols/entries.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_image.h"
#include "symbols/sources.h"
#include "symbols/symbols.h"
#include "util/stringpool.h"
#include "util/tab.h"

namespace {

ModuleSnapshotEntry g_module;

}  // namespace

void (*bench_kq_loaded)(void);

bool bench_kq_begin(const char *image, const DebugInfoHandlers *handlers) {
  pool_init();
  symbols_init();
  // As kq.exe does for its debuggee: relative source names are looked for beside it.
  symbols_set_program(image);
  debug_info_set_handlers(handlers);
  const uint8_t *view = map_file(image);
  static PeImage pe;
  bool ok = view && pe_read_image(view, mapped_size(view), &pe);
  unmap_file(view);
  g_module = ModuleSnapshotEntry{"bench.exe", image, pe.optional.image_base,
                                 pe.optional.size_of_image, 1};
  return ok;
}

bool bench_kq_load(LoadTally *tally) {
  modules_refresh_from(&g_module, 1);
  if (bench_kq_loaded) bench_kq_loaded();
  unsigned long lines = 0;
  for (int slot = 0; slot < tab_count(&g_sources.table); slot++)
    if (tab_in_use(&g_sources.table, slot))
      lines += (unsigned long)(*(SourceRecord **)tab_slot(&g_sources.table, slot))->line_count;
  *tally = LoadTally{(unsigned long)entries_count(), lines};
  modules_refresh_from(nullptr, 0);
  return tally->symbols > 0 && lines > 0;
}

void bench_kq_end(void) {
  debug_info_set_handlers(nullptr);
  symbols_shutdown();
}
