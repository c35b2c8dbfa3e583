#include "rich_text_gdi_win32.h"

#include <string.h>

#include "ui/rich_text/rich_text_write.h"
#include "util/picture_win32.h"

namespace {

static_assert(sizeof(HANDLE) == sizeof(RichHandle), "GDI handles travel in the token stream");

enum { HAND_CURSOR = 670 };

HGDIOBJ object(RichHandle handle, HGDIOBJ own) { return handle ? (HGDIOBJ)handle : own; }
RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

HDC measuring(void *context, RichHandle font) {
  RichGdiMeasurer *g = (RichGdiMeasurer *)context;
  SelectObject(g->dc, object(font, g->own));
  return g->dc;
}

// The font's widths, read on first use; null when the table is full or GDI cannot say.
const RichGdiWidths *widths_of(RichGdiMeasurer *g, RichHandle font) {
  for (int i = 0; i < g->widthnum; i++)
    if (g->widths[i].font == font) return &g->widths[i];
  if (g->widthnum == RICH_GDI_WIDTH_FONTS) return nullptr;
  RichGdiWidths *w = &g->widths[g->widthnum];
  HDC dc = measuring(g, font);
  TEXTMETRICA tm;
  if (!GetTextMetricsA(dc, &tm) || !GetCharWidth32A(dc, 0, 255, w->widths)) return nullptr;
  w->font = font;
  w->height = tm.tmHeight;
  g->widthnum++;
  return w;
}

void text_size(void *context, RichHandle font, const char *text, int count, int *width,
               int *height) {
  const RichGdiWidths *w = count > 0 ? widths_of((RichGdiMeasurer *)context, font) : nullptr;
  if (w) {
    int sum = 0;
    for (int i = 0; i < count; i++) sum += w->widths[(uint8_t)text[i]];
    *width = sum;
    *height = w->height;
    return;
  }
  SIZE size = {0, 0};
  GetTextExtentPoint32A(measuring(context, font), text, count, &size);
  *width = size.cx;
  *height = size.cy;
}

int text_fit(void *context, RichHandle font, const char *text, int count, int width) {
  const RichGdiWidths *w = count > 0 ? widths_of((RichGdiMeasurer *)context, font) : nullptr;
  if (w) {
    int fit = 0;
    for (int sum = 0; fit < count && (sum += w->widths[(uint8_t)text[fit]]) <= width;) fit++;
    return fit;
  }
  int fit = 0;
  SIZE size;
  if (!GetTextExtentExPointA(measuring(context, font), text, count, width, &fit, nullptr, &size))
    return 0;
  return fit;
}

void image_size(void *context, RichHandle image, int *width, int *height) {
  BITMAP bm = {};
  GetObjectA((HGDIOBJ)image, sizeof bm, &bm);
  *width = bm.bmWidth;
  *height = bm.bmHeight;
}

RichHandle load_image(void *context, const char *name) {
  return handle_of(picture_load(((RichGdiMeasurer *)context)->pictures, name));
}

void free_image(void *context, RichHandle image) { DeleteObject((HGDIOBJ)image); }

HDC drawing(void *context) { return ((RichGdiDrawer *)context)->dc; }

void begin(void *context, int x, int y, RichRect *clip, uint32_t *text_color) {
  RichGdiDrawer *d = (RichGdiDrawer *)context;
  d->saved = SaveDC(d->dc);
  d->own = GetCurrentObject(d->dc, OBJ_FONT);
  d->paper_set = false;
  SetWindowOrgEx(d->dc, x, y, nullptr);
  RECT r;
  GetClipBox(d->dc, &r);
  *clip = {r.left, r.top, r.right, r.bottom};
  *text_color = GetTextColor(d->dc);
}

void end(void *context) {
  RichGdiDrawer *d = (RichGdiDrawer *)context;
  RestoreDC(d->dc, d->saved);
}

void font(void *context, RichHandle font) {
  RichGdiDrawer *d = (RichGdiDrawer *)context;
  SelectObject(d->dc, object(font, d->own));
}

void colors(void *context, uint32_t text, uint32_t paper) {
  RichGdiDrawer *d = (RichGdiDrawer *)context;
  SetTextColor(d->dc, text);
  if (d->paper_set && paper == d->paper) return;
  d->paper = paper;
  d->paper_set = true;
  if (paper == RICH_TRANSPARENT) {
    SetBkMode(d->dc, TRANSPARENT);
    return;
  }
  SetBkColor(d->dc, paper);
  SetBkMode(d->dc, OPAQUE);
}

void text(void *context, int x, int y, const char *text, int count) {
  TextOutA(drawing(context), x, y, text, count);
}

void fill(void *context, const RichRect *rect, uint32_t color) {
  RECT r = {rect->left, rect->top, rect->right, rect->bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(drawing(context), &r, brush);
  DeleteObject(brush);
}

// The bitmap's top-left pixel gives the colour left clear.
void image(void *context, RichHandle image, int x, int y) {
  HDC dc = drawing(context);
  BITMAP bm = {};
  if (!GetObjectA((HGDIOBJ)image, sizeof bm, &bm)) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, (HGDIOBJ)image);
  TransparentBlt(dc, x, y, bm.bmWidth, bm.bmHeight, source, 0, 0, bm.bmWidth, bm.bmHeight,
                 GetPixel(source, 0, 0));
  SelectObject(source, old);
  DeleteDC(source);
}

void underline(void *context, int x0, int x1, int y) {
  HDC dc = drawing(context);
  MoveToEx(dc, x0, y, nullptr);
  LineTo(dc, x1, y);
}

void invalidate(void *context, const RichRect *rect) {
  RECT r = {rect->left, rect->top, rect->right, rect->bottom};
  InvalidateRect(((RichGdiWindow *)context)->hwnd, &r, TRUE);
}

void hand_cursor(void *context, bool hand) {
  RichGdiWindow *w = (RichGdiWindow *)context;
  SetCursor(hand ? LoadCursorA(w->instance, MAKEINTRESOURCEA(HAND_CURSOR))
                 : (HCURSOR)(uintptr_t)GetClassLongA(w->hwnd, GCL_HCURSOR));
}

}  // namespace

