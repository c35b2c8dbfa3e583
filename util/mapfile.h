// The linker map files of the program and its plug-ins: function names by address for
// traces, block histories and crash reports.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { MAXMODNUM = 20, MAXFUNCNUM = 3000, MAXNAMEBUF = 50000 };

struct MapSectionInfo {
  uint32_t virtual_address;
  bool code;
};

// Where the module lies in memory, as its PE headers tell.
struct MapImage {
  uintptr_t image_base;
  uintptr_t code_start;
  uint32_t code_size;
  int section_count;
  const MapSectionInfo *sections;
};

// Loads "<module path with .map>"; false when there is no such file (no names then).
bool mapfile_load(const char *module_path, const MapImage *image);
// The same from map text in memory.
bool mapfile_load_text(const char *module_path, const char *text, size_t len,
                       const MapImage *image);
void mapfile_unload(const char *module_path);
int mapfile_module_count();
int mapfile_function_count(const char *module_path);
