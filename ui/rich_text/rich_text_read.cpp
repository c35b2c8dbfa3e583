#include "rich_text_read.h"

#include <stddef.h>
#include <string.h>

#include "rich_text_write.h"
#include "util/visor.h"
#include "util/zone.h"

const uint8_t RichOperandSize[RICH_TOKEN_CODES] = {0, 0, 1, 4, 0, 2, 2, 4, 8,
                                                   4, 4, 4, 4, 0, 0, 0, 0};

namespace {

// Characters a token counts for; TEXT_d counts its own.
const uint8_t kCharCount[RICH_TOKEN_CODES] = {0, 1, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
// The style stack each open or close token acts on, -1 for the others.
const int8_t kOpens[RICH_TOKEN_CODES] = {-1, -1, -1, -1, -1, -1, -1, -1, -1,
                                         STYLE_TAG, STYLE_FONT, STYLE_PAPER, STYLE_COLOR,
                                         -1, -1, -1, -1};
const int8_t kCloses[RICH_TOKEN_CODES] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          STYLE_TAG, STYLE_FONT, STYLE_PAPER, STYLE_COLOR};

const uint32_t kLinkColor = 0x0000FF;  // text of the hovered link

// Bytes of the token at pos; 0 where a scan ends: a NULL or unknown code, or a token that
// would pass end.
int token_size(const RichText *dd, int pos, int end) {
  if (pos >= end) return 0;
  uint8_t code = dd->stream[pos];
  if (code == NULL_TOKEN || code >= RICH_TOKEN_CODES) return 0;
  int size = 1 + RichOperandSize[code];
  if (size > end - pos) return 0;
  if (code == TEXT_d) {
    uint32_t count = rich_get32(dd->stream + pos + 1);
    if (count > (uint32_t)(end - pos - size)) return 0;
    size += (int)count;
  }
  return size;
}

// A reader's place in the stream: the pen and column origin of the line it walks and the
// styles in force.
struct RichWalk {
  RichText *dd;
  int pos, end;
  int pen, column;
  bool measure;
  bool colors;  // whether colours and papers are followed: drawing needs them, hit tests not
  RichStack stack;
  // The token just stepped over.
  uint8_t code;
  int offset;
  int before, after;  // the pen around it
  int height;         // of a text run or an image, when measuring
  uint32_t value;     // the operand; for a close token, the value it closed
  const char *text;   // of a TEXT_d
  int count;
  int dx, dy;         // of an IMAGE_hww
};

RichHandle walk_font(const RichWalk *w) { return rich_top(&w->stack, STYLE_FONT, 0); }

void walk_line(RichWalk *w, int index, bool measure) {
  const RichLine *l = &w->dd->lines[index];
  w->pos = l->start;
  w->end = l->end;
  w->pen = w->column = l->x;
  w->measure = measure;
}

bool walk_next(RichWalk *w) {
  const RichText *dd = w->dd;
  int size = token_size(dd, w->pos, w->end);
  if (!size) return false;
  const RichMeasurer *m = dd->measurer;
  const uint8_t *p = dd->stream + w->pos + 1;
  w->code = dd->stream[w->pos];
  w->offset = w->pos;
  w->pos += size;
  w->before = w->pen;
  w->height = 0;
  int width = 0, height = 0;
  switch (w->code) {
    case SPECIAL:
      w->value = p[0];
      break;
    case TEXT_d:
      w->count = (int)rich_get32(p);
      w->text = (const char *)p + 4;
      if (w->measure) m->text_size(m->context, walk_font(w), w->text, w->count, &width, &w->height);
      w->pen += width;
      break;
    case TAB:
      if (!w->measure) break;
      m->text_size(m->context, walk_font(w), " ", 1, &width, &height);
      w->pen = rich_tab_stop(w->pen, w->column, width);
      break;
    case TAB_d:
      w->column += rich_get16(p);
      if (w->pen < w->column) w->pen = w->column;
      break;
    case SKIP_w:
      w->pen += rich_get16(p);
      break;
    case IMAGE_h:
      w->value = rich_get32(p);
      if (w->measure) m->image_size(m->context, w->value, &width, &w->height);
      w->pen += width;
      break;
    case IMAGE_hww:
      w->value = rich_get32(p);
      w->dx = (int16_t)rich_get16(p + 4);
      w->dy = (int16_t)rich_get16(p + 6);
      break;
  }
  int opens = kOpens[w->code], closes = kCloses[w->code];
  if (opens >= 0) w->value = rich_get32(p);
  if (opens >= 0 && (w->colors || opens < STYLE_COLOR))
    rich_push(&w->stack, opens, w->value, "rendget");
  else if (closes >= 0 && (w->colors || closes < STYLE_COLOR))
    w->value = rich_pop(&w->stack, closes, "rendget");
  w->after = w->pen;
  return true;
}

// The tags and fonts in force where line index begins, for measuring and hit tests.
// Lines that leave them as they found them are passed over: only the earlier lines that
// change them are replayed, and without measuring.
void walk_begin(RichWalk *w, RichText *dd, int index) {
  memset(w, 0, sizeof *w);
  w->dd = dd;
  for (int i = 0; i < dd->hitnum && dd->hitlines[i] < index; i++) {
    walk_line(w, dd->hitlines[i], false);
    while (walk_next(w)) {
    }
  }
}

void check_line(const RichText *dd, int index) {
  KQ_ASSERT_AT((unsigned)index < (unsigned)dd->linenum, "rendget", __LINE__,
               "index < dd->linenum");
}

void check_tag(const RichText *dd, int index) {
  KQ_ASSERT_AT((unsigned)index < (unsigned)dd->tagnum, "rendget", __LINE__, "index < dd->tagnum");
}

// The first of count records, stride bytes apart, whose 32-bit field at the given place
// lies above key; count when there is none. The field must ascend through the records.
int first_above(const void *records, int count, size_t stride, size_t field, int key) {
  int lo = 0, hi = count;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int32_t value;
    memcpy(&value, (const char *)records + (size_t)mid * stride + field, 4);
    if (value <= key)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// Lines lie in the order of their tops: the last line whose top is at or above y, -1
// when there is none.
int line_above(const RichText *dd, int y) {
  return first_above(dd->lines, dd->linenum, sizeof(RichLine), offsetof(RichLine, y), y) - 1;
}

int line_holding_y(const RichText *dd, int y) {
  int index = line_above(dd, y);
  return index >= 0 && y < dd->lines[index].y + dd->lines[index].height ? index : -1;
}

// Line ends ascend; the last line takes everything at or past the end of the stream.
int line_of(const RichText *dd, int offset) {
  int index =
      first_above(dd->lines, dd->linenum, sizeof(RichLine), offsetof(RichLine, end), offset);
  return index < dd->linenum ? index : dd->linenum - 1;
}

int last_token(const RichText *dd) {
  int last = dd->lines[line_of(dd, dd->len - 1)].start;
  for (int pos = last, size; (size = token_size(dd, pos, dd->len)); pos += size) last = pos;
  return last;
}

int text_hit(const RichWalk *w, int x) {
  const RichMeasurer *m = w->dd->measurer;
  int fit = m->text_fit(m->context, walk_font(w), w->text, w->count, x - w->before);
  if (fit >= w->count) fit = w->count - 1;
  if (fit < 0) fit = 0;
  return w->offset + RICH_TEXT_HEAD + fit;
}

// Tags are numbered in the order of their starts, and a tag that holds an offset was
// still open when the last tag starting at or before it was opened: the candidates are
// that tag and the chain of tags around it. The smallest range wins, then the higher index.
int innermost_tag(const RichText *dd, int offset) {
  int last =
      first_above(dd->tags, dd->tagnum, sizeof(RichTag), offsetof(RichTag, start), offset) - 1;
  int best = -1;
  for (int t = last; t >= 0; t = dd->tags[t].parent) {
    const RichTag *tag = &dd->tags[t];
    if (offset >= tag->end) continue;  // also an open tag, whose end is -1
    if (best < 0 || tag->end - tag->start < dd->tags[best].end - dd->tags[best].start) best = t;
  }
  return best;
}

// Closed tags are listed in the order of their ends, which differ (each close is a token
// of its own): the closest ends lie on either side of the offset's place in that list.
// Between two equally close ones the higher index wins.
int closest_end_tag(const RichText *dd, int offset) {
  const RichTag *tags = dd->tags;
  const int32_t *closed = dd->closed;
  int lo = 0, hi = dd->closednum;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (tags[closed[mid]].end < offset)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == dd->closednum) return lo ? closed[lo - 1] : -1;
  if (lo == 0) return closed[0];
  int below = closed[lo - 1], above = closed[lo];
  int d_below = offset - tags[below].end, d_above = tags[above].end - offset;
  if (d_below != d_above) return d_below < d_above ? below : above;
  return below > above ? below : above;
}

// Writes the text of [a, b) into out, when given, and gives its length.
int range_text(const RichText *dd, int a, int b, char *out) {
  int n = 0;
  for (int pos = dd->lines[line_of(dd, a)].start, size;
       pos < b && (size = token_size(dd, pos, dd->len)); pos += size) {
    const uint8_t *p = dd->stream + pos + 1;
    const char *piece = nullptr;
    int count = 1;
    switch (dd->stream[pos]) {
      case TEXT_d: {
        int first = pos + RICH_TEXT_HEAD, from = a - first > 0 ? a - first : 0;
        int to = (int)rich_get32(p);
        if (b - first < to) to = b - first;
        piece = (const char *)p + 4 + from;
        count = to - from;
        break;
      }
      case EOL: piece = "\r\n"; count = 2; break;
      case TAB: piece = "\t"; break;
      case TAB_d: piece = rich_get16(p) < 20 ? " " : "\t"; break;
      case SKIP_w: piece = " "; break;
    }
    if (!piece || count <= 0 || (pos < a && dd->stream[pos] != TEXT_d)) continue;
    if (out) memcpy(out + n, piece, (size_t)count);
    n += count;
  }
  return n;
}

struct Overlay {
  RichHandle image;
  int32_t x, y;
};

struct DrawState {
  RichText *dd;
  const RichDrawer *dr;
  RichWalk walk;
  uint32_t base;   // the context's text colour before drawing
  uint32_t color;  // text colour outside the selection: the innermost one, or the link's
  bool underline;  // inside the hovered tag
  // What the context holds; colours are given to it only when they change.
  RichHandle font;
  uint32_t text, paper;
  bool colors_set;
  Overlay *overlays;
  int overlaynum;
};

bool selected(const DrawState *s, int offset) {
  const RichText *dd = s->dd;
  if (offset >= dd->selstart && offset < dd->selend) return true;
  const RichStyleStack *tags = &s->walk.stack.kinds[STYLE_TAG];
  for (int i = 0; i < tags->num; i++)
    if (dd->tags[tags->items[i]].flags & TGF_MARKED) return true;
  return false;
}

uint32_t paper_of(const DrawState *s, bool sel) {
  return sel ? s->dd->selpaper : rich_top(&s->walk.stack, STYLE_PAPER, RICH_TRANSPARENT);
}

void sync(DrawState *s, bool sel) {
  const RichDrawer *dr = s->dr;
  RichHandle font = walk_font(&s->walk);
  if (font != s->font) dr->font(dr->context, font);
  s->font = font;
  uint32_t text = sel ? s->dd->seltext : s->color, paper = paper_of(s, sel);
  if (s->colors_set && text == s->text && paper == s->paper) return;
  dr->colors(dr->context, text, paper);
  s->text = text;
  s->paper = paper;
  s->colors_set = true;
}

void underline(const DrawState *s, int bottom) {
  const RichWalk *w = &s->walk;
  if (s->underline && w->after > w->before)
    s->dr->underline(s->dr->context, w->before, w->after, bottom - 1);
}

// A run is drawn in pieces where the selection begins or ends inside it.
void draw_text(DrawState *s, int bottom) {
  const RichWalk *w = &s->walk;
  const RichMeasurer *m = s->dd->measurer;
  int first = w->offset + RICH_TEXT_HEAD;
  int cuts[4] = {0, s->dd->selstart - first, s->dd->selend - first, w->count};
  for (int i = 1; i < 3; i++) cuts[i] = cuts[i] < 0 ? 0 : cuts[i] > w->count ? w->count : cuts[i];
  for (int i = 0; i < 3; i++) {
    int from = cuts[i], to = cuts[i + 1], x = w->before, width = 0, height;
    if (from >= to) continue;
    if (from) m->text_size(m->context, walk_font(w), w->text, from, &width, &height);
    sync(s, selected(s, first + from));
    s->dr->text(s->dr->context, x + width, bottom - w->height, w->text + from, to - from);
  }
  underline(s, bottom);
}

void draw_gap(DrawState *s, int top, int bottom) {
  const RichWalk *w = &s->walk;
  if (w->after <= w->before) return;
  uint32_t paper = paper_of(s, selected(s, w->offset));
  RichRect r = {w->before, top, w->after, bottom};
  if (paper != RICH_TRANSPARENT) s->dr->fill(s->dr->context, &r, paper);
  underline(s, bottom);
}

void remember_overlay(DrawState *s, int top) {
  const RichWalk *w = &s->walk;
  size_t need = (size_t)(s->overlaynum + 1) * sizeof(Overlay);
  if (zone_size(s->overlays) < need) {
    Overlay *grown = (Overlay *)zone_resize(s->overlays, 2 * need);
    if (!grown) return;
    s->overlays = grown;
  }
  s->overlays[s->overlaynum++] = {w->value, w->before + w->dx, top + w->dy};
}

// Walks a line; an invisible one only for the styles it changes and its overlays.
void draw_line(DrawState *s, int index, bool visible) {
  RichWalk *w = &s->walk;
  const RichLine *l = &s->dd->lines[index];
  int top = l->y, bottom = l->y + l->height;
  walk_line(w, index, true);
  while (walk_next(w)) {
    switch (w->code) {
      case TEXT_d:
        if (visible) draw_text(s, bottom);
        break;
      case TAB:
      case TAB_d:
      case SKIP_w:
        if (visible) draw_gap(s, top, bottom);
        break;
      case IMAGE_h:
        if (!visible) break;
        s->dr->image(s->dr->context, w->value, w->before, bottom - w->height);
        underline(s, bottom);
        break;
      case IMAGE_hww:
        remember_overlay(s, top);
        break;
      case OPEN_TAG_d:
      case CLOSE_TAG:
        if ((int)w->value != s->dd->hover) break;
        s->underline = w->code == OPEN_TAG_d;
        s->color = s->underline ? kLinkColor : rich_top(&w->stack, STYLE_COLOR, s->base);
        break;
      case OPEN_COLOR_d:
      case CLOSE_COLOR:
        s->color = rich_top(&w->stack, STYLE_COLOR, s->base);
        break;
    }
  }
}

}  // namespace

