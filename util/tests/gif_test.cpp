// GIF decoding against an independent reader: ImageMagick writes files of every kind
// (colour depths, interlace, transparency, local tables, animation) and its own reading of
// each frame is the expected picture. Hand-built files cover what it does not write.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"
#include "util/gif.h"
#include "util/zone.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string case_path(const char *name) {
  mkdir(KQ_GIF_CASES, 0755);
  return std::string(KQ_GIF_CASES) + "/" + name + ".gif";
}

Bytes command_output(const std::string &command) {
  Bytes out;
  FILE *p = popen(command.c_str(), "r");
  if (!p) return out;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
  EXPECT_EQ(pclose(p), 0) << command;
  return out;
}

Bytes file_bytes(const std::string &path) {
  std::string text = read_file(path);
  return Bytes(text.begin(), text.end());
}

// ImageMagick's reading of one frame, at the frame's own geometry (nothing coalesced).
struct OracleFrame {
  int left, top, width, height;
  int delay;  // hundredths of a second
  bool interlaced;
  Bytes rgba;
};

std::vector<OracleFrame> oracle_frames(const std::string &path) {
  std::vector<OracleFrame> frames;
  Bytes list = command_output("identify -format '%X %Y %w %h %T %[interlace]\\n' " + path);
  std::string text(list.begin(), list.end());
  char interlace[32];
  OracleFrame f;
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (sscanf(text.c_str() + at, "%d %d %d %d %d %31s", &f.left, &f.top, &f.width, &f.height,
               &f.delay, interlace) != 6)
      break;
    f.interlaced = !strcmp(interlace, "GIF");
    f.rgba = command_output("convert '" + path + "[" + std::to_string(frames.size()) +
                            "]' rgba:-");
    frames.push_back(f);
  }
  return frames;
}

uint32_t colour_of(const uint8_t *rgba) { return rgba[0] | rgba[1] << 8 | rgba[2] << 16; }

int image_count(const GifImage *images) {
  int n = 0;
  for (; images; images = images->next) n++;
  return n;
}

// Geometry, delay and every pixel of every frame; where ImageMagick reads a pixel as
// transparent the image must hold its transparent colour there.
void expect_same_images(const GifImage *images, const std::vector<OracleFrame> &frames) {
  ASSERT_EQ(image_count(images), (int)frames.size());
  int index = 0;
  for (const GifImage *image = images; image; image = image->next, index++) {
    SCOPED_TRACE("frame " + std::to_string(index));
    const OracleFrame &f = frames[index];
    EXPECT_EQ(image->left, f.left);
    EXPECT_EQ(image->top, f.top);
    EXPECT_EQ(image->delay, f.delay * 10);
    ASSERT_EQ(image->width, f.width);
    ASSERT_EQ(image->height, f.height);
    ASSERT_EQ(image->pixel_count, f.width * f.height);
    ASSERT_EQ(f.rgba.size(), 4u * image->pixel_count);
    int wrong = 0;
    for (int i = 0; i < image->pixel_count; i++) {
      const uint8_t *rgba = &f.rgba[4 * i];
      uint32_t expect = rgba[3] ? colour_of(rgba) : (uint32_t)image->transparent;
      if (rgba[3] == 0) {
        EXPECT_NE(image->transparent, -1);
      }
      if (image->pixels[i] != expect && wrong++ == 0)
        ADD_FAILURE() << "pixel (" << i % f.width << "," << i / f.width << ") is " << std::hex
                      << image->pixels[i] << ", expected " << expect;
    }
    EXPECT_EQ(wrong, 0);
  }
}

struct MadeCase {
  const char *name;
  const char *make;  // convert's arguments, %s standing for the file
  int table_bits;    // size of the global colour table, 0 for no check
  int frames;
  bool interlaced, transparent;
};

