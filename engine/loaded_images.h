// Libraries the load events announced. The system's module snapshot of a process lists a
// new library only some time after its load event, so the module list takes them from here
// until then.
#pragma once
#include <stdint.h>

#include "util/path.h"

struct LoadedImage {
  uint32_t base, size;   // where it is mapped and its SizeOfImage
  char path[KQ_PATH];
};

// The library of a load event: its file handle and base. False when the image or its
// file name cannot be read, or without memory.
bool loaded_images_add(void *file, uint32_t base);
void loaded_images_remove(uint32_t base);
void loaded_images_clear();
// The libraries announced and not unloaded since, oldest first.
const LoadedImage *loaded_images(int *count);