int rich_line_count(RichText *dd) {
  rich_update(dd);
  return dd->linenum;
}

int rich_length(RichText *dd) {
  rich_update(dd);
  return dd->len;
}

int rich_height(RichText *dd) {
  rich_update(dd);
  return dd->height;
}

int rich_width(RichText *dd) {
  rich_update(dd);
  return dd->maxwidth;
}

void rich_line_rect(RichText *dd, int index, RichRect *r) {
  rich_update(dd);
  check_line(dd, index);
  const RichLine *l = &dd->lines[index];
  r->left = l->x - dd->scrollx;
  r->top = l->y - dd->scrolly;
  r->right = r->left + l->width;
  r->bottom = r->top + l->height;
}

int rich_line_top(RichText *dd, int index) {
  rich_update(dd);
  check_line(dd, index);
  return dd->lines[index].y - dd->scrolly;
}

uint32_t rich_line_param(RichText *dd, int index) {
  rich_update(dd);
  check_line(dd, index);
  KQ_ASSERT_AT(dd->lines[index].flags & LNF_PARAM, "rendget", __LINE__,
               "dd->lines [index].flags & LNF_PARAM");
  return dd->lines[index].param;
}

bool rich_has_param(RichText *dd, int index) {
  rich_update(dd);
  return (unsigned)index < (unsigned)dd->linenum && (dd->lines[index].flags & LNF_PARAM);
}

