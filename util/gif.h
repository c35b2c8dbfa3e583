// GIF pictures (GIF87a and GIF89a): every image of a file decoded to 0x00BBGGRR pixels.
// Platform-free, so the decoder is tested and fuzzed on the host; turning an image into a
// Windows bitmap lives in picture_win32.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Decoded pixels of one file together are held to this many, far beyond any picture the
// programs carry, so that a forged header cannot claim gigabytes.
enum { GIF_MAX_PIXELS = 1 << 20 };

// One image descriptor of the file, with what its graphic control extension said.
struct GifImage {
  int left, top;
  int delay;  // milliseconds
  int width, height;
  int pixel_count;      // width * height
  uint32_t *pixels;     // row by row from the top, zone block (none for an empty image)
  int32_t transparent;  // the colour that stands for transparent pixels, -1 for none
  GifImage *next;
};

// The images of the file in order, or none for a wrong signature, data that ends before
// the trailer, or more pixels than GIF_MAX_PIXELS. Pixels that the compressed data does
// not reach are 0.
GifImage *gif_decode(const uint8_t *data, size_t size);
// Releases the whole list; always none.
GifImage *gif_free(GifImage *images);
