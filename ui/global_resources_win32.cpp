#include "ui/global_resources_win32.h"

#include "util/picture_win32.h"

GlobalResources g_resources;

// Picture resources of the program, in the order the panels expect them.
static const int kPictureIds[PICTURE_COUNT] = {170, 220, 210, 230, 180, 160};

static HFONT make_font(int height, int width, int weight, const char *face) {
  return CreateFontA(-height, width, 0, 0, weight, 0, 0, 0, 0, OUT_OUTLINE_PRECIS, 0,
                     PROOF_QUALITY, 0, face);
}

void global_resources_create() {
  GlobalResources &r = g_resources;
  for (int i = 0; i < 2; i++) {
    r.fixed_font[i] = GetStockObject(SYSTEM_FIXED_FONT);
    r.gui_font[i] = GetStockObject(DEFAULT_GUI_FONT);
  }
  r.big_font = make_font(42, 20, 700, "Arial");
  r.small_font = make_font(8, 4, 400, "Small Fonts");
  // A picture that cannot be loaded stays null; its users draw nothing then.
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (int i = 0; i < PICTURE_COUNT; i++)
    r.pictures[i] = picture_load(instance, MAKEINTRESOURCEA(kPictureIds[i]));
  r.button_face = GetSysColor(COLOR_BTNFACE);
}

void global_resources_delete() {
  GlobalResources &r = g_resources;
  if (r.big_font) DeleteObject(r.big_font);
  if (r.small_font) DeleteObject(r.small_font);
  for (HBITMAP &b : r.pictures)
    if (b) DeleteObject(b);
  for (int i = 0; i < 2; i++) {
    DeleteObject(r.fixed_font[i]);  // stock objects: deleting them is harmless
    DeleteObject(r.gui_font[i]);
  }
  r = GlobalResources();
}
