// Any text as an installation script: the compiler never reads outside it, stores every
// string once, keeps every table entry's strings inside the pool and the header strings
// too, and frees all it made. "file" patterns find nothing: only temporary entries exist.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "setup/script.h"
#include "util/zone.h"

static int list_nothing(const char *, const char *, void (*)(const char *, uint32_t, bool, void *),
                        void *) {
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  SetupFiles fs = g_setup_files;
  fs.list = list_nothing;
  int blocks = zone_block_count();
  PackageInfo info = {};
  Variables vars = {};
  ScriptError error;
  bool ok = script_compile((const char *)data, size, &fs, "",
                           &info, &vars, &error);
  if (ok == (error.text[0] != 0)) __builtin_trap();
  uint32_t pool = (uint32_t)zone_size(info.pool);
  if (!pool || info.pool[pool - 1]) __builtin_trap();  // the header strings are always there
  for (uint32_t a = 0; a < pool; a += (uint32_t)strlen(info.pool + a) + 1)
    for (uint32_t b = a + (uint32_t)strlen(info.pool + a) + 1; b < pool;
         b += (uint32_t)strlen(info.pool + b) + 1)
      if (!strcmp(info.pool + a, info.pool + b)) __builtin_trap();
  const uint32_t header[] = {info.header.company, info.header.product, info.header.regkey,
                             info.header.folder};
  for (uint32_t offset : header)
    if (offset >= pool) __builtin_trap();
  for (uint32_t i = 0; i < info.value_count; i++)
    if (info.values[i].name >= pool || info.values[i].value >= pool) __builtin_trap();
  for (uint32_t i = 0; i < info.link_count; i++)
    if (info.links[i].title >= pool || info.links[i].target >= pool) __builtin_trap();
  for (uint32_t i = 0; i < info.file_count; i++)
    if (info.files[i].destination >= pool || !info.files[i].temporary) __builtin_trap();
  for (int i = 0; i < vars.count; i++)
    if (vars.items[i].name[0] != '$') __builtin_trap();
  zone_heap_check("setup_script_fuzz");
  package_free(&info);
  variables_free(&vars);
  if (zone_block_count() != blocks) __builtin_trap();
  return 0;
}
