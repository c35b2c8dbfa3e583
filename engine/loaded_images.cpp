#include "engine/loaded_images.h"

#include <windows.h>
#include <string.h>

#include "engine/memory.h"
#include "util/zone.h"

namespace {

struct LoadedImageList {
  LoadedImage *images;  // zone block, oldest first
  int count;
};
LoadedImageList g_loaded;

// SizeOfImage from the PE header the loader mapped at base.
bool image_size(uint32_t base, uint32_t *size) {
  uint32_t header = 0, signature = 0;
  return memory_read_raw(base + 0x3C, &header, 4) == 4 && header < 0x1000 &&
         memory_read_raw(base + header, &signature, 4) == 4 && signature == 0x4550 &&
         memory_read_raw(base + header + 0x50, size, 4) == 4 && *size;
}

// The file's full path, without the "\\?\" the system puts before it.
bool file_path(HANDLE file, char *out, size_t outlen) {
  char path[KQ_PATH];
  DWORD length = file ? GetFinalPathNameByHandleA(file, path, sizeof path, VOLUME_NAME_DOS) : 0;
  if (!length || length >= sizeof path) return false;
  const char *start = strncmp(path, "\\\\?\\", 4) ? path : path + 4;
  text_copy(out, outlen, start);
  return true;
}

}  // namespace

bool loaded_images_add(void *file, uint32_t base) {
  LoadedImage image = {base, 0, ""};
  if (!image_size(base, &image.size) || !file_path(file, image.path, sizeof image.path))
    return false;
  loaded_images_remove(base);  // a base the system reuses names the newest library
  LoadedImageList &l = g_loaded;
  LoadedImage *grown = (LoadedImage *)zone_resize(l.images, (l.count + 1) * sizeof image);
  if (!grown) return false;
  l.images = grown;
  l.images[l.count++] = image;
  return true;
}

void loaded_images_remove(uint32_t base) {
  LoadedImageList &l = g_loaded;
  for (int i = 0; i < l.count; i++)
    if (l.images[i].base == base) {
      memmove(l.images + i, l.images + i + 1, (l.count - i - 1) * sizeof *l.images);
      l.count--;
      return;
    }
}

void loaded_images_clear() {
  g_loaded.images = (LoadedImage *)zone_free(g_loaded.images);
  g_loaded.count = 0;
}

const LoadedImage *loaded_images(int *count) {
  *count = g_loaded.count;
  return g_loaded.images;
}