int rich_line_start(RichText *dd, int index) {
  rich_update(dd);
  check_line(dd, index);
  return dd->lines[index].start;
}

int rich_line_of_offset(RichText *dd, int offset) {
  rich_update(dd);
  return line_of(dd, offset);
}

int rich_char_offset(RichText *dd, int n) {
  rich_update(dd);
  if (n < 0) n = 0;
  int chars = 0;
  for (int pos = 0, size; (size = token_size(dd, pos, dd->len)); pos += size) {
    uint8_t code = dd->stream[pos];
    int count = code == TEXT_d ? (int)rich_get32(dd->stream + pos + 1) : kCharCount[code];
    if (n < chars + count) return code == TEXT_d ? pos + RICH_TEXT_HEAD + n - chars : pos;
    chars += count;
  }
  return dd->len;
}

int rich_chars_before(RichText *dd, int offset) {
  rich_update(dd);
  int chars = 0;
  for (int pos = 0, size; pos < offset && (size = token_size(dd, pos, dd->len)); pos += size) {
    uint8_t code = dd->stream[pos];
    if (code != TEXT_d) {
      chars += kCharCount[code];
      continue;
    }
    int count = (int)rich_get32(dd->stream + pos + 1), before = offset - pos - RICH_TEXT_HEAD;
    chars += before < 0 ? 0 : before < count ? before : count;
  }
  return chars;
}

