// Rich text drawn through GDI against the plain system call: a panel of 60 lines drawn
// by the renderer into a 32-bit bitmap, and the same lines put there with one ExtTextOutA
// each (the least any panel could do). Two panels: plain lines (one run each, the cost of
// the renderer itself) and a listing (grey address, link over the command, comment after
// a tab), whose plain rival also draws each run with its own colour call.
//
// Run by hand under Wine (a release build):
//   cmake --build build/win32 --target richtext_gdi_bench
//   cmake/wine-run.sh build/win32/bench/richtext_gdi_bench.exe
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>

#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "ui/rich_text/tests/canvas_win32.h"

namespace {

const int kLines = 60, kWidth = 640, kHeight = 1000;

double now() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart / (double)frequency.QuadPart;
}

// Microseconds per call of each function, the best of many small batches taken in turns,
// so that a busy moment of a shared machine weighs on every function alike.
template <int N>
void per_call(const std::function<void()> (&fns)[N], double (&best)[N]) {
  for (double &b : best) b = 1e9;
  const int kBatches = 40, kCalls = 50;
  for (int batch = 0; batch < kBatches; batch++)
    for (int f = 0; f < N; f++) {
      double t0 = now();
      for (int i = 0; i < kCalls; i++) fns[f]();
      GdiFlush();
      best[f] = std::min(best[f], (now() - t0) * 1e6 / kCalls);
    }
}

// The three runs of a listing line, as a panel would write them.
struct Line {
  char address[16], command[32], comment[32];
};
Line line_of(int i) {
  Line l;
  snprintf(l.address, sizeof l.address, "%08X  ", 0x401000 + 4 * i);
  snprintf(l.command, sizeof l.command, "mov eax, [ebx+%05d]", i);
  snprintf(l.comment, sizeof l.comment, "    ; line %05d", i);
  return l;
}

RichText *plain_document(const RichMeasurer *m) {
  RichText *dd = rich_create(m);
  rich_put_markup(dd, "<font gui>");
  for (int i = 0; i < kLines; i++) {
    Line l = line_of(i);
    rich_put_format(dd, "%s%s%s\n", l.address, l.command, l.comment);
  }
  rich_put_markup(dd, "</font>");
  return dd;
}

RichText *listing_document(const RichMeasurer *m) {
  RichText *dd = rich_create(m);
  rich_put_markup(dd, "<font gui>");
  for (int i = 0; i < kLines; i++) {
    Line l = line_of(i);
    rich_put_format(dd, "<color #808080>%s</color>", l.address);
    rich_open_tag(dd, 0x401000 + 4 * i, true);
    rich_put_string(dd, l.command);
    rich_close_tag(dd);
    rich_put_format(dd, "\t<color #008000>%s</color>\n", l.comment);
  }
  rich_put_markup(dd, "</font>");
  return dd;
}

// The document's lines, one ExtTextOutA each at the renderer's line positions.
void plain_lines(RichText *dd, HDC dc, const char *const *texts) {
  for (int i = 0; i < kLines; i++) {
    const RichLine &l = dd->lines[i];
    ExtTextOutA(dc, l.x, l.y, 0, nullptr, texts[i], (int)strlen(texts[i]), nullptr);
  }
}

// Each run in its own colour, the command where the renderer put it after the address.
void plain_runs(RichText *dd, HDC dc, const Line *lines, int command_x, int comment_x) {
  for (int i = 0; i < kLines; i++) {
    const Line &t = lines[i];
    const int y = dd->lines[i].y;
    SetTextColor(dc, RGB(0x80, 0x80, 0x80));
    ExtTextOutA(dc, 0, y, 0, nullptr, t.address, (int)strlen(t.address), nullptr);
    SetTextColor(dc, 0);
    ExtTextOutA(dc, command_x, y, 0, nullptr, t.command, (int)strlen(t.command), nullptr);
    SetTextColor(dc, RGB(0, 0x80, 0));
    ExtTextOutA(dc, comment_x, y, 0, nullptr, t.comment, (int)strlen(t.comment), nullptr);
  }
}

}  // namespace

int main() {
  RichGdiMeasurer gdi;
  if (!rich_gdi_measurer_init(&gdi, (HFONT)GetStockObject(SYSTEM_FIXED_FONT),
                              (HFONT)GetStockObject(ANSI_FIXED_FONT), RGB(255, 255, 255),
                              GetModuleHandleA(nullptr)))
    return 1;
  // The panels' back buffer is such a bitmap.
  Canvas canvas(kWidth, kHeight);
  if (!canvas.bitmap) return 1;
  HGDIOBJ old_font = SelectObject(canvas.dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(canvas.dc, TRANSPARENT);
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, canvas.dc);

  Line lines[kLines];
  static char joined[kLines][96];
  const char *texts[kLines];
  for (int i = 0; i < kLines; i++) {
    lines[i] = line_of(i);
    snprintf(joined[i], sizeof joined[i], "%s%s%s", lines[i].address, lines[i].command,
             lines[i].comment);
    texts[i] = joined[i];
  }
  HDC dc = canvas.dc;
  SIZE address;
  GetTextExtentPoint32A(dc, lines[0].address, (int)strlen(lines[0].address), &address);

  printf("%d lines of %d to %d characters in DEFAULT_GUI_FONT, into a %dx%d 32-bit bitmap\n",
         kLines, (int)strlen(texts[0]), (int)strlen(texts[kLines - 1]), kWidth, kHeight);
  printf("%-10s %16s %16s %8s\n", "panel", "rich text us", "ExtTextOutA us", "ratio");
  RichText *plain = plain_document(&gdi.measurer);
  rich_length(plain);
  const std::function<void()> plain_fns[] = {[&] { rich_draw(plain, &drawer.drawer); },
                                              [&] { plain_lines(plain, dc, texts); }};
  double plain_us[2];
  per_call(plain_fns, plain_us);
  printf("%-10s %16.1f %16.1f %8.2f\n", "plain", plain_us[0], plain_us[1],
         plain_us[0] / plain_us[1]);

  RichText *listing = listing_document(&gdi.measurer);
  rich_length(listing);
  const int command_x = address.cx;
  // The comment starts at the tab stop the renderer chose: the line's width less its own.
  SIZE comment;
  GetTextExtentPoint32A(dc, lines[0].comment, (int)strlen(lines[0].comment), &comment);
  const int comment_x = listing->lines[0].width - comment.cx;
  const std::function<void()> listing_fns[] = {
      [&] { rich_draw(listing, &drawer.drawer); }, [&] { plain_lines(listing, dc, texts); },
      [&] { plain_runs(listing, dc, lines, command_x, comment_x); }};
  double listing_us[3];
  per_call(listing_fns, listing_us);
  printf("%-10s %16.1f %16.1f %8.2f  (one call a line)\n", "listing", listing_us[0],
         listing_us[1], listing_us[0] / listing_us[1]);
  printf("%-10s %16.1f %16.1f %8.2f  (one call and colour a run)\n", "listing", listing_us[0],
         listing_us[2], listing_us[0] / listing_us[2]);
  rich_destroy(listing);
  rich_destroy(plain);
  SelectObject(canvas.dc, old_font);
  rich_gdi_measurer_free(&gdi);
  return 0;
}
