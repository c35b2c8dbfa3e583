// Rich text: the cost of a hit test (offset and tag at a point), a tag rectangle and a
// screenful of drawing near the top of a 20,000-line document and in its middle, which
// should be the same: readers replay only the earlier lines that change a style, not all
// of them. The document is a disassembly listing in the fixed-width measurer's GUI font:
// an address in grey, a link tag over the command, a comment; one font open over the whole
// document and a colour span over two lines every thousand lines give the lines to replay.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target richtext_bench
//   build/host/bench/richtext_bench
#include <stdio.h>

#include <algorithm>
#include <chrono>

#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"

namespace {

const int kLines = 20000;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

RichText *build(const RichMeasurer *m) {
  RichText *dd = rich_create(m);
  rich_put_markup(dd, "<font gui>");
  for (int i = 0; i < kLines; i++) {
    uint32_t address = 0x401000 + 4 * i;
    if (i % 1000 == 500) rich_put_markup(dd, "<color #0000C0>");
    rich_put_format(dd, "<color #808080>%08X</color>  ", address);
    rich_open_tag(dd, address, true);
    rich_put_format(dd, "mov eax, [ebx+%05d]", i);  // every line as long as the others
    rich_close_tag(dd);
    rich_put_format(dd, "\t; line %05d", i);
    if (i % 1000 == 501) rich_put_markup(dd, "</color>");
    rich_put_char(dd, '\n');
    rich_set_line_param(dd, -2, address);
  }
  rich_put_markup(dd, "</font>");
  rich_length(dd);
  return dd;
}

// Nanoseconds per call of fn at line, the best of five batches.
template <class Fn>
double per_call(int calls, Fn fn) {
  double best = 1e9;
  for (int batch = 0; batch < 5; batch++) {
    double t0 = now();
    for (int i = 0; i < calls; i++) fn();
    best = std::min(best, (now() - t0) * 1e9 / calls);
  }
  return best;
}

struct Counter {
  long texts;
  static void begin(void *c, int, int y, RichRect *clip, uint32_t *color) {
    *clip = {0, y, 640, y + 480};
    *color = 0;
  }
  static void end(void *) {}
  static void font(void *, RichHandle) {}
  static void colors(void *, uint32_t, uint32_t) {}
  static void text(void *c, int, int, const char *, int) { ((Counter *)c)->texts++; }
  static void fill(void *, const RichRect *, uint32_t) {}
  static void image(void *, RichHandle, int, int) {}
  static void underline(void *, int, int, int) {}
};

}  // namespace

int main() {
  RichFixed fixed;
  rich_fixed_init(&fixed);
  double t0 = now();
  RichText *dd = build(&fixed.measurer);
  double built = now() - t0;
  printf("document: %d lines, %d stream bytes, %d tags; %d lines change a style, %d of them "
         "a tag or font; built in %.1f ms (%.2f us a line)\n",
         rich_line_count(dd), rich_length(dd), dd->tagnum, dd->statenum, dd->hitnum,
         built * 1e3, built * 1e6 / kLines);
  Counter counter = {0};
  RichDrawer drawer = {&counter,       Counter::begin, Counter::end,  Counter::font,
                       Counter::colors, Counter::text, Counter::fill, Counter::image,
                       Counter::underline};
  printf("%-8s %14s %14s %14s %16s\n", "line", "offset at ns", "tag at ns", "tag rect ns",
         "screenful us");
  for (int line : {10, 10000, 19990}) {
    int y = dd->lines[line].y + 3, x = 120;
    int offset = 0, tag = 0;
    double hit = per_call(20000, [&] { offset = rich_offset_at(dd, x, y, false); });
    double tag_ns = per_call(20000, [&] { tag = rich_tag_at(dd, x, y, false); });
    RichRect r;
    double rect = per_call(20000, [&] { rich_tag_rect(dd, tag, &r); });
    rich_set_scroll(dd, 0, dd->lines[line].y);
    double draw = per_call(200, [&] { rich_draw(dd, &drawer); }) / 1e3;
    rich_set_scroll(dd, 0, 0);
    if (rich_tag_param(dd, tag) != 0x401000u + 4 * line || rich_line_of_offset(dd, offset) != line)
      printf("wrong hit at line %d: offset %d, tag %d\n", line, offset, tag);
    printf("%-8d %14.0f %14.0f %14.0f %16.1f\n", line, hit, tag_ns, rect, draw);
  }
  rich_destroy(dd);
  return 0;
}