int rich_offset_at(RichText *dd, int x, int y, bool nearest) {
  rich_update(dd);
  if (!dd->len) return -1;
  if (y < 0) return 0;
  int px = x + dd->scrollx, py = y + dd->scrolly;
  int index = line_holding_y(dd, py);
  if (index < 0) return !nearest ? -1 : py < dd->lines[0].y ? 0 : last_token(dd);
  RichWalk w;
  walk_begin(&w, dd, index);
  walk_line(&w, index, true);
  if (px < w.pen) return nearest ? dd->lines[index].start : -1;
  int past = dd->lines[index].end;
  while (walk_next(&w)) {
    if (w.before <= px && px < w.after) return w.code == TEXT_d ? text_hit(&w, px) : w.offset;
    if (w.code == EOL) past = w.offset;
  }
  return nearest ? past : -1;
}

int rich_line_at(RichText *dd, int x, int y, bool nearest) {
  int offset = rich_offset_at(dd, x, y, nearest);
  return offset < 0 ? -1 : line_of(dd, offset);
}

int rich_tag_at(RichText *dd, int x, int y, bool nearest) {
  int offset = rich_offset_at(dd, x, y, nearest);
  if (offset < 0) return -1;
  int tag = innermost_tag(dd, offset);
  return tag < 0 && nearest ? closest_end_tag(dd, offset) : tag;
}