const MadeCase kMadeCases[] = {
    {"depth1", "rose: +dither -colors 2 %s", 1, 1, false, false},
    {"depth2", "rose: +dither -colors 3 %s", 2, 1, false, false},
    {"depth3", "rose: +dither -colors 5 %s", 3, 1, false, false},
    {"depth4", "rose: +dither -colors 9 %s", 4, 1, false, false},
    {"depth5", "rose: +dither -colors 17 %s", 5, 1, false, false},
    {"depth6", "rose: +dither -colors 33 %s", 6, 1, false, false},
    {"depth7", "rose: +dither -colors 65 %s", 7, 1, false, false},
    // Large enough for 12-bit codes and tables that fill and start over.
    {"depth8", "wizard: +dither -colors 256 %s", 8, 1, false, false},
    {"web_palette", "netscape: %s", 8, 1, false, false},
    {"gif87a", "rose: +dither -colors 16 GIF87:%s", 4, 1, false, false},
    // One colour over a million pixels: strings of more than a thousand bytes.
    {"long_strings", "-size 1000x1000 xc:#336699 %s", 1, 1, false, false},
    {"interlaced", "rose: -crop 9x16+30+10 +repage +dither -colors 32 -interlace GIF %s", 5, 1,
     true, false},
    {"interlaced_heights",
     "-interlace GIF \\( rose: -crop 5x1+30+20 \\) \\( rose: -crop 4x2+20+20 \\)"
     " \\( rose: -crop 6x3+10+5 \\) \\( rose: -crop 7x5+40+30 \\) \\( rose: -crop 3x11+50+12 \\)"
     " +repage +dither -colors 16 %s",
     0, 5, true, false},
    {"transparent", "rose: +dither -colors 8 -fuzz 10% -transparent '#3a3a2f' %s", 3, 1, false,
     true},
    // Frames at offsets with their own delays and local colour tables, one with a hole.
    {"animation",
     "-delay 7 rose: +dither -colors 16 \\( rose: -negate -crop 30x20+5+5 +dither -colors 8"
     " -set page +11+13 \\) \\( -delay 25 rose: -crop 17x9+20+20 +repage -alpha set"
     " -region 7x4+2+2 -alpha transparent +region +dither -colors 4 -set page +2+1 \\) %s",
     4, 3, false, true},
};

std::string make_case(const char *name) {
  const MadeCase *c = kMadeCases;
  while (strcmp(c->name, name)) c++;
  std::string path = case_path(c->name);
  std::string command = std::string("convert ") + c->make;
  command.replace(command.find("%s"), 2, path);
  EXPECT_EQ(system(command.c_str()), 0) << command;
  return path;
}

GifImage *decode(const Bytes &bytes) { return gif_decode(bytes.data(), bytes.size()); }

TEST(Gif, EveryFrameAsImageMagickReadsIt) {
  int blocks = zone_block_count();
  for (const MadeCase &c : kMadeCases) {
    SCOPED_TRACE(c.name);
    std::string path = make_case(c.name);
    Bytes bytes = file_bytes(path);
    ASSERT_GT(bytes.size(), 13u);
    // The file is what the case claims to be.
    if (c.table_bits) {
      EXPECT_EQ((bytes[10] & 0x87), 0x80 | (c.table_bits - 1));
    }
    std::vector<OracleFrame> frames = oracle_frames(path);
    ASSERT_EQ((int)frames.size(), c.frames);
    bool interlaced = false, transparent = false;
    for (const OracleFrame &f : frames) {
      interlaced |= f.interlaced;
      for (size_t i = 3; i < f.rgba.size(); i += 4) transparent |= f.rgba[i] == 0;
    }
    EXPECT_EQ(interlaced, c.interlaced);
    EXPECT_EQ(transparent, c.transparent);

    GifImage *images = decode(bytes);
    expect_same_images(images, frames);
    images = gif_free(images);
  }
  EXPECT_EQ(zone_block_count(), blocks);
}

TEST(Gif, LowerCaseSignature) {
  std::string path = make_case("depth4");
  std::vector<OracleFrame> frames = oracle_frames(path);
  Bytes bytes = file_bytes(path);
  memcpy(bytes.data(), "gif89a", 6);
  GifImage *images = decode(bytes);
  expect_same_images(images, frames);
  gif_free(images);
}