bool rich_gdi_measurer_init(RichGdiMeasurer *g, HFONT big, HFONT small, COLORREF background,
                            HINSTANCE pictures) {
  *g = {};
  g->dc = CreateCompatibleDC(nullptr);
  if (!g->dc) return false;
  g->own = GetCurrentObject(g->dc, OBJ_FONT);
  g->pictures = pictures;
  RichHandle fonts[RICH_FONT_COUNT] = {
      handle_of(GetStockObject(DEFAULT_GUI_FONT)), handle_of(GetStockObject(SYSTEM_FONT)),
      handle_of(GetStockObject(ANSI_VAR_FONT)), handle_of(big), handle_of(small)};
  g->measurer = {g, text_size, text_fit, image_size, load_image, free_image, {}, background};
  memcpy(g->measurer.fonts, fonts, sizeof fonts);
  return true;
}

void rich_gdi_measurer_free(RichGdiMeasurer *g) {
  if (g->dc) DeleteDC(g->dc);
  g->dc = nullptr;
}

void rich_gdi_pictures_free() {
  RichGdiMeasurer gdi;
  if (!rich_gdi_measurer_init(&gdi, nullptr, nullptr, 0, nullptr)) return;
  rich_images_free(&gdi.measurer);
  rich_gdi_measurer_free(&gdi);
}

void rich_gdi_drawer_init(RichGdiDrawer *d, HDC dc) {
  *d = {};
  d->dc = dc;
  d->drawer = {d, begin, end, font, colors, text, fill, image, underline};
}

void rich_gdi_window_init(RichGdiWindow *w, HWND hwnd, HINSTANCE instance) {
  w->hwnd = hwnd;
  w->instance = instance;
  w->window = {w, invalidate, hand_cursor};
}