int rich_hover(RichText *dd, const RichWindow *window, int x, int y) {
  int found = rich_tag_at(dd, x, y, false);
  if (found != dd->hover) {
    RichRect r;
    if (dd->hover >= 0) {
      rich_tag_rect(dd, dd->hover, &r);
      window->invalidate(window->context, &r);
    }
    // A tag that is no link leaves the hovering as it was.
    if (found < 0)
      dd->hover = -1;
    else if (dd->tags[found].flags & TGF_LINK)
      dd->hover = found;
    if (dd->hover >= 0) {
      rich_tag_rect(dd, dd->hover, &r);
      window->invalidate(window->context, &r);
    }
  }
  window->hand_cursor(window->context, dd->hover >= 0);
  return dd->hover;
}

void rich_tag_rect(RichText *dd, int index, RichRect *r) {
  rich_update(dd);
  check_tag(dd, index);
  const RichTag *t = &dd->tags[index];
  int first = line_of(dd, t->start), last = t->end < 0 ? dd->linenum - 1 : line_of(dd, t->end);
  const RichLine *l = &dd->lines[first];
  r->top = l->y;
  r->bottom = dd->lines[last].y + dd->lines[last].height + 1;
  r->left = l->x;
  r->right = l->x + l->width;
  if (first != last) {
    for (int i = first + 1; i <= last; i++) {
      l = &dd->lines[i];
      if (l->x < r->left) r->left = l->x;
      if (l->x + l->width > r->right) r->right = l->x + l->width;
    }
  } else {
    RichWalk w;
    walk_begin(&w, dd, first);
    walk_line(&w, first, true);
    while (walk_next(&w)) {
      if (w.code == OPEN_TAG_d && (int)w.value == index) r->left = w.before;
      if (w.code == CLOSE_TAG && (int)w.value == index) {
        r->right = w.before;
        break;
      }
    }
  }
  r->left -= dd->scrollx;
  r->right -= dd->scrollx;
  r->top -= dd->scrolly;
  r->bottom -= dd->scrolly;
}