// Without the colour table an index i shows as the grey i, i, i. The index of each
// pixel is found by looking ImageMagick's colour up in the table taken out.
TEST(Gif, NoColourTableGivesGreyRamp) {
  std::string path = make_case("depth4");
  std::vector<OracleFrame> frames = oracle_frames(path);
  ASSERT_EQ(frames.size(), 1u);
  Bytes bytes = file_bytes(path);
  size_t table_size = 3 * (2 << (bytes[10] & 7));
  Bytes table(bytes.begin() + 13, bytes.begin() + 13 + table_size);
  bytes.erase(bytes.begin() + 13, bytes.begin() + 13 + table_size);
  bytes[10] &= 0x7F;

  std::vector<int> seen(table_size / 3);
  Bytes &rgba = frames[0].rgba;
  for (size_t p = 0; p < rgba.size(); p += 4) {
    size_t i = 0;
    while (i < table_size && memcmp(&table[i], &rgba[p], 3)) i += 3;
    ASSERT_LT(i, table_size);
    seen[i / 3] = 1;
    rgba[p] = rgba[p + 1] = rgba[p + 2] = (uint8_t)(i / 3);
  }
  EXPECT_GT(std::count(seen.begin(), seen.end(), 1), 8);  // many indexes, not only 0
  GifImage *images = decode(bytes);
  expect_same_images(images, frames);
  gif_free(images);
}

TEST(Gif, EndingBeforeTheTrailerGivesNone) {
  int blocks = zone_block_count();
  Bytes bytes = file_bytes(make_case("animation"));
  GifImage *whole = decode(bytes);
  EXPECT_EQ(image_count(whole), 3);
  gif_free(whole);
  for (size_t n = 0; n < bytes.size(); n++) {
    GifImage *images = gif_decode(bytes.data(), n);
    EXPECT_EQ(images, nullptr) << n << " bytes";
    gif_free(images);
  }
  EXPECT_EQ(zone_block_count(), blocks);
}

// Files written byte by byte. Codes are packed as a GIF encoder packs them: least
// significant bit first, one bit wider once the decoder's next free code reaches 2^width.
struct CodeWriter {
  int min_size, width, next;
  bool fresh;  // no code since the last clear
  uint32_t bits;
  int count;
  Bytes out;
};

CodeWriter code_writer(int min_size) {
  CodeWriter w = {min_size, min_size + 1, (1 << min_size) + 2, true, 0, 0, Bytes()};
  return w;
}

void put_code(CodeWriter *w, int code) {
  w->bits |= (uint32_t)code << w->count;
  for (w->count += w->width; w->count >= 8; w->count -= 8, w->bits >>= 8)
    w->out.push_back((uint8_t)w->bits);
  int clear = 1 << w->min_size;
  if (code == clear) {
    w->width = w->min_size + 1;
    w->next = clear + 2;
    w->fresh = true;
  } else if (code != clear + 1) {
    if (!w->fresh && ++w->next == 1 << w->width && w->width < 12) w->width++;
    w->fresh = false;
  }
}

Bytes finish_codes(CodeWriter *w) {
  put_code(w, (1 << w->min_size) + 1);
  if (w->count) w->out.push_back((uint8_t)w->bits);
  return w->out;
}

Bytes codes_of(int min_size, const std::vector<int> &codes) {
  CodeWriter w = code_writer(min_size);
  for (int code : codes) put_code(&w, code);
  return finish_codes(&w);
}

// Every index as a code of its own, with a clear before the width would grow.
Bytes literal_codes(const Bytes &indexes, int min_size) {
  CodeWriter w = code_writer(min_size);
  int group = (1 << min_size) - 2;
  for (size_t i = 0; i < indexes.size(); i++) {
    if (i % group == 0) put_code(&w, 1 << min_size);
    put_code(&w, indexes[i]);
  }
  return finish_codes(&w);
}

void put16(Bytes *b, int v) {
  b->push_back((uint8_t)v);
  b->push_back((uint8_t)(v >> 8));
}

