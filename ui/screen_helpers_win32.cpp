#include "ui/screen_helpers_win32.h"

#include "util/line_ends.h"
#include "util/visor.h"

namespace {

struct BackBuffer {
  HDC target;
  HDC memory;
  HBITMAP bitmap;
  HGDIOBJ old_bitmap;
};
BackBuffer g_back;
HDC &hCache = g_back.memory;  // the name the assertions speak of

}  // namespace

HDC back_buffer_begin(HDC target) {
  KQ_ASSERT_AT(!hCache, "glob", 752, "!hCache");
  RECT clip;
  GetClipBox(target, &clip);
  int width = clip.right > 0 ? clip.right : 1, height = clip.bottom > 0 ? clip.bottom : 1;
  g_back.target = target;
  hCache = CreateCompatibleDC(target);
  g_back.bitmap = CreateCompatibleBitmap(target, width, height);
  g_back.old_bitmap = SelectObject(hCache, g_back.bitmap);
  // The visible region of the window, moved so that its bounding box lies on the clip box.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (GetRandomRgn(target, region, SYSRGN) == 1) {
    RECT box;
    GetRgnBox(region, &box);
    OffsetRgn(region, clip.left - box.left, clip.top - box.top);
    SelectClipRgn(hCache, region);
  }
  DeleteObject(region);
  return hCache;
}

void back_buffer_end() {
  KQ_ASSERT_AT(hCache, "glob", 774, "hCache");
  RECT clip;
  GetClipBox(g_back.target, &clip);
  BitBlt(g_back.target, 0, 0, clip.right, clip.bottom, hCache, 0, 0, SRCCOPY);
  SelectObject(hCache, g_back.old_bitmap);
  DeleteObject(g_back.bitmap);
  DeleteDC(hCache);
  g_back = BackBuffer();
}

void paint_buffered(HWND hwnd, void (*draw)(HDC dc)) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HDC back = back_buffer_begin(dc);
  draw(back ? back : dc);
  if (back) back_buffer_end();
  EndPaint(hwnd, &ps);
}

bool clipboard_copy_text(const char *text, size_t len) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  bool ok = false;
  const size_t size = text_with_crlf(text, len, nullptr);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size + 1);
  if (block) {
    char *copy = (char *)GlobalLock(block);
    text_with_crlf(text, len, copy);
    copy[size] = 0;
    GlobalUnlock(block);
    ok = SetClipboardData(CF_TEXT, block) != nullptr;
    if (!ok) GlobalFree(block);
  }
  CloseClipboard();
  return ok;
}