int rich_tag_top(RichText *dd, int index) {
  if (index < 0) return 0;
  rich_update(dd);
  check_tag(dd, index);
  return dd->lines[line_of(dd, dd->tags[index].start)].y - dd->scrolly;
}

uint32_t rich_tag_param(RichText *dd, int index) {
  if (index < 0) return 0;
  rich_update(dd);
  check_tag(dd, index);
  return dd->tags[index].param;
}

int rich_page_step(RichText *dd, int index, int pixels) {
  rich_update(dd);
  if (index < 0) index += dd->linenum;
  if (index < 0 || index >= dd->linenum) return -1;
  const RichLine *lines = dd->lines;
  int result = index;
  if (pixels >= 0) {
    int limit = lines[index].y + pixels;
    for (int i = index; i < dd->linenum && lines[i].y + lines[i].height <= limit; i++) result = i;
  } else {
    int limit = lines[index].y + lines[index].height + pixels;
    for (int i = index; i >= 0 && lines[i].y >= limit; i--) result = i;
  }
  return result;
}

char *rich_text_range(RichText *dd, int a, int b) {
  rich_update(dd);
  if (a > b) {
    int t = a;
    a = b;
    b = t;
  }
  int n = range_text(dd, a, b, nullptr);
  char *out = (char *)zone_alloc((size_t)n + 1);
  if (!out) return nullptr;
  range_text(dd, a, b, out);
  out[n] = 0;
  return out;
}

void rich_draw(RichText *dd, const RichDrawer *dr) {
  rich_update(dd);
  if (!dd->len) return;
  DrawState s;
  memset(&s, 0, sizeof s);
  s.dd = dd;
  s.dr = dr;
  s.walk.dd = dd;
  s.walk.colors = true;
  RichRect clip;
  dr->begin(dr->context, dd->scrollx, dd->scrolly, &clip, &s.base);
  s.color = s.base;
  // Lines above the clip box matter only when they change the styles.
  int first = line_above(dd, clip.top), state = 0, i;
  if (first < 0) first = 0;
  for (; state < dd->statenum && dd->statelines[state] < first; state++)
    draw_line(&s, dd->statelines[state], false);
  for (i = first; i < dd->linenum && dd->lines[i].y < clip.bottom; i++) {
    const RichLine *l = &dd->lines[i];
    bool visible = l->y + l->height > clip.top;
    if (visible || (l->flags & LNF_STYLE)) draw_line(&s, i, visible);
  }
  // Below it, for the overlays of the lines that are walked all the same.
  for (; state < dd->statenum; state++)
    if (dd->statelines[state] >= i) draw_line(&s, dd->statelines[state], false);
  for (int k = 0; k < s.overlaynum; k++)
    dr->image(dr->context, s.overlays[k].image, s.overlays[k].x, s.overlays[k].y);
  zone_free(s.overlays);
  dr->end(dr->context);
}
