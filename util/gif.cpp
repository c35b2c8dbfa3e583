#include "gif.h"

#include <stdlib.h>
#include <string.h>

#include "zone.h"

namespace {

// The input: a byte past the end reads as -1, a block read past the end comes up short.
struct GifCursor {
  const uint8_t *data;
  size_t size;
  size_t pos;
};

int next_byte(GifCursor *c) { return c->pos < c->size ? c->data[c->pos++] : -1; }

size_t read_bytes(GifCursor *c, uint8_t *out, size_t n) {
  size_t left = c->size - c->pos;
  if (n > left) n = left;
  memcpy(out, c->data + c->pos, n);
  c->pos += n;
  return n;
}

bool read_exact(GifCursor *c, uint8_t *out, size_t n) { return read_bytes(c, out, n) == n; }

struct ColourTable {
  int count;
  uint32_t colours[256];  // 0x00BBGGRR
};

// A table of 2^((packed & 7) + 1) red, green, blue triples.
bool read_table(GifCursor *c, int packed, ColourTable *t) {
  uint8_t rgb[3 * 256];
  t->count = 2 << (packed & 7);
  if (!read_exact(c, rgb, 3 * t->count)) return false;
  for (int i = 0; i < t->count; i++)
    t->colours[i] = rgb[3 * i] | rgb[3 * i + 1] << 8 | (uint32_t)rgb[3 * i + 2] << 16;
  return true;
}

// Stands in for the colour table of a file that carries none.
void grey_ramp(ColourTable *t) {
  t->count = 256;
  for (uint32_t i = 0; i < 256; i++) t->colours[i] = i | i << 8 | i << 16;
}

int compare_colours(const void *a, const void *b) {
  uint32_t x = *(const uint32_t *)a, y = *(const uint32_t *)b;
  return x < y ? -1 : x > y;
}

// Transparent pixels get a colour that no opaque pixel of the image can have.
uint32_t smallest_free_colour(const ColourTable *t) {
  uint32_t sorted[256];
  memcpy(sorted, t->colours, t->count * sizeof(uint32_t));
  qsort(sorted, t->count, sizeof(uint32_t), compare_colours);
  uint32_t free_colour = 0;
  for (int i = 0; i < t->count && sorted[i] <= free_colour; i++)
    if (sorted[i] == free_colour) free_colour++;
  return free_colour;
}

// What a graphic control extension says about the next image.
struct GraphicControl {
  bool present;
  bool transparent;
  int delay;  // milliseconds
  uint8_t index;
};

// Skips data sub-blocks up to the empty one, adding their lengths to *total; false when
// the data ends first.
bool skip_sub_blocks(GifCursor *c, size_t *total) {
  for (;;) {
    int n = next_byte(c);
    if (n < 0) return false;
    if (n == 0) return true;
    if ((size_t)n > c->size - c->pos) return false;
    c->pos += n;
    *total += n;
  }
}

// The sub-blocks' contents joined into one zone block (none when they are all empty).
bool gather_sub_blocks(GifCursor *c, uint8_t **out, size_t *size) {
  size_t start = c->pos;
  *size = 0;
  *out = nullptr;
  if (!skip_sub_blocks(c, size)) return false;
  if (*size == 0) return true;
  uint8_t *joined = (uint8_t *)zone_alloc(*size);
  if (!joined) return false;
  size_t used = 0;
  for (size_t pos = start; c->data[pos]; pos += 1 + c->data[pos]) {
    memcpy(joined + used, c->data + pos + 1, c->data[pos]);
    used += c->data[pos];
  }
  *out = joined;
  return true;
}

bool read_extension(GifCursor *c, GraphicControl *control) {
  int label = next_byte(c);
  if (label < 0) return false;
  if (label != 0xF9) {
    size_t skipped = 0;
    return skip_sub_blocks(c, &skipped);
  }
  // Block size, flags, delay (hundredths), transparent index and the terminator.
  uint8_t g[6];
  if (!read_exact(c, g, sizeof g)) return false;
  control->present = true;
  control->transparent = g[1] & 1;
  control->delay = (g[2] | g[3] << 8) * 10;
  control->index = g[4];
  return true;
}

// Puts decoded pixels in place: rows in order, or in the four passes of an interlaced
// image (every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
struct PixelWriter {
  uint32_t *pixels;
  const uint32_t *palette;
  int width, height;
  int x, row;
  int pass;  // -1 when not interlaced
};

const int kPassStart[4] = {0, 4, 2, 1};
const int kPassStep[4] = {8, 8, 4, 2};

// False once every row is written.
bool put_pixel(PixelWriter *w, uint8_t index) {
  if (w->row >= w->height) return false;
  w->pixels[(size_t)w->row * w->width + w->x] = w->palette[index];
  if (++w->x < w->width) return true;
  w->x = 0;
  if (w->pass < 0) {
    w->row++;
    return true;
  }
  w->row += kPassStep[w->pass];
  while (w->row >= w->height && w->pass < 3) w->row = kPassStart[++w->pass];
  return true;
}

struct BitReader {
  const uint8_t *data;
  size_t size, pos;
  uint32_t bits;
  int count;
};

// The next code, least significant bit first; -1 when the data is used up.
int read_code(BitReader *r, int width) {
  while (r->count < width) {
    if (r->pos >= r->size) return -1;
    r->bits |= (uint32_t)r->data[r->pos++] << r->count;
    r->count += 8;
  }
  int code = r->bits & ((1u << width) - 1);
  r->bits >>= width;
  r->count -= width;
  return code;
}

enum { LZW_CODES = 4096, LZW_MAX_WIDTH = 12 };

// Each string is its prefix string plus one byte; roots are the single bytes.
struct LzwTable {
  uint16_t prefix[LZW_CODES];
  uint8_t suffix[LZW_CODES];
  uint16_t length[LZW_CODES];
};

int expand(const LzwTable *t, int code, uint8_t *out) {
  int len = t->length[code];
  for (int i = len - 1; i >= 0; i--) {
    out[i] = t->suffix[code];
    code = t->prefix[code];
  }
  return len;
}

// GIF's LZW: decodes until the end code, the end of the data, a full image or a table
// past its limits; pixels not reached keep their value.
void decode_lzw(const uint8_t *data, size_t size, int min_size, PixelWriter *w) {
  if (min_size < 2 || min_size > 8) return;
  LzwTable t;
  uint8_t s[LZW_CODES + 1];
  const int clear = 1 << min_size, end = clear + 1;
  for (int i = 0; i < clear; i++) {
    t.prefix[i] = 0;
    t.suffix[i] = (uint8_t)i;
    t.length[i] = 1;
  }
  BitReader r = {data, size, 0, 0, 0};
  int width = min_size + 1, next = clear + 2, prev = -1;
  for (;;) {
    int code = read_code(&r, width);
    if (code < 0 || code == end) return;
    if (code == clear) {
      width = min_size + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    int len;
    if (prev < 0) {
      if (code > clear) return;  // only a root can follow a clear
      len = expand(&t, code, s);
    } else {
      if (next >= LZW_CODES || t.length[prev] >= LZW_CODES) return;
      if (code < next) {
        len = expand(&t, code, s);
      } else {  // the string being defined: the previous one plus its own first byte
        len = expand(&t, prev, s);
        s[len++] = s[0];
        code = next;
      }
      t.prefix[next] = (uint16_t)prev;
      t.suffix[next] = s[0];
      t.length[next] = t.length[prev] + 1;
      if (++next == 1 << width && width < LZW_MAX_WIDTH) width++;
    }
    for (int i = 0; i < len; i++)
      if (!put_pixel(w, s[i])) return;
    prev = code;
  }
}

// Fills the image's pixels from its compressed data through the colour table.
void paint_image(GifImage *image, const ColourTable *table, const GraphicControl *control,
                 bool interlaced, int min_size, const uint8_t *lzw, size_t lzw_size) {
  uint32_t palette[256];
  for (int i = 0; i < 256; i++) palette[i] = table->colours[i < table->count ? i : 0];
  if (control->transparent) {
    image->transparent = (int32_t)smallest_free_colour(table);
    palette[control->index] = (uint32_t)image->transparent;
  }
  if (!image->pixels) return;
  zone_clear(image->pixels);
  PixelWriter w = {image->pixels, palette, image->width, image->height, 0, 0,
                   interlaced ? 0 : -1};
  decode_lzw(lzw, lzw_size, min_size, &w);
}

// The image descriptor after its 0x2C, with its colour table and data; none when the
// data ends inside it or its pixels do not fit what is left of *budget.
GifImage *read_image(GifCursor *c, const ColourTable *global, const GraphicControl *control,
                     size_t *budget) {
  uint8_t d[9];
  if (!read_exact(c, d, sizeof d)) return nullptr;
  ColourTable local;
  const ColourTable *table = global;
  if (d[8] & 0x80) {
    if (!read_table(c, d[8], &local)) return nullptr;
    table = &local;
  }
  int min_size = next_byte(c);
  uint8_t *lzw;
  size_t lzw_size;
  if (min_size < 0 || !gather_sub_blocks(c, &lzw, &lzw_size)) return nullptr;

  int width = d[4] | d[5] << 8, height = d[6] | d[7] << 8;
  size_t count = (size_t)width * height;
  GifImage *image = nullptr;
  if (count <= *budget) image = (GifImage *)zone_alloc(sizeof(GifImage));
  if (image) {
    *budget -= count;
    image->left = d[0] | d[1] << 8;
    image->top = d[2] | d[3] << 8;
    image->delay = control->present ? control->delay : 0;
    image->width = width;
    image->height = height;
    image->pixel_count = (int)count;
    image->pixels = (uint32_t *)zone_alloc(count * sizeof(uint32_t));
    image->transparent = -1;
    image->next = nullptr;
    if (count && !image->pixels) image = (GifImage *)zone_free(image);
  }
  if (image) paint_image(image, table, control, d[8] & 0x40, min_size, lzw, lzw_size);
  zone_free(lzw);
  return image;
}

bool signature_ok(const uint8_t *header) {
  char upper[7];
  for (int i = 0; i < 6; i++)
    upper[i] = (char)(header[i] >= 'a' && header[i] <= 'z' ? header[i] - 'a' + 'A' : header[i]);
  upper[6] = 0;
  return !strcmp(upper, "GIF87A") || !strcmp(upper, "GIF89A");
}

}  // namespace

GifImage *gif_decode(const uint8_t *data, size_t size) {
  GifCursor c = {data, size, 0};
  uint8_t header[13];
  if (!read_exact(&c, header, sizeof header) || !signature_ok(header)) return nullptr;
  ColourTable global;
  if (!(header[10] & 0x80)) grey_ramp(&global);
  else if (!read_table(&c, header[10], &global)) return nullptr;

  GraphicControl control = {};
  GifImage *first = nullptr, **tail = &first;
  size_t budget = GIF_MAX_PIXELS;
  for (;;) {
    int b = next_byte(&c);
    if (b < 0) return gif_free(first);
    if (b == 0x3B) return first;
    if (b == 0x21) {
      if (!read_extension(&c, &control)) return gif_free(first);
    } else if (b == 0x2C) {
      GifImage *image = read_image(&c, &global, &control, &budget);
      if (!image) return gif_free(first);
      *tail = image;
      tail = &image->next;
      control = GraphicControl();
    }
  }
}

GifImage *gif_free(GifImage *images) {
  while (images) {
    GifImage *next = images->next;
    zone_free(images->pixels);
    zone_free(images);
    images = next;
  }
  return nullptr;
}