// Colours 0x00BBGGRR; a table of 2^n entries gets the packed size n - 1.
void put_table(Bytes *b, const std::vector<uint32_t> &table) {
  for (uint32_t c : table) {
    b->push_back((uint8_t)c);
    b->push_back((uint8_t)(c >> 8));
    b->push_back((uint8_t)(c >> 16));
  }
}

int table_flags(const std::vector<uint32_t> &table) {
  if (table.empty()) return 0;
  int bits = 0;
  while (2u << bits < table.size()) bits++;
  return 0x80 | bits;
}

Bytes gif_start(int width, int height, const std::vector<uint32_t> &table) {
  Bytes b(6);
  memcpy(b.data(), "GIF89a", 6);
  put16(&b, width);
  put16(&b, height);
  b.push_back((uint8_t)(table_flags(table) | (table.empty() ? 0 : 0x70)));
  b.push_back(0);
  b.push_back(0);
  put_table(&b, table);
  return b;
}

void put_control(Bytes *b, int transparent_index, int delay) {
  const uint8_t g[] = {0x21, 0xF9, 4, (uint8_t)(transparent_index >= 0), (uint8_t)delay,
                       (uint8_t)(delay >> 8), (uint8_t)(transparent_index & 0xFF), 0};
  b->insert(b->end(), g, g + sizeof g);
}

void put_image(Bytes *b, int width, int height, int flags, const std::vector<uint32_t> &local,
               int min_size, const Bytes &codes) {
  b->push_back(0x2C);
  put16(b, 0);
  put16(b, 0);
  put16(b, width);
  put16(b, height);
  b->push_back((uint8_t)(flags | table_flags(local)));
  put_table(b, local);
  b->push_back((uint8_t)min_size);
  for (size_t at = 0; at < codes.size(); at += 255) {
    size_t n = std::min<size_t>(255, codes.size() - at);
    b->push_back((uint8_t)n);
    b->insert(b->end(), codes.begin() + at, codes.begin() + at + n);
  }
  b->push_back(0);
}

// A one-image file of the given indexes, at minimum code size 8.
Bytes one_image(int width, int height, const std::vector<uint32_t> &table, const Bytes &indexes,
                int transparent_index = -1, int flags = 0) {
  Bytes b = gif_start(width, height, table);
  if (transparent_index >= 0) put_control(&b, transparent_index, 3);
  put_image(&b, width, height, flags, {}, 8, literal_codes(indexes, 8));
  b.push_back(0x3B);
  return b;
}

std::vector<uint32_t> pixels_of(const GifImage *image) {
  return std::vector<uint32_t>(image->pixels, image->pixels + image->pixel_count);
}

TEST(Gif, NeitherTableGivesGreyRamp) {
  GifImage *images = decode(one_image(4, 1, {}, {0, 1, 128, 255}));
  ASSERT_EQ(image_count(images), 1);
  EXPECT_EQ(pixels_of(images), (std::vector<uint32_t>{0, 0x010101, 0x808080, 0xFFFFFF}));
  EXPECT_EQ(images->transparent, -1);
  EXPECT_EQ(images->delay, 0);
  gif_free(images);
}

TEST(Gif, TransparentColourIsTheSmallestFreeOne) {
  struct Row {
    std::vector<uint32_t> table;
    int32_t transparent;
  };
  const Row rows[] = {
      {{0, 1, 3, 3}, 2},
      {{3, 1, 0, 1}, 2},  // order does not matter
      {{5, 2, 1, 3}, 0},
      {{0, 1, 2, 3}, 4},
      {{0xFFFFFF, 0}, 1},
      {{}, 1},  // the grey ramp holds 0 and 0x010101
  };
  for (const Row &r : rows) {
    GifImage *images = decode(one_image(2, 2, r.table, {0, 1, 2, 3}, 0));
    ASSERT_EQ(image_count(images), 1);
    EXPECT_EQ(images->transparent, r.transparent);
    EXPECT_EQ(images->delay, 30);
    // Indexes beyond a table show its first colour; without a table they are greys.
    std::vector<uint32_t> expect = {(uint32_t)r.transparent};
    for (uint32_t i = 1; i < 4; i++)
      expect.push_back(r.table.empty() ? 0x010101 * i : r.table[i < r.table.size() ? i : 0]);
    EXPECT_EQ(pixels_of(images), expect);
    gif_free(images);
  }
  // ImageMagick agrees about which pixels are transparent.
  Bytes bytes = one_image(2, 2, {0, 1, 3, 3}, {0, 1, 2, 3}, 0);
  std::string path = case_path("transparent_two");
  ASSERT_TRUE(write_file(path, bytes.data(), bytes.size()));
  GifImage *images = decode(bytes);
  expect_same_images(images, oracle_frames(path));
  gif_free(images);
}

