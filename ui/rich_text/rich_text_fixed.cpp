#include "rich_text_fixed.h"

#include <string.h>
#include <strings.h>

namespace {

const RichFixedFont kFonts[] = {
    {0, 8, 8, 16}, {1, 6, 4, 13}, {2, 9, 9, 18}, {3, 5, 3, 12}, {4, 12, 12, 24}, {5, 4, 2, 8},
};

const RichFixedImage kImages[] = {
    {"LOGO.GIF", 101, 40, 30},
    {"APP.GIF", 102, 16, 16},
    {"KAQUINDEBUGGER.GIF", 103, 100, 50},
};

const RichFixedFont *font_of(const RichFixed *f, RichHandle font) {
  for (int i = 0; i < f->fontnum; i++)
    if (f->fonts[i].font == font) return &f->fonts[i];
  return &f->fonts[0];
}

int char_width(const RichFixedFont *font, char c) { return c == ' ' ? font->space : font->width; }

void text_size(void *context, RichHandle font, const char *text, int count, int *width,
               int *height) {
  const RichFixedFont *f = font_of((const RichFixed *)context, font);
  *width = 0;
  for (int i = 0; i < count; i++) *width += char_width(f, text[i]);
  *height = f->height;
}

int text_fit(void *context, RichHandle font, const char *text, int count, int width) {
  const RichFixedFont *f = font_of((const RichFixed *)context, font);
  int fit = 0;
  for (int used = 0; fit < count && (used += char_width(f, text[fit])) <= width;) fit++;
  return fit;
}

const RichFixedImage *image_of(const RichFixed *f, RichHandle image) {
  for (int i = 0; i < f->imagenum; i++)
    if (f->images[i].image == image) return &f->images[i];
  return nullptr;
}

void image_size(void *context, RichHandle image, int *width, int *height) {
  const RichFixedImage *i = image_of((const RichFixed *)context, image);
  *width = i ? i->width : 0;
  *height = i ? i->height : 0;
}

RichHandle load_image(void *context, const char *name) {
  RichFixed *f = (RichFixed *)context;
  for (int i = 0; i < f->imagenum; i++) {
    if (strcasecmp(f->images[i].name, name)) continue;
    f->loads++;
    return f->images[i].image;
  }
  return 0;
}

void free_image(void *context, RichHandle image) { ((RichFixed *)context)->frees++; }

}  // namespace

void rich_fixed_init(RichFixed *f) {
  memset(f, 0, sizeof *f);
  f->fonts = kFonts;
  f->fontnum = sizeof kFonts / sizeof kFonts[0];
  f->images = kImages;
  f->imagenum = sizeof kImages / sizeof kImages[0];
  f->measurer = {f, text_size, text_fit, image_size, load_image, free_image, {1, 2, 3, 4, 5},
                 0x00F0E0D0};
}
