// Any bytes as a GIF file: the decoder never reads outside them (the sanitizer sees the
// input's exact end), never writes outside its blocks (the zone bumpers), frees every
// block, and every image it gives holds exactly width x height pixels of 0x00BBGGRR.
#include <stddef.h>
#include <stdint.h>

#include "util/gif.h"
#include "util/zone.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int blocks = zone_block_count();
  GifImage *images = gif_decode(data, size);
  size_t total = 0;
  for (const GifImage *image = images; image; image = image->next) {
    size_t count = (size_t)image->width * image->height;
    if (image->width < 0 || image->width > 0xFFFF || image->height < 0 ||
        image->height > 0xFFFF || image->left < 0 || image->left > 0xFFFF || image->top < 0 ||
        image->top > 0xFFFF || image->delay < 0 || image->delay % 10)
      __builtin_trap();
    if ((size_t)image->pixel_count != count || zone_size(image->pixels) != 4 * count)
      __builtin_trap();
    // The smallest colour missing from a table of at most 256 colours.
    if (image->transparent < -1 || image->transparent > 256) __builtin_trap();
    for (size_t i = 0; i < count; i++)
      if (image->pixels[i] >> 24) __builtin_trap();
    total += count;
  }
  if (total > GIF_MAX_PIXELS) __builtin_trap();
  zone_heap_check("gif_fuzz");
  gif_free(images);
  if (zone_block_count() != blocks) __builtin_trap();
  return 0;
}
