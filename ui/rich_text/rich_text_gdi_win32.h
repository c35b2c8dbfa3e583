// Rich text on the Windows GDI: the measurer (a memory context compatible with the
// screen, the stock fonts and the program's own fonts for markup, pictures from the
// program's resources), the drawer over a device context, and the window seam for links.
#pragma once
#include <windows.h>

#include "rich_text_records.h"

// The advance widths of one font's 256 characters: a run's extent is their sum, as the
// system computes it, without a call into GDI for every run. Widths are kept by handle, so
// a font measured must live as long as the measurer (the stock and program fonts do).
struct RichGdiWidths {
  RichHandle font;
  int height;
  int widths[256];
};
enum { RICH_GDI_WIDTH_FONTS = 8 };

struct RichGdiMeasurer {
  RichMeasurer measurer;
  HDC dc;
  HGDIOBJ own;  // the context's font as created, for font 0
  HINSTANCE pictures;
  RichGdiWidths widths[RICH_GDI_WIDTH_FONTS];  // fonts met so far; more are asked of GDI
  int widthnum;
};
// big and small are the program's fonts; the background answers "bgcolor".
bool rich_gdi_measurer_init(RichGdiMeasurer *g, HFONT big, HFONT small, COLORREF background,
                            HINSTANCE pictures);
void rich_gdi_measurer_free(RichGdiMeasurer *g);
// Deletes the pictures the documents share (the cache of pictures by name), at shut-down.
void rich_gdi_pictures_free();

struct RichGdiDrawer {
  RichDrawer drawer;
  HDC dc;
  int saved;
  HGDIOBJ own;
  // The background given to the context since begin: a change of text colour alone
  // leaves it be.
  uint32_t paper;
  bool paper_set;
};
void rich_gdi_drawer_init(RichGdiDrawer *d, HDC dc);

struct RichGdiWindow {
  RichWindow window;
  HWND hwnd;
  HINSTANCE instance;  // holds the hand cursor, resource 670
};
void rich_gdi_window_init(RichGdiWindow *w, HWND hwnd, HINSTANCE instance);
