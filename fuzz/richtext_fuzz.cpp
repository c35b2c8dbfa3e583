// Any bytes as a rich-text document: the markup reader never reads outside its text (each
// piece lies in a heap block of exactly its length, so the sanitizer sees its end); every
// line, tag and hit result lies inside the document; the innermost and the closest-end
// tags agree with a search over all tags; character offsets and counts invert each other;
// drawing hands out only text of the stream; nothing leaks.
//
// Bytes 1 to 3 act through the writer's calls: 1 opens a tag (a link at odd positions), 2
// closes one, 3 takes the next byte for a column move, skip, overlay, picture, selection or
// line parameter. Bytes from 0xF0 stand for markup pieces, so that the fuzzer reaches deep
// into the reader without a dictionary.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/zone.h"

namespace {

const char *const kPieces[16] = {
    "<color #FF00FF>", "</color>", "<paper bgcolor>", "</paper>", "<font big>", "<font small>",
    "</font>", "<image Logo.gif>", "<image App.gif>", "\n", "\t", "<font nosuch>", "<color ",
    "#", ">", "</"};

void check(bool ok) {
  if (!ok) __builtin_trap();
}

void put_markup(RichText *dd, const std::string &text) {
  if (text.empty()) return;
  char *piece = (char *)malloc(text.size());  // not a zone block: its end must be guarded
  memcpy(piece, text.data(), text.size());
  rich_put_markup_count(dd, piece, text.size());
  free(piece);
}

void act(RichText *dd, uint8_t verb, uint8_t arg, size_t position) {
  int tags = dd->stack.kinds[STYLE_TAG].num;
  if (verb == 1 && tags < STACK_LEN) rich_open_tag(dd, (uint32_t)position, position & 1);
  if (verb == 2 && tags > 0) rich_close_tag(dd);
  if (verb != 3) return;
  switch (arg % 6) {
    case 0: rich_tab_column(dd, arg * 3); break;
    case 1: rich_skip(dd, arg); break;
    case 2: rich_overlay_image(dd, 101, arg - 128, arg / 2); break;
    case 3: rich_image(dd, 103); break;
    case 4: rich_set_selection(dd, arg * 5, arg); break;
    case 5: rich_set_line_param(dd, -1, arg); break;
  }
}

// The innermost tag holding the offset, the smallest range and then the higher index;
// with nearest and none holding it, the closest end, then the higher index.
int tag_by_search(const RichText *dd, int offset, bool nearest) {
  int best = -1;
  for (int i = 0; i < dd->tagnum; i++) {
    const RichTag &t = dd->tags[i];
    if (t.start > offset || offset >= t.end) continue;
    if (best < 0 || t.end - t.start <= dd->tags[best].end - dd->tags[best].start) best = i;
  }
  if (best >= 0 || !nearest) return best;
  for (int i = 0; i < dd->tagnum; i++) {
    const RichTag &t = dd->tags[i];
    if (t.end < 0) continue;
    if (best < 0 || abs(t.end - offset) <= abs(dd->tags[best].end - offset)) best = i;
  }
  return best;
}

void check_document(RichText *dd) {
  int len = rich_length(dd), lines = rich_line_count(dd);
  check(lines >= 1 && dd->lines[0].start == 0 && dd->lines[lines - 1].end == len);
  for (int i = 0; i < lines; i++) {
    const RichLine &l = dd->lines[i];
    check(l.start <= l.end && l.width >= 0 && l.height >= 0);
    check(i == 0 || (l.start == dd->lines[i - 1].end && l.y >= dd->lines[i - 1].y));
    check(l.y + l.height <= rich_height(dd) && l.width <= rich_width(dd));
  }
  for (int i = 0; i < dd->tagnum; i++) {
    const RichTag &t = dd->tags[i];
    check(t.start >= 0 && t.start <= len && (t.end == -1 || (t.end > t.start && t.end <= len)));
    check(t.parent < i);
  }
}

// A grid of points over the document and a little beyond.
void check_points(RichText *dd, int columns, int rows) {
  int len = rich_length(dd), width = rich_width(dd), height = rich_height(dd);
  for (int sx = 0; sx < columns; sx++) {
    for (int sy = 0; sy < rows; sy++) {
      int x = -4 + sx * (width + 12) / (columns - 1), y = -2 + sy * (height + 8) / (rows - 1);
      for (bool nearest : {false, true}) {
        int offset = rich_offset_at(dd, x, y, nearest);
        check(offset >= -1 && offset <= len);
        check(!nearest || !len || offset >= 0);
        int tag = rich_tag_at(dd, x, y, nearest);
        check(tag == (offset < 0 ? -1 : tag_by_search(dd, offset, nearest)));
        int line = rich_line_at(dd, x, y, nearest);
        check(line == (offset < 0 ? -1 : rich_line_of_offset(dd, offset)));
        if (line < 0) continue;
        check(line < rich_line_count(dd));
        check(offset < dd->lines[line].end || line == rich_line_count(dd) - 1);
        check(line == 0 || dd->lines[line - 1].end <= offset);
      }
    }
  }
}

void check_tags_and_text(RichText *dd) {
  for (int i = 0; i < dd->tagnum && i < 64; i++) {
    RichRect r;
    rich_tag_rect(dd, i, &r);
    check(r.left <= r.right && r.top < r.bottom && r.top >= 0 &&
          r.bottom <= rich_height(dd) + 1);
  }
  int len = rich_length(dd), chars = rich_chars_before(dd, len);
  for (int k = 0; k < 16 && k < chars; k++) {
    int n = k * chars / 16, offset = rich_char_offset(dd, n);
    check(offset >= 0 && offset < len && rich_chars_before(dd, offset) == n);
  }
  check(rich_char_offset(dd, chars) == len);
  // The text of a range is the text of its two halves, wherever it is cut.
  char *whole = rich_text_range(dd, len, 0);
  check(whole != nullptr);
  for (int cut : {0, 1, 6, len / 3, rich_char_offset(dd, chars / 2), len - 1, len}) {
    char *left = rich_text_range(dd, 0, cut), *right = rich_text_range(dd, cut, len);
    check(std::string(left) + right == whole);
    zone_free(left);
    zone_free(right);
  }
  zone_free(whole);
  for (int line = 0; line < rich_line_count(dd) && line < 16; line++) {
    int step = rich_page_step(dd, line, 100), back = rich_page_step(dd, line, -100);
    check(step >= 0 && step < rich_line_count(dd) && back >= 0 && back < rich_line_count(dd));
  }
}

// Drawing: every run of text lies in the stream.
struct DrawCheck {
  const RichText *dd;
  static void begin(void *c, int x, int y, RichRect *clip, uint32_t *color) {
    *clip = {-100000, -100000, 100000, 100000};
    *color = 0;
  }
  static void none(void *) {}
  static void font(void *, RichHandle) {}
  static void colors(void *, uint32_t, uint32_t) {}
  static void text(void *c, int x, int y, const char *text, int count) {
    const RichText *dd = ((DrawCheck *)c)->dd;
    check(count > 0 && text >= (const char *)dd->stream &&
          text + count <= (const char *)dd->stream + dd->len);
  }
  static void fill(void *, const RichRect *r, uint32_t) { check(r->left < r->right); }
  static void image(void *, RichHandle, int, int) {}
  static void underline(void *, int x0, int x1, int) { check(x0 < x1); }
  static void invalidate(void *, const RichRect *r) { check(r->left <= r->right); }
  static void hand(void *, bool) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static RichFixed fixed;
  if (!fixed.measurer.text_size) {
    rich_fixed_init(&fixed);
    // The string pool keeps its tables once it has held a name.
    RichText *warm = rich_create(&fixed.measurer);
    rich_image_by_name(warm, "App.gif");
    rich_destroy(warm);
    rich_images_free(&fixed.measurer);
  }
  int blocks = zone_block_count();
  RichText *dd = rich_create(&fixed.measurer);
  std::string markup;
  for (size_t i = 0; i < size; i++) {
    uint8_t b = data[i];
    if (b >= 0xF0) {
      markup += kPieces[b - 0xF0];
    } else if (b >= 1 && b <= 3) {
      put_markup(dd, markup);
      markup.clear();
      uint8_t arg = b == 3 && i + 1 < size ? data[++i] : 0;
      act(dd, b, arg, i);
    } else {
      markup += (char)b;
    }
  }
  put_markup(dd, markup);

  check_document(dd);
  check_points(dd, 5, 4);
  check_tags_and_text(dd);
  DrawCheck draw = {dd};
  RichDrawer drawer = {&draw,           DrawCheck::begin, DrawCheck::none,  DrawCheck::font,
                       DrawCheck::colors, DrawCheck::text, DrawCheck::fill,  DrawCheck::image,
                       DrawCheck::underline};
  RichWindow window = {&draw, DrawCheck::invalidate, DrawCheck::hand};
  rich_hover(dd, &window, 20, 5);
  rich_set_scroll(dd, 7, 9);
  rich_draw(dd, &drawer);
  check_points(dd, 3, 3);

  rich_destroy(dd);
  rich_images_free(&fixed.measurer);
  zone_heap_check("richtext_fuzz");
  check(zone_block_count() == blocks);
  return 0;
}
