#include "rich_text_write.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "util/namemap.h"
#include "util/path.h"
#include "util/visor.h"
#include "util/zone.h"

namespace {

const char *const kOverflow[STYLE_KINDS] = {"stack.tagnum<STACK_LEN", "stack.fontnum<STACK_LEN",
                                            "stack.colornum<STACK_LEN",
                                            "stack.papernum<STACK_LEN"};
const char *const kUnderflow[STYLE_KINDS] = {"stack.tagnum", "stack.fontnum", "stack.colornum",
                                             "stack.papernum"};

// The names "<font ...>" takes, in the order of RichMeasurer::fonts.
const char *const kFontNames[RICH_FONT_COUNT] = {"GUI", "SYSTEM", "VAR", "BIG", "SMALL"};

// The picture cache shared by all documents: names (any case) to bitmap handles.
struct RichImages {
  NameMap names;
  bool ready;
};
RichImages g_images;

// Room for more elements of width bytes after used ones. The block's slack is claimed at
// once, so most appends reach no zone function.
bool reserve(void **block, int used, int more, int width) {
  size_t need = (size_t)(used + more) * (size_t)width;
  size_t have = zone_size(*block);
  if (need <= have) return true;
  void *grown = zone_grow(*block, need - have);
  if (!grown) return false;
  zone_use_capacity(grown);
  *block = grown;
  return true;
}

void put16(uint8_t *p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

void put32(uint8_t *p, uint32_t v) {
  put16(p, (uint16_t)v);
  put16(p + 2, (uint16_t)(v >> 16));
}

// Appends a token's code and gives the place of its operands; null without memory.
uint8_t *emit(RichText *dd, uint8_t code, int operands) {
  if (!reserve((void **)&dd->stream, dd->len, 1 + operands, 1)) return nullptr;
  uint8_t *p = dd->stream + dd->len;
  p[0] = code;
  dd->len += 1 + operands;
  return p + 1;
}

void emit32(RichText *dd, uint8_t code, uint32_t value) {
  uint8_t *p = emit(dd, code, 4);
  if (p) put32(p, value);
}

// Opens minus closes within the line; once below zero the count stays there.
void count_open(int *count) {
  if (*count >= 0) (*count)++;
}
void count_close(int *count) {
  if (*count >= 0) (*count)--;
}

RichHandle current_font(const RichText *dd) { return rich_top(&dd->stack, STYLE_FONT, 0); }

void measure(const RichText *dd, const char *text, int count, int *width, int *height) {
  const RichMeasurer *m = dd->measurer;
  *width = *height = 0;
  m->text_size(m->context, current_font(dd), text, count, width, height);
}

void raise_line_height(RichText *dd, int height) {
  if (height > dd->lineh) dd->lineh = height;
}

void open_line(RichText *dd) {
  if (!reserve((void **)&dd->lines, dd->linenum, 1, sizeof(RichLine))) return;
  RichLine *l = &dd->lines[dd->linenum++];
  memset(l, 0, sizeof *l);
  l->y = dd->height;
  l->start = dd->len;
  l->end = -1;
  dd->pen = dd->lineh = dd->column = 0;
  dd->fontcount = dd->colorcount = dd->tagcount = 0;
}

// Keeps the line in the list or out of it. Only the last line is closed again, so it is
// the only one that can join or leave.
void track(int32_t **list, int *num, int index, bool in) {
  bool listed = *num && (*list)[*num - 1] == index;
  if (in && !listed && reserve((void **)list, *num, 1, 4))
    (*list)[(*num)++] = index;
  else if (!in && listed)
    (*num)--;
}

void close_line(RichText *dd) {
  KQ_ASSERT_AT(dd->linenum, "rendput", __LINE__, "dd->linenum");
  int index = dd->linenum - 1;
  RichLine *l = &dd->lines[index];
  l->width = dd->pen;
  l->height = dd->lineh;
  l->end = dd->len;
  uint8_t style = (dd->tagcount ? LNF_TAGS : 0) | (dd->fontcount ? LNF_FONTS : 0) |
                  (dd->colorcount ? LNF_COLORS : 0);
  l->flags = (uint8_t)((l->flags & ~LNF_STYLE) | style);
  track(&dd->statelines, &dd->statenum, index, style != 0);
  track(&dd->hitlines, &dd->hitnum, index, (style & (LNF_TAGS | LNF_FONTS)) != 0);
  if (l->width > dd->maxwidth) dd->maxwidth = l->width;
  if (l->y + l->height > dd->height) dd->height = l->y + l->height;
  dd->closedlen = dd->len;
}

void write_text(RichText *dd, const char *text, int count) {
  uint8_t *p = emit(dd, TEXT_d, 4 + count);
  if (!p) return;
  put32(p, (uint32_t)count);
  memcpy(p + 4, text, (size_t)count);
  int width, height;
  measure(dd, text, count, &width, &height);
  dd->pen += width;
  raise_line_height(dd, height);
}

void write_tab(RichText *dd) {
  if (!emit(dd, TAB, 0)) return;
  int width, height;
  measure(dd, " ", 1, &width, &height);
  dd->pen = rich_tab_stop(dd->pen, dd->column, width);
}

void write_newline(RichText *dd) {
  int width, height;
  measure(dd, " ", 1, &width, &height);
  raise_line_height(dd, height);
  emit(dd, EOL, 0);
  close_line(dd);
  open_line(dd);
}

void compile(RichText *dd) {
  const char *text = dd->pending;
  int count = dd->pendnum;
  dd->pendnum = 0;
  for (int i = 0; i < count;) {
    char c = text[i];
    if (c == '\t') {
      write_tab(dd);
    } else if (c == '\n') {
      write_newline(dd);
    } else if (c == '\r') {
      uint8_t *p = emit(dd, SPECIAL, 1);
      if (p) p[0] = (uint8_t)c;
    } else {
      int j = i;
      while (j < count && text[j] != '\t' && text[j] != '\n' && text[j] != '\r') j++;
      write_text(dd, text + i, j - i);
      i = j;
      continue;
    }
    i++;
  }
}

uint32_t tinted(const RichText *dd, uint32_t color) {
  if (!dd->tint || color == RICH_TRANSPARENT) return color;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t tint = (dd->tintcolor >> shift) & 0xFF, own = (color >> shift) & 0xFF;
    out |= (tint * dd->tint + own * (255u - dd->tint)) / 255u << shift;
  }
  return out;
}

void open_style(RichText *dd, int kind, uint8_t code, uint32_t value, int *count) {
  compile(dd);
  rich_push(&dd->stack, kind, value, "rendput");
  emit32(dd, code, value);
  count_open(count);
}

void close_style(RichText *dd, int kind, uint8_t code, int *count) {
  compile(dd);
  rich_pop(&dd->stack, kind, "rendput");
  emit(dd, code, 0);
  count_close(count);
}

void reset(RichText *dd) {
  dd->len = dd->linenum = dd->tagnum = dd->statenum = dd->hitnum = dd->closednum = 0;
  dd->pendnum = 0;
  dd->halign = dd->valign = 0;
  dd->maxwidth = dd->height = 0;
  dd->selstart = dd->selend = -1;
  dd->hover = -1;
  dd->closedlen = 0;
  dd->params = 0;
  memset(&dd->stack, 0, sizeof dd->stack);
  open_line(dd);
}

// Markup is read through a cursor that never passes its count.
struct Markup {
  const char *text;
  size_t pos, count;
};

char markup_at(const Markup *m) { return m->pos < m->count ? m->text[m->pos] : 0; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Skips blanks and takes the characters up to a blank, ">" or the end, cut to the buffer.
void markup_word(Markup *m, char *out, size_t outlen) {
  while (is_blank(markup_at(m))) m->pos++;
  size_t from = m->pos;
  for (char c = markup_at(m); c && !is_blank(c) && c != '>'; c = markup_at(m)) m->pos++;
  size_t n = m->pos - from;
  if (n >= outlen) n = outlen - 1;
  memcpy(out, m->text + from, n);
  out[n] = 0;
}

bool room_for(const RichText *dd, int kind) { return dd->stack.kinds[kind].num < STACK_LEN; }
bool any_open(const RichText *dd, int kind) { return dd->stack.kinds[kind].num > 0; }

bool markup_open(RichText *dd, const char *name, const char *arg) {
  const RichMeasurer *m = dd->measurer;
  if (!strcmp(name, "image")) return rich_image_by_name(dd, arg);
  if (!strcmp(name, "font")) {
    for (int i = 0; i < RICH_FONT_COUNT; i++) {
      if (strcasecmp(arg, kFontNames[i])) continue;
      if (!room_for(dd, STYLE_FONT)) return false;
      rich_open_font(dd, m->fonts[i]);
      return true;
    }
    return false;
  }
  if (!strcmp(name, "paper")) {
    if (!room_for(dd, STYLE_PAPER)) return false;
    rich_open_paper(dd, rich_color_value(m, arg));
  } else if (!strcmp(name, "color")) {
    if (!room_for(dd, STYLE_COLOR)) return false;
    rich_open_color(dd, rich_color_value(m, arg));
  }
  return true;
}

bool markup_close(RichText *dd, const char *name) {
  if (!strcmp(name, "font")) {
    if (!any_open(dd, STYLE_FONT)) return false;
    rich_close_font(dd);
  } else if (!strcmp(name, "paper")) {
    if (!any_open(dd, STYLE_PAPER)) return false;
    rich_close_paper(dd);
  } else if (!strcmp(name, "color")) {
    if (!any_open(dd, STYLE_COLOR)) return false;
    rich_close_color(dd);
  }
  return true;
}

}  // namespace

void rich_push(RichStack *s, int kind, uint32_t value, const char *module) {
  RichStyleStack *k = &s->kinds[kind];
  KQ_ASSERT_AT(k->num < STACK_LEN, module, __LINE__, kOverflow[kind]);
  k->items[k->num++] = value;
}

uint32_t rich_pop(RichStack *s, int kind, const char *module) {
  RichStyleStack *k = &s->kinds[kind];
  KQ_ASSERT_AT(k->num, module, __LINE__, kUnderflow[kind]);
  return k->items[--k->num];
}

int rich_tab_stop(int pen, int column, int space) {
  int step = 8 * space;
  if (step <= 0) return pen;
  int d = (pen - column) % step;
  if (d < 0) d += step;
  return pen + step - d;
}

RichText *rich_create(const RichMeasurer *m) {
  RichText *dd = (RichText *)zone_alloc(sizeof(RichText));
  if (!dd) return nullptr;
  memset(dd, 0, sizeof *dd);
  dd->measurer = m;
  dd->seltext = 0xFFFFFF;
  dd->selpaper = 0x0000FF;
  reset(dd);
  return dd;
}

RichText *rich_destroy(RichText *dd) {
  if (!dd) return nullptr;
  zone_free(dd->tags);
  zone_free(dd->lines);
  zone_free(dd->stream);
  zone_free(dd->statelines);
  zone_free(dd->hitlines);
  zone_free(dd->closed);
  zone_free(dd->pending);
  return (RichText *)zone_free(dd);
}

// The arrays keep their blocks: panels rebuild their documents at every change.
void rich_clear(RichText *dd) { reset(dd); }

void rich_put_chars(RichText *dd, const char *text, int count) {
  if (count <= 0 || !reserve((void **)&dd->pending, dd->pendnum, count, 1)) return;
  memcpy(dd->pending + dd->pendnum, text, (size_t)count);
  dd->pendnum += count;
}

void rich_put_char(RichText *dd, char c) { rich_put_chars(dd, &c, 1); }

void rich_put_string(RichText *dd, const char *text) {
  rich_put_chars(dd, text, (int)strlen(text));
}

bool rich_put_markup_count(RichText *dd, const char *text, size_t count) {
  Markup m = {text, 0, strnlen(text, count)};
  while (m.pos < m.count) {
    if (text[m.pos] != '<') {
      size_t from = m.pos;
      while (m.pos < m.count && text[m.pos] != '<') m.pos++;
      rich_put_chars(dd, text + from, (int)(m.pos - from));
      continue;
    }
    bool closing = m.pos + 1 < m.count && text[m.pos + 1] == '/';
    m.pos += closing ? 2 : 1;
    char name[KQ_PATH], arg[KQ_PATH];
    markup_word(&m, name, sizeof name);
    if (!closing) markup_word(&m, arg, sizeof arg);
    if (!(closing ? markup_close(dd, name) : markup_open(dd, name, arg))) return false;
    // Anything but ">" after the tag stays, as plain text.
    if (markup_at(&m) == '>') m.pos++;
  }
  return true;
}

bool rich_put_markup(RichText *dd, const char *text) {
  return rich_put_markup_count(dd, text, strlen(text));
}

bool rich_put_format(RichText *dd, const char *fmt, ...) {
  char text[KQ_PATH];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  return rich_put_markup(dd, text);
}

uint32_t rich_color_value(const RichMeasurer *m, const char *text) {
  if (text[0] == '#') {
    // Hexadecimal RRGGBB, turned into 0x00BBGGRR; only the last six digits count.
    uint32_t rgb = 0;
    for (const char *p = text + 1;; p++) {
      int digit = *p >= '0' && *p <= '9' ? *p - '0'
                  : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10
                  : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10 : -1;
      if (digit < 0) break;
      rgb = (rgb << 4 | (uint32_t)digit) & 0xFFFFFF;
    }
    return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | rgb >> 16;
  }
  if (!strcasecmp(text, "bgcolor")) return m->background;
  // A C number as the 32-bit long of the target reads it: out of range it sticks at the end.
  long long value = strtoll(text, nullptr, 0);
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return (uint32_t)(int32_t)value;
}

int rich_open_tag(RichText *dd, uint32_t param, bool link) {
  int start = dd->len;  // before the pending text, which so lies inside the tag
  compile(dd);
  if (!reserve((void **)&dd->tags, dd->tagnum, 1, sizeof(RichTag))) return -1;
  int index = dd->tagnum;
  RichTag *t = &dd->tags[index];
  t->start = start;
  t->end = -1;
  t->flags = link ? TGF_LINK : 0;
  t->reserved = 0;
  t->parent = (int32_t)rich_top(&dd->stack, STYLE_TAG, (uint32_t)-1);
  t->param = param;
  rich_push(&dd->stack, STYLE_TAG, (uint32_t)index, "rendput");
  dd->tagnum++;
  emit32(dd, OPEN_TAG_d, (uint32_t)index);
  count_open(&dd->tagcount);
  return index;
}

void rich_close_tag(RichText *dd) {
  compile(dd);
  int index = (int)rich_pop(&dd->stack, STYLE_TAG, "rendput");
  emit(dd, CLOSE_TAG, 0);
  dd->tags[index].end = dd->len;
  // Tags close at the growing end of the stream, so this list stays ordered by end.
  if (reserve((void **)&dd->closed, dd->closednum, 1, 4)) dd->closed[dd->closednum++] = index;
  count_close(&dd->tagcount);
}

void rich_open_font(RichText *dd, RichHandle font) {
  open_style(dd, STYLE_FONT, OPEN_FONT_h, font, &dd->fontcount);
}
void rich_close_font(RichText *dd) { close_style(dd, STYLE_FONT, CLOSE_FONT, &dd->fontcount); }

void rich_open_paper(RichText *dd, uint32_t color) {
  open_style(dd, STYLE_PAPER, OPEN_PAPER_d, tinted(dd, color), &dd->colorcount);
}
void rich_close_paper(RichText *dd) {
  close_style(dd, STYLE_PAPER, CLOSE_PAPER, &dd->colorcount);
}

void rich_open_color(RichText *dd, uint32_t color) {
  open_style(dd, STYLE_COLOR, OPEN_COLOR_d, tinted(dd, color), &dd->colorcount);
}
void rich_close_color(RichText *dd) {
  close_style(dd, STYLE_COLOR, CLOSE_COLOR, &dd->colorcount);
}

void rich_tab_column(RichText *dd, int width) {
  compile(dd);
  uint16_t w = (uint16_t)width;
  uint8_t *p = emit(dd, TAB_d, 2);
  if (!p) return;
  put16(p, w);
  dd->column += w;
  if (dd->pen < dd->column) dd->pen = dd->column;
}

void rich_skip(RichText *dd, int width) {
  compile(dd);
  uint16_t w = (uint16_t)width;
  uint8_t *p = emit(dd, SKIP_w, 2);
  if (!p) return;
  put16(p, w);
  dd->pen += w;
}

void rich_image(RichText *dd, RichHandle image) {
  compile(dd);
  emit32(dd, IMAGE_h, image);
  const RichMeasurer *m = dd->measurer;
  int width = 0, height = 0;
  m->image_size(m->context, image, &width, &height);
  dd->pen += width;
  raise_line_height(dd, height);
}

bool rich_image_by_name(RichText *dd, const char *name) {
  if (!name[0]) return false;
  rich_images_init();
  uint32_t image;
  if (!namemap_find(&g_images.names, name, &image)) {
    const RichMeasurer *m = dd->measurer;
    image = m->load_image(m->context, name);
    if (!image) return false;
    namemap_add(&g_images.names, name, image);
  }
  rich_image(dd, image);
  return true;
}

void rich_overlay_image(RichText *dd, RichHandle image, int dx, int dy) {
  compile(dd);
  uint8_t *p = emit(dd, IMAGE_hww, 8);
  if (!p) return;
  put32(p, image);
  put16(p + 4, (uint16_t)dx);
  put16(p + 6, (uint16_t)dy);
}

int rich_set_line_param(RichText *dd, int index, uint32_t value) {
  compile(dd);
  if (index < 0) index += dd->linenum;
  KQ_ASSERT_AT((unsigned)index < (unsigned)dd->linenum, "rendput", __LINE__,
               "index < dd->linenum");
  dd->lines[index].param = value;
  dd->lines[index].flags |= LNF_PARAM;
  return index;
}

void rich_set_missing_params(RichText *dd, uint32_t value) {
  compile(dd);
  for (int i = dd->params; i < dd->linenum - 1; i++) {
    if (dd->lines[i].flags & LNF_PARAM) continue;
    dd->lines[i].param = value;
    dd->lines[i].flags |= LNF_PARAM;
  }
  if (dd->params < dd->linenum - 1) dd->params = dd->linenum - 1;
}

void rich_set_selection_colors(RichText *dd, uint32_t text, uint32_t paper) {
  compile(dd);
  dd->seltext = text;
  dd->selpaper = paper;
}

void rich_set_tint(RichText *dd, uint8_t strength, uint32_t color) {
  compile(dd);
  dd->tint = strength;
  dd->tintcolor = color;
}

void rich_set_scroll(RichText *dd, int x, int y) {
  compile(dd);
  dd->scrollx = x;
  dd->scrolly = y;
}

void rich_set_selection(RichText *dd, int a, int b) {
  compile(dd);
  dd->selstart = a < b ? a : b;
  dd->selend = a < b ? b : a;
}

void rich_mark_tag(RichText *dd, int index, bool on) {
  compile(dd);
  KQ_ASSERT_AT((unsigned)index < (unsigned)dd->tagnum, "rendput", __LINE__, "index < dd->tagnum");
  if (on)
    dd->tags[index].flags |= TGF_MARKED;
  else
    dd->tags[index].flags &= (uint8_t)~TGF_MARKED;
}

void rich_unmark_tags(RichText *dd) {
  compile(dd);
  for (int i = 0; i < dd->tagnum; i++) dd->tags[i].flags &= (uint8_t)~TGF_MARKED;
}

void rich_update(RichText *dd) {
  compile(dd);
  if (dd->len != dd->closedlen || dd->lines[dd->linenum - 1].end < 0) close_line(dd);
}

void rich_arrange(RichText *dd, int left, int top, int right, int bottom, int h, int v) {
  rich_update(dd);
  dd->halign = (uint8_t)h;
  dd->valign = (uint8_t)v;
  if (!dd->len) return;
  int y = v == 1 ? (top + bottom) / 2 - dd->height / 2 : v == 2 ? bottom - dd->height : top;
  for (int i = 0; i < dd->linenum; i++) {
    RichLine *l = &dd->lines[i];
    l->x = h == 1 ? (left + right) / 2 - l->width / 2 : h == 2 ? right - l->width : left;
    l->y = y;
    y += l->height;
  }
}

void rich_align_rows(RichText *a, RichText *b) {
  rich_update(a);
  rich_update(b);
  int rows = a->linenum < b->linenum ? a->linenum : b->linenum;
  for (int i = 0; i < rows; i++) {
    int h = a->lines[i].height > b->lines[i].height ? a->lines[i].height : b->lines[i].height;
    a->lines[i].height = b->lines[i].height = h;
  }
  int y = 0;
  for (int i = 0; i < a->linenum; i++) {
    a->lines[i].y = y;
    y += a->lines[i].height;
  }
  a->height = y;
  for (int i = 0; i < b->linenum; i++) {
    int bottom = b->lines[i].y + b->lines[i].height;
    if (bottom > b->height) b->height = bottom;
  }
}

void rich_images_init() {
  if (g_images.ready) return;
  namemap_init(&g_images.names, 0);
  g_images.ready = true;
}

void rich_images_free(const RichMeasurer *m) {
  if (!g_images.ready) return;
  for (int i = 0; i < namemap_count(&g_images.names); i++) {
    uint32_t image;
    if (namemap_entry(&g_images.names, i, nullptr, &image, nullptr))
      m->free_image(m->context, image);
  }
  namemap_destroy(&g_images.names);
  g_images.ready = false;
}

int rich_images_count() { return g_images.ready ? namemap_count(&g_images.names) : 0; }
