// The CodeView reader feeding the debugger's own stores on the host, for profiling the
// stores with the host's tools: one image (its PDB beside it or where it says) loaded as
// a module and unloaded again, best of the loads, with the zone bytes the stores held.
//   build/host/bench/pdb_store_bench IMAGE [loads]
#include <stdio.h>
#include <stdlib.h>

#include <chrono>

#include "plugins/cvread/cv_reader.h"
#include "symbols/debug_info.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_image.h"
#include "symbols/sources.h"
#include "symbols/symbols.h"
#include "symbols/types.h"
#include "util/stringpool.h"
#include "util/zone.h"

namespace {

const char *g_image;
size_t g_held;  // zone bytes while the module was loaded
int g_blocks;   // and zone blocks

TypeRecord *T(DebugType t) { return (TypeRecord *)t; }
void quiet(const char *, ...) {}
const uint8_t *whole_file(const char *path, size_t *size) {
  const uint8_t *root = map_file(path);
  *size = mapped_size(root);
  return root;
}
DebugType get_type(const char *spec) { return expression_get_type(spec); }
uint32_t address(uint16_t section, uint32_t offset) {
  return module_section_address(section, offset);
}
DebugType pointer(DebugType t) { return type_define_pointer(T(t)); }
DebugType array(DebugType t, uint32_t size) { return type_define_array(T(t), size); }
DebugType enumeration(const char *name, DebugType t) { return type_define_enum(name, T(t)); }
DebugType structure(const char *name, int size) { return type_define_struct(name, size); }
DebugType frame(const char *name, DebugType f, uint32_t start, uint32_t end) {
  return type_define_frame(name, T(f), start, end);
}
DebugType function(DebugType args, DebugType result, int call) {
  return type_define_function(T(args), T(result), call);
}
void member(DebugType t, const char *name, int shift, DebugType m) {
  if (t && name) type_define_member(T(t), name, shift, T(m));
}
DebugSource source(const char *name, int count, const uint16_t *lines, const uint32_t *adrs) {
  return source_define(name, count, lines, adrs);
}
DebugEntry entry(const char *name, uint32_t address, DebugType type, DebugSource src) {
  return name ? entry_define(name, address, T(type), (SourceRecord *)src) : nullptr;
}
DebugEntry find(const char *name) { return name ? entry_find(name) : nullptr; }

const DebugApi kStoreApi = {quiet, whole_file, unmap_file, get_type, address,
                            pointer, array, enumeration, structure, frame,
                            function, member, source, entry, find, nullptr, nullptr};

bool offer(const uint8_t *file_root, const uint8_t *debug_root) {
  return cv_load_debug_info(&kStoreApi, file_root, mapped_size(file_root), debug_root, g_image) ==
         LOAD_OK;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: pdb_store_bench IMAGE [loads]\n");
    return 2;
  }
  g_image = argv[1];
  int loads = argc > 2 ? atoi(argv[2]) : 5;
  pool_init();
  symbols_init();
  // As kq.exe does for its debuggee: relative source names are looked for beside it.
  symbols_set_program(g_image);
  static const DebugInfoHandlers handlers = {offer, nullptr};
  debug_info_set_handlers(&handlers);
  const uint8_t *view = map_file(g_image);
  PeImage pe;
  if (!view || !pe_read_image(view, mapped_size(view), &pe)) {
    fprintf(stderr, "pdb_store_bench: cannot read %s\n", g_image);
    return 1;
  }
  unmap_file(view);
  ModuleSnapshotEntry module = {"bench.exe", g_image, pe.optional.image_base,
                                pe.optional.size_of_image, 1};
  double best = 0;
  int entries = 0;
  for (int i = 0; i < loads; i++) {
    size_t before = zone_total_size();
    int blocks = zone_block_count();
    auto start = std::chrono::steady_clock::now();
    modules_refresh_from(&module, 1);
    entries = entries_count();
    g_held = zone_total_size() - before;
    g_blocks = zone_block_count() - blocks;
    if (i == 0)
      printf("types %d, sources %d, pooled texts %d, type names %d\n", tab_used(&g_types.table),
             sources_count(), pool_count(), g_types.names.count);
    modules_refresh_from(nullptr, 0);
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    double ms = took.count();
    if (best == 0 || ms < best) best = ms;
  }
  printf("%s: %d entries, %.2f ms per load and unload (best of %d), %.1f MB in %d blocks\n",
         g_image, entries, best, loads, g_held / 1048576.0, g_blocks);
  debug_info_set_handlers(nullptr);
  symbols_shutdown();
  return entries > 0 ? 0 : 1;
}
