// Pictures from this program's own resources, made by ImageMagick at build time: every
// pixel read back out of the bitmap with GetDIBits against ImageMagick's reading.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "util/picture_win32.h"

namespace {

struct Bytes {
  const uint8_t *data;
  size_t size;
};

Bytes resource_bytes(const char *name) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, name, MAKEINTRESOURCEA(10));
  if (!found) return Bytes{nullptr, 0};
  return Bytes{(const uint8_t *)LockResource(LoadResource(self, found)),
               SizeofResource(self, found)};
}

// A file beside the test program, so nothing lands outside the build folder.
std::string beside_program(const char *name) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

struct Picture {
  const char *gif;   // resource name or number
  const char *rgba;  // ImageMagick's reading of its first frame
  int width, height;
  bool transparent;
};

const Picture kPictures[] = {
    {"ROSE.GIF", "ROSE.RGBA", 70, 46, true},
    {MAKEINTRESOURCEA(120), MAKEINTRESOURCEA(121), 216, 144, false},
};

// The bitmap's size and pixels, and the picture's transparent colour, against the
// reading of the file: transparent pixels hold the transparent colour, which no opaque
// pixel has.
void expect_picture(HBITMAP bitmap, const Picture &p) {
  ASSERT_NE(bitmap, nullptr);
  BITMAP info;
  ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), (int)sizeof info);
  ASSERT_EQ(info.bmWidth, p.width);
  ASSERT_EQ(info.bmHeight, p.height);
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = p.width;
  header.biHeight = -p.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(p.width * p.height);
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, p.height, pixels.data(), (BITMAPINFO *)&header,
                       DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(rows, p.height);

  int32_t transparent = picture_last_transparent();
  EXPECT_EQ(transparent != -1, p.transparent);
  uint32_t transparent_rgb = (transparent & 0xFF) << 16 | (transparent & 0xFF00) |
                             (transparent >> 16 & 0xFF);
  Bytes rgba = resource_bytes(p.rgba);
  ASSERT_EQ(rgba.size, pixels.size() * 4);
  int wrong = 0, holes = 0;
  for (size_t i = 0; i < pixels.size(); i++) {
    const uint8_t *c = rgba.data + 4 * i;
    uint32_t expect = c[0] << 16 | c[1] << 8 | c[2];
    if (c[3] == 0) {
      expect = transparent_rgb;
      holes++;
    } else if (transparent != -1 && expect == transparent_rgb) {
      ADD_FAILURE() << "an opaque pixel has the transparent colour";
    }
    if ((pixels[i] & 0xFFFFFF) != expect && wrong++ == 0)
      ADD_FAILURE() << "pixel " << i << " is " << std::hex << pixels[i] << ", expected "
                    << expect;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(holes > 0, p.transparent);
}

TEST(Picture, FromResourcesMemoryAndFiles) {
  for (const Picture &p : kPictures) {
    SCOPED_TRACE(IS_INTRESOURCE(p.gif) ? std::to_string((uintptr_t)p.gif) : p.gif);
    HBITMAP b = picture_load(GetModuleHandleA(nullptr), p.gif);
    expect_picture(b, p);
    DeleteObject(b);

    Bytes gif = resource_bytes(p.gif);
    b = picture_load_memory(gif.data, gif.size);
    expect_picture(b, p);
    DeleteObject(b);

    std::string path = beside_program("picture_test_file.gif");
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(gif.data, 1, gif.size, f);
    fclose(f);
    b = picture_load_file(path.c_str());
    DeleteFileA(path.c_str());
    expect_picture(b, p);
    DeleteObject(b);
  }
}

TEST(Picture, NamesMatchWithoutRegardToCase) {
  HBITMAP b = picture_load(GetModuleHandleA(nullptr), "Rose.Gif");
  expect_picture(b, kPictures[0]);
  DeleteObject(b);
}

// Missing pictures are warnings in the log; data that is no GIF fails quietly and leaves
// the last transparent colour as it was.
TEST(Picture, FailuresAndTheirLogLines) {
  std::string log_path = beside_program("picture_test.log");
  ASSERT_TRUE(log_open_file(log_path.c_str(), "test.exe"));
  HMODULE self = GetModuleHandleA(nullptr);
  DeleteObject(picture_load(self, "ROSE.GIF"));
  int32_t transparent = picture_last_transparent();
  ASSERT_NE(transparent, -1);

  std::string missing = beside_program("no_such_picture.gif");
  EXPECT_EQ(picture_load(self, "NOSUCH.GIF"), nullptr);
  EXPECT_EQ(picture_load(self, MAKEINTRESOURCEA(999)), nullptr);
  EXPECT_EQ(picture_load_file(missing.c_str()), nullptr);
  EXPECT_EQ(picture_load(self, "ROSE.RGBA"), nullptr);
  EXPECT_EQ(picture_load_memory("GIF89a", 6), nullptr);
  EXPECT_EQ(picture_last_transparent(), transparent);
  log_close();
  std::string text = read_file(log_path);
  DeleteFileA(log_path.c_str());

  std::string body = text.substr(text.find("Current date"));
  body = body.substr(body.find('\n') + 1);
  EXPECT_EQ(body,
            " 4\tWARNING: Cannot find resource 'NOSUCH.GIF'\n"
            " 5\tWARNING: Cannot find resource id '999'\n"
            " 6\tWARNING: Cannot open '" + missing + "'\n"
            " 7\tBye!\n");
}

}  // namespace