TEST(Gif, InterlacedRowsFollowThePasses) {
  const int kRowOf[16] = {0, 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15};
  std::vector<uint32_t> table;
  Bytes stream;
  for (int i = 0; i < 16; i++) {
    table.push_back(0x100000u * i + 0x30);
    stream.push_back((uint8_t)i);
  }
  Bytes bytes = one_image(1, 16, table, stream, -1, 0x40);
  GifImage *images = decode(bytes);
  ASSERT_EQ(image_count(images), 1);
  for (int k = 0; k < 16; k++) EXPECT_EQ(images->pixels[kRowOf[k]], table[k]) << k;
  std::string path = case_path("interlaced_rows");
  ASSERT_TRUE(write_file(path, bytes.data(), bytes.size()));
  expect_same_images(images, oracle_frames(path));
  gif_free(images);
}

TEST(Gif, Signatures) {
  struct Row {
    const char *signature;
    bool accepted;
  };
  const Row rows[] = {{"GIF87a", true},  {"GIF89a", true},  {"gif89a", true},
                      {"GiF87A", true},  {"GIF88a", false}, {"GIF89b", false},
                      {"JIF89a", false}, {"GIF 9a", false}};
  Bytes bytes = one_image(2, 1, {0x112233, 0x445566}, {1, 0});
  for (const Row &r : rows) {
    memcpy(bytes.data(), r.signature, 6);
    GifImage *images = decode(bytes);
    EXPECT_EQ(images != nullptr, r.accepted) << r.signature;
    if (images) {
      EXPECT_EQ(pixels_of(images), (std::vector<uint32_t>{0x445566, 0x112233}));
    }
    gif_free(images);
  }
  EXPECT_EQ(gif_decode(bytes.data(), 12), nullptr);  // a header cut short
}

// Other extensions are skipped whole, stray bytes between blocks are ignored, and a
// control extension applies to the next image only.
TEST(Gif, BlocksBetweenImages) {
  Bytes b = gif_start(2, 1, {0x0000FF, 0x00FF00});
  const uint8_t comment[] = {0x21, 0xFE, 3, 0x2C, 0x3B, 0x21, 2, 0x2C, 0x2C, 0};
  b.insert(b.end(), comment, comment + sizeof comment);
  put_control(&b, 1, 500);
  b.push_back(0x00);
  b.push_back(0x77);
  put_image(&b, 2, 1, 0, {}, 2, literal_codes({0, 1}, 2));
  put_image(&b, 1, 1, 0, {0xABCDEF, 0}, 2, literal_codes({0}, 2));
  b.push_back(0x3B);
  GifImage *images = decode(b);
  ASSERT_EQ(image_count(images), 2);
  EXPECT_EQ(images->delay, 5000);
  EXPECT_EQ(images->transparent, 0);
  EXPECT_EQ(pixels_of(images), (std::vector<uint32_t>{0x0000FF, 0}));
  EXPECT_EQ(images->next->delay, 0);
  EXPECT_EQ(images->next->transparent, -1);
  EXPECT_EQ(pixels_of(images->next), (std::vector<uint32_t>{0xABCDEF}));
  gif_free(images);
}

