// The mapped-file service: whole files mapped read-only, for the module loader and for
// plug-ins (KQ_MapFile, KQ_UnmapFile). The mappings are kept packed in mapping order.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { MAXMAPNUM = 20 };

struct MappedFile {
  void *file;     // system handles (Win32), or none
  void *mapping;
  const uint8_t *view;
  size_t size;
};

struct MappedFileTable {
  MappedFile items[MAXMAPNUM];
  int count;
};
extern MappedFileTable g_mapped_files;

// The view of the whole file, or null (no such file, empty, or the table is full).
const uint8_t *map_file(const char *path);
// Releases the most recent mapping with that view; an unknown view is ignored.
void unmap_file(const uint8_t *view);
// Size of the file behind a view, 0 for an unknown view.
size_t mapped_size(const uint8_t *view);

// The system's part (mapped_files_win32.cpp, mapped_files_posix.cpp).
bool plat_map_file(const char *path, MappedFile *out);
void plat_unmap_file(MappedFile *mapped);
