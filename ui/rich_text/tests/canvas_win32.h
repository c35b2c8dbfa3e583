// A white top-down 32-bit bitmap selected into a memory context, for drawing tests and
// benchmarks that read back the pixels drawn.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <stdio.h>

struct Canvas {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint32_t *pixels = nullptr;
  int width, height;
  Canvas(int w, int h) : width(w), height(h) {
    BITMAPINFO bi = {};
    bi.bmiHeader = header();
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, (void **)&pixels, nullptr, 0);
    old = SelectObject(dc, bitmap);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    GdiFlush();
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  Canvas(const Canvas &) = delete;
  Canvas &operator=(const Canvas &) = delete;

  BITMAPINFOHEADER header() const {
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = -height;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    return h;
  }
  COLORREF at(int x, int y) const {
    uint32_t p = pixels[y * width + x];
    return RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
  }
  // The picture as a bitmap file, for a person to look at.
  bool save(const char *path) const {
    const BITMAPINFOHEADER info = header();
    const DWORD bytes = (DWORD)width * (DWORD)height * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    GdiFlush();
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    const bool ok = fwrite(&file, sizeof file, 1, f) == 1 &&
                    fwrite(&info, sizeof info, 1, f) == 1 && fwrite(pixels, bytes, 1, f) == 1;
    return fclose(f) == 0 && ok;
  }
};