// Compressed data that stops early, runs past the image, names indexes beyond the
// colour table, or declares an impossible code size leaves unreached pixels at 0.
TEST(Gif, DataThatDoesNotFitTheImage) {
  struct Row {
    const char *what;
    int min_size;
    Bytes codes;
    std::vector<uint32_t> pixels;
  };
  const std::vector<uint32_t> table = {0x111111, 0x222222, 0x333333, 0x444444};
  const Row rows[] = {
      {"short", 2, literal_codes({1, 2}, 2), {0x222222, 0x333333, 0, 0}},
      {"long", 2, literal_codes({1, 2, 3, 1, 2, 3, 1, 2, 3}, 2),
       {0x222222, 0x333333, 0x444444, 0x222222}},
      {"beyond the table", 3, literal_codes({7, 4, 1, 0}, 3),
       {0x111111, 0x111111, 0x222222, 0x111111}},
      {"code size 9", 9, literal_codes({1, 2, 3, 1}, 8), {0, 0, 0, 0}},
      {"code size 1", 1, literal_codes({1, 2, 3, 1}, 8), {0, 0, 0, 0}},
      {"no data", 2, {}, {0, 0, 0, 0}},
      {"code after clear not a root", 2, codes_of(2, {4, 6, 1, 2}), {0, 0, 0, 0}},
  };
  for (const Row &r : rows) {
    Bytes b = gif_start(4, 1, table);
    put_image(&b, 4, 1, 0, {}, r.min_size, r.codes);
    b.push_back(0x3B);
    GifImage *images = decode(b);
    ASSERT_EQ(image_count(images), 1) << r.what;
    EXPECT_EQ(pixels_of(images), r.pixels) << r.what;
    gif_free(images);
  }
}

// A table that reaches 4096 entries without a clear ends the decoding: the code that
// would add entry 4097 and everything after it are not drawn.
TEST(Gif, FullTableEndsDecoding) {
  CodeWriter w = code_writer(2);
  put_code(&w, 4);
  const int kDrawn = 1 + (4096 - 6);  // the first code adds no entry
  for (int i = 0; i < kDrawn + 5; i++) put_code(&w, 1 + i % 2);
  Bytes b = gif_start(100, 41, {});
  put_image(&b, 100, 41, 0, {}, 2, finish_codes(&w));
  b.push_back(0x3B);
  GifImage *images = decode(b);
  ASSERT_EQ(image_count(images), 1);
  for (int i = 0; i < images->pixel_count; i++) {
    uint32_t expect = i < kDrawn ? 0x010101u * (1 + i % 2) : 0;
    if (images->pixels[i] != expect) {
      ADD_FAILURE() << "pixel " << i << " is " << images->pixels[i];
      break;
    }
  }
  gif_free(images);
}

TEST(Gif, PixelsOfAFileAreBounded) {
  int blocks = zone_block_count();
  Bytes b = gif_start(1, 1, {0, 0xFFFFFF});
  put_image(&b, 1024, 1024, 0, {}, 2, literal_codes({1}, 2));
  Bytes fits = b;
  fits.push_back(0x3B);
  GifImage *images = decode(fits);
  ASSERT_EQ(image_count(images), 1);
  EXPECT_EQ(images->pixel_count, GIF_MAX_PIXELS);
  EXPECT_EQ(images->pixels[0], 0xFFFFFFu);
  EXPECT_EQ(images->pixels[GIF_MAX_PIXELS - 1], 0u);
  gif_free(images);

  put_image(&b, 1, 1, 0, {}, 2, literal_codes({1}, 2));  // one pixel more
  b.push_back(0x3B);
  EXPECT_EQ(decode(b), nullptr);
  Bytes huge = gif_start(1, 1, {});
  put_image(&huge, 65535, 65535, 0, {}, 2, literal_codes({1}, 2));
  huge.push_back(0x3B);
  EXPECT_EQ(decode(huge), nullptr);
  EXPECT_EQ(zone_block_count(), blocks);
}

TEST(Gif, EmptyImage) {
  Bytes b = gif_start(1, 1, {0, 0xFFFFFF});
  put_image(&b, 0, 7, 0, {}, 2, literal_codes({1}, 2));
  b.push_back(0x3B);
  GifImage *images = decode(b);
  ASSERT_EQ(image_count(images), 1);
  EXPECT_EQ(images->pixel_count, 0);
  EXPECT_EQ(images->pixels, nullptr);
  gif_free(images);
}

}  // namespace
