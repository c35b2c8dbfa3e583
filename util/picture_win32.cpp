#include "picture_win32.h"

#include <stdio.h>

#include "gif.h"
#include "log.h"
#include "zone.h"

namespace {

struct PictureState {
  int32_t last_transparent;
};
PictureState g_picture = {-1};

// A 32-bit top-down DIB of the image, made into a bitmap like the screen's. The pixels
// are turned from 0x00BBGGRR into the DIB's 0x00RRGGBB in place.
HBITMAP image_bitmap(GifImage *image) {
  for (int i = 0; i < image->pixel_count; i++) {
    uint32_t c = image->pixels[i];
    image->pixels[i] = (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
  }
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = image->width;
  header.biHeight = -image->height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &header, CBM_INIT, image->pixels,
                                  (const BITMAPINFO *)&header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

}  // namespace

HBITMAP picture_load_memory(const void *data, size_t size) {
  GifImage *images = gif_decode((const uint8_t *)data, size);
  if (!images || !images->pixels) {
    gif_free(images);
    return nullptr;
  }
  HBITMAP bitmap = image_bitmap(images);
  g_picture.last_transparent = images->transparent;
  gif_free(images);
  return bitmap;
}

HBITMAP picture_load(HINSTANCE module, const char *name) {
  HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RCDATA
  if (!found) {
    if ((uintptr_t)name < 65536) log_warning("Cannot find resource id '%i'", (int)(uintptr_t)name);
    else log_warning("Cannot find resource '%s'", name);
    return nullptr;
  }
  const void *data = LockResource(LoadResource(module, found));
  if (!data) return nullptr;
  return picture_load_memory(data, SizeofResource(module, found));
}

HBITMAP picture_load_file(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f) {
    log_warning("Cannot open '%s'", path);
    return nullptr;
  }
  long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
  uint8_t *bytes = size > 0 ? (uint8_t *)zone_alloc((size_t)size) : nullptr;
  HBITMAP bitmap = nullptr;
  if (bytes && fseek(f, 0, SEEK_SET) == 0 && fread(bytes, 1, size, f) == (size_t)size)
    bitmap = picture_load_memory(bytes, (size_t)size);
  zone_free(bytes);
  fclose(f);
  return bitmap;
}

int32_t picture_last_transparent() { return g_picture.last_transparent; }
