// Read-only whole-file mappings through the system's file mapping.
#include <windows.h>

#include "symbols/mapped_files.h"

bool plat_map_file(const char *path, MappedFile *out) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  HANDLE mapping = nullptr;
  // An empty file has no mapping; one beyond 4 GB cannot be viewed whole here.
  if (low != INVALID_FILE_SIZE && !high && low)
    mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void *view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (!view) {
    if (mapping) CloseHandle(mapping);
    CloseHandle(file);
    return false;
  }
  out->file = file;
  out->mapping = mapping;
  out->view = (const uint8_t *)view;
  out->size = low;
  return true;
}

void plat_unmap_file(MappedFile *mapped) {
  UnmapViewOfFile((void *)mapped->view);
  CloseHandle((HANDLE)mapped->mapping);
  CloseHandle((HANDLE)mapped->file);
}
