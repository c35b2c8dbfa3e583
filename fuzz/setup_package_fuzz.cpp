// Any bytes as an installer package: the reader never reads outside them, frees every block
// when it refuses, and what it accepts is whole: every string offset inside the pool, every
// destination inside the installation folder, the files' sizes adding up to the data area,
// the regions between the header and the trailer. An accepted package is then extracted
// into a file system that only checks that every path it is given lies in the target.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "setup/extract.h"
#include "setup/package.h"
#include "util/zone.h"

// The file system of the extraction: nothing is written, every path must be below "T".
static bool below_target(const char *path) {
  return (!strcmp(path, "T") || !strncmp(path, "T\\", 2)) && package_path_is_inside(path);
}
static void *check_create(const char *path) {
  if (!below_target(path)) __builtin_trap();
  return (void *)1;
}
static bool check_path(const char *path) {
  if (!below_target(path)) __builtin_trap();
  return true;
}
static void *no_file(const char *) { return nullptr; }
static size_t read_nothing(void *, void *, size_t) { return 0; }
static bool write_any(void *, const void *, size_t) { return true; }
static bool seek_any(void *, uint32_t) { return true; }
static bool no_size(void *, uint32_t *) { return false; }
static bool close_any(void *) { return true; }
static int missing(const char *path) {
  check_path(path);
  return 0;
}
static int list_nothing(const char *, const char *, void (*)(const char *, uint32_t, bool, void *),
                        void *) {
  return 0;
}
static const SetupFiles kCheckingFiles = {no_file,     check_create, read_nothing, write_any,
                                          seek_any,    no_size,      close_any,    check_path,
                                          missing,     check_path,   check_path,   list_nothing};

static bool inside(uint64_t offset, uint64_t size, uint64_t start, uint64_t end) {
  return offset >= start && offset + size <= end;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  int blocks = zone_block_count();
  MemorySource src;
  memory_source_init(&src, data, (uint32_t)size);
  PackageInfo info;
  bool ok = package_read(&src.source, &info, READ_IMAGES);
  if (!ok) {
    if (zone_block_count() != blocks || info.pool || info.files) __builtin_trap();
    return 0;
  }
  const PackageHeader &h = info.header;
  uint32_t pool = h.pool_size;
  if (zone_size(info.pool) != pool) __builtin_trap();
  if (pool && info.pool[pool - 1]) __builtin_trap();
  uint64_t start = (uint64_t)info.header_offset + PACKAGE_HEADER_SIZE;
  uint64_t end = size - PACKAGE_TRAILER_SIZE;
  if (h.data_offset != start + h.info_length || !inside(h.data_offset, h.data_length, start, end))
    __builtin_trap();
  if (!inside(h.pool_offset, pool, start, h.data_offset) ||
      !inside(h.files_offset, 12ull * h.file_count, start, h.data_offset) ||
      !inside(h.license_offset, h.license_size, start, h.data_offset))
    __builtin_trap();
  uint64_t sum = 0;
  for (uint32_t i = 0; i < info.file_count; i++) {
    if (info.files[i].destination >= pool) __builtin_trap();
    if (!package_path_is_inside(package_string(&info, info.files[i].destination))) __builtin_trap();
    sum += info.files[i].size;
  }
  if (h.data_length && sum != h.data_length) __builtin_trap();
  for (uint32_t i = 0; i < info.link_count; i++)
    if (info.links[i].title >= pool || info.links[i].target >= pool || info.links[i].kind > 1)
      __builtin_trap();
  for (uint32_t i = 0; i < info.value_count; i++)
    if (info.values[i].name >= pool || info.values[i].value >= pool || info.values[i].kind > 1)
      __builtin_trap();
  if (!h.data_length && strlen(info.folder) >= KQ_PATH) __builtin_trap();
  if (h.license_size && strlen(info.license) > h.license_size) __builtin_trap();
  Variables vars = {};
  package_extract(&kCheckingFiles, &src.source, &info, &vars, "T", nullptr);
  variables_free(&vars);
  zone_heap_check("setup_package_fuzz");
  package_free(&info);
  if (zone_block_count() != blocks) __builtin_trap();
  return 0;
}
