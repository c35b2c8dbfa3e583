#include "symbols/mapped_files.h"

#include <string.h>

#include "util/log.h"

MappedFileTable g_mapped_files;

namespace {
int find_view(const uint8_t *view) {
  for (int i = g_mapped_files.count - 1; i >= 0; i--)
    if (view && g_mapped_files.items[i].view == view) return i;
  return -1;
}
}  // namespace

const uint8_t *map_file(const char *path) {
  MappedFileTable &t = g_mapped_files;
  if (!path) return nullptr;
  if (t.count >= MAXMAPNUM) {
    log_warning("Too many mapped files, '%s' is not mapped\n", path);
    return nullptr;
  }
  MappedFile m = {};
  if (!plat_map_file(path, &m)) return nullptr;
  t.items[t.count++] = m;
  return m.view;
}

void unmap_file(const uint8_t *view) {
  MappedFileTable &t = g_mapped_files;
  int i = find_view(view);
  if (i < 0) return;
  plat_unmap_file(&t.items[i]);
  memmove(&t.items[i], &t.items[i + 1], (size_t)(t.count - i - 1) * sizeof(MappedFile));
  t.count--;
}

size_t mapped_size(const uint8_t *view) {
  int i = find_view(view);
  return i < 0 ? 0 : g_mapped_files.items[i].size;
}
