// Rich text on the GDI: measures agree with the system's own extents, and drawing into a
// 32-bit bitmap puts the colours, papers, pictures and the link underline where the
// document says, and nowhere else.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/rich_text/tests/canvas_win32.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0),
               kBlue = RGB(0, 0, 255), kMagenta = RGB(255, 0, 255);

SIZE extent(HGDIOBJ font, const char *text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size;
  GetTextExtentPoint32A(dc, text, (int)strlen(text), &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  return size;
}

struct GdiDoc {
  RichGdiMeasurer gdi;
  RichText *dd;
  GdiDoc() {
    EXPECT_TRUE(rich_gdi_measurer_init(&gdi, (HFONT)GetStockObject(OEM_FIXED_FONT),
                                       (HFONT)GetStockObject(ANSI_FIXED_FONT), RGB(1, 2, 3),
                                       GetModuleHandleA(nullptr)));
    dd = rich_create(&gdi.measurer);
  }
  ~GdiDoc() {
    dd = rich_destroy(dd);
    rich_gdi_measurer_free(&gdi);
  }
};

TEST(RichTextGdi, MeasuresAndHitsAsTheSystem) {
  GdiDoc doc;
  HGDIOBJ gui = GetStockObject(DEFAULT_GUI_FONT);
  ASSERT_TRUE(rich_put_markup(doc.dd, "<font gui>abc\tW</font>\n<paper bgcolor>x"));
  SIZE abc = extent(gui, "abc"), space = extent(gui, " "), w = extent(gui, "W");
  int step = 8 * space.cx, tab = abc.cx + step - abc.cx % step;
  EXPECT_EQ(doc.dd->lines[0].width, tab + w.cx);
  // The newline after the close takes the height of a space in the context's own font.
  EXPECT_EQ(doc.dd->lines[0].height, std::max(abc.cy, extent(doc.gdi.own, " ").cy));
  EXPECT_EQ(doc.dd->stream[doc.dd->lines[1].start], OPEN_PAPER_d);
  EXPECT_EQ(rich_get32(doc.dd->stream + doc.dd->lines[1].start + 1), (uint32_t)RGB(1, 2, 3));
  // FONT 0-4, TEXT 'abc' 5-12 with c at 12, TAB 13, TEXT 'W' 14 with W at 19.
  SIZE ab = extent(gui, "ab");
  EXPECT_EQ(rich_offset_at(doc.dd, ab.cx, 1, false), 12);
  EXPECT_EQ(rich_offset_at(doc.dd, ab.cx - 1, 1, false), 11);
  EXPECT_EQ(rich_offset_at(doc.dd, tab, 1, false), 19);
  EXPECT_EQ(rich_offset_at(doc.dd, tab - 1, 1, false), 13);
}

// Extents and fits of runs in many fonts, the program's own among them, agree with the
// system's: more fonts than the measurer keeps widths of, characters above 127, and
// widths that end inside, before and after a character.
TEST(RichTextGdi, ExtentsAndFitsInManyFontsAsTheSystem) {
  GdiDoc doc;
  HFONT made[6];
  const char *faces[] = {"Arial", "Tahoma", "Courier New", "Times New Roman", "Arial",
                         "Small Fonts"};
  for (int i = 0; i < 6; i++)
    made[i] = CreateFontA(-(9 + 3 * i), 0, 0, 0, i == 4 ? FW_BOLD : FW_NORMAL, i == 3, 0, 0,
                          ANSI_CHARSET, OUT_OUTLINE_PRECIS, 0, PROOF_QUALITY, 0, faces[i]);
  HGDIOBJ fonts[] = {GetStockObject(DEFAULT_GUI_FONT), GetStockObject(SYSTEM_FONT),
                     GetStockObject(ANSI_VAR_FONT),    GetStockObject(OEM_FIXED_FONT),
                     made[0], made[1], made[2], made[3], made[4], made[5]};
  const char *texts[] = {"mov eax, [ebx+0x10]", "W", "iiiiiiii", "caf\xE9 \xA9 \xFF\x80",
                         "\t tab and space "};
  const RichMeasurer *m = &doc.gdi.measurer;
  for (int round = 0; round < 2; round++)  // the second round from the kept widths
    for (HGDIOBJ font : fonts)
      for (const char *text : texts) {
        const int n = (int)strlen(text);
        SIZE system = extent(font, text);
        int width = -1, height = -1;
        m->text_size(m->context, (RichHandle)(uintptr_t)font, text, n, &width, &height);
        EXPECT_EQ(width, system.cx) << text;
        EXPECT_EQ(height, system.cy) << text;
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        for (int limit : {0, (int)system.cx / 3, (int)system.cx / 2 + 1, (int)system.cx - 1, (int)system.cx,
                          (int)system.cx + 50}) {
          int fit = -1;
          SIZE size;
          GetTextExtentExPointA(dc, text, n, limit, &fit, nullptr, &size);
          EXPECT_EQ(m->text_fit(m->context, (RichHandle)(uintptr_t)font, text, n, limit), fit)
              << text << " in " << limit;
        }
        SelectObject(dc, old);
        DeleteDC(dc);
      }
  for (HFONT f : made) DeleteObject(f);
}

TEST(RichTextGdi, DrawsIntoABitmap) {
  GdiDoc doc;
  Canvas canvas(300, 80);
  // Line 0: red "MMMM", a bare skip of 10, a green skip of 20, a 10 x 10 picture whose
  // corner colour (magenta) is clear around a blue square. Line 1: a link, hovered.
  HBITMAP picture = CreateCompatibleBitmap(canvas.dc, 10, 10);
  HDC pdc = CreateCompatibleDC(canvas.dc);
  HGDIOBJ pold = SelectObject(pdc, picture);
  RECT all = {0, 0, 10, 10}, square = {2, 2, 8, 8};
  HBRUSH magenta = CreateSolidBrush(kMagenta), blue = CreateSolidBrush(kBlue);
  FillRect(pdc, &all, magenta);
  FillRect(pdc, &square, blue);
  SelectObject(pdc, pold);
  DeleteDC(pdc);
  rich_put_markup(doc.dd, "<color #FF0000>MMMM</color>");
  rich_skip(doc.dd, 10);
  rich_put_markup(doc.dd, "<paper #00FF00>");
  rich_skip(doc.dd, 20);
  rich_put_markup(doc.dd, "</paper>");
  rich_image(doc.dd, (RichHandle)(uintptr_t)picture);
  rich_put_string(doc.dd, "\n");
  int link = rich_open_tag(doc.dd, 1, true);
  rich_put_string(doc.dd, "LINK");
  rich_close_tag(doc.dd);
  doc.dd->hover = link;

  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, canvas.dc);
  rich_draw(doc.dd, &drawer.drawer);
  GdiFlush();

  int wm = extent(doc.gdi.own, "MMMM").cx, wl = extent(doc.gdi.own, "LINK").cx;
  const RichLine &l0 = doc.dd->lines[0], &l1 = doc.dd->lines[1];
  int bottom0 = l0.y + l0.height, bottom1 = l1.y + l1.height;
  ASSERT_GE(l0.height, 10);
  // Red only in the two texts (the hovered link is red too), some of it in each.
  int red_m = 0, red_link = 0, red_else = 0;
  for (int y = 0; y < canvas.height; y++) {
    for (int x = 0; x < canvas.width; x++) {
      if (canvas.at(x, y) != kRed) continue;
      if (x < wm && y < bottom0)
        red_m++;
      else if (x < wl && y >= l1.y && y < bottom1)
        red_link++;
      else
        red_else++;
    }
  }
  EXPECT_GT(red_m, 0);
  EXPECT_GT(red_link, 0);
  EXPECT_EQ(red_else, 0);
  int mid = l0.height / 2;
  EXPECT_EQ(canvas.at(wm + 5, mid), kWhite);    // the bare skip
  EXPECT_EQ(canvas.at(wm + 10, 0), kGreen);     // the paper over the whole line height
  EXPECT_EQ(canvas.at(wm + 29, bottom0 - 1), kGreen);
  EXPECT_EQ(canvas.at(wm + 30, bottom0 - 10), kWhite);  // the picture's clear corner
  EXPECT_EQ(canvas.at(wm + 35, bottom0 - 5), kBlue);
  EXPECT_EQ(canvas.at(wm + 41, bottom0 - 5), kWhite);
  EXPECT_EQ(canvas.at(1, bottom1 - 1), RGB(0, 0, 0));  // the underline
  EXPECT_EQ(canvas.at(wl + 2, bottom1 - 1), kWhite);
  DeleteObject(picture);
  DeleteObject(magenta);
  DeleteObject(blue);
}

}  // namespace
