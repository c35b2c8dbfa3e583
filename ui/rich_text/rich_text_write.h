// Writing rich text: plain text and markup become tokens, measured as they go, with a line
// record closed at every newline and a tag record for every tag span.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "rich_text_records.h"
#include "util/log.h"

// A document with its first line open; it measures through m, which must outlive it.
RichText *rich_create(const RichMeasurer *m);
RichText *rich_destroy(RichText *dd);  // always null
// Drops tokens, lines and tags, the alignment, widths and selection; a fresh first line.
void rich_clear(RichText *dd);

// Plain text, kept pending (no markup) until the next token or read.
void rich_put_char(RichText *dd, char c);
void rich_put_string(RichText *dd, const char *text);
void rich_put_chars(RichText *dd, const char *text, int count);
// Markup: "<color #RRGGBB>", "<paper ...>", "<font GUI|SYSTEM|VAR|BIG|SMALL>", "<image
// name>" and their closes "</color>" and so on. False at an unknown font, a missing
// picture, a close with nothing open or an eleventh open of one kind; what came before
// stays written. The counted form reads at most count characters (or to a zero).
bool rich_put_markup(RichText *dd, const char *text);
bool rich_put_markup_count(RichText *dd, const char *text, size_t count);
// Formats into 260 characters (cut) and puts the result as markup.
bool rich_put_format(RichText *dd, const char *fmt, ...) KQ_PRINTF(2, 3);
// "#RRGGBB", "bgcolor" (any case) or a C number (its prefix gives the base) as a colour.
uint32_t rich_color_value(const RichMeasurer *m, const char *text);

// Style spans. Opening an eleventh of one kind, or closing with none open, is a fault of
// the caller (an assertion).
int rich_open_tag(RichText *dd, uint32_t param, bool link);
void rich_close_tag(RichText *dd);
void rich_open_font(RichText *dd, RichHandle font);
void rich_close_font(RichText *dd);
void rich_open_paper(RichText *dd, uint32_t color);
void rich_close_paper(RichText *dd);
void rich_open_color(RichText *dd, uint32_t color);
void rich_close_color(RichText *dd);

void rich_tab_column(RichText *dd, int width);
void rich_skip(RichText *dd, int width);
void rich_image(RichText *dd, RichHandle image);
// A picture from the cache, loaded on first use; false when there is no such picture.
bool rich_image_by_name(RichText *dd, const char *name);
void rich_overlay_image(RichText *dd, RichHandle image, int dx, int dy);

// A negative index counts from the end (-1 the last line); gives the index.
int rich_set_line_param(RichText *dd, int index, uint32_t value);
// Every line but the last that carries no parameter yet gets this one.
void rich_set_missing_params(RichText *dd, uint32_t value);
void rich_set_selection_colors(RichText *dd, uint32_t text, uint32_t paper);
void rich_set_tint(RichText *dd, uint8_t strength, uint32_t color);
void rich_set_scroll(RichText *dd, int x, int y);
void rich_set_selection(RichText *dd, int a, int b);
void rich_mark_tag(RichText *dd, int index, bool on);
void rich_unmark_tags(RichText *dd);

// Places the lines in the rectangle: h 0 left, 1 centred, 2 right; v likewise top to bottom.
void rich_arrange(RichText *dd, int left, int top, int right, int bottom, int h, int v);
// Rows present in both documents take the greater height; a's lines are stacked again.
void rich_align_rows(RichText *a, RichText *b);

// Style stacks, shared with the readers. A push onto a full stack or a pop from an empty
// one is a fault of the program: the assertion names the stack and the module.
void rich_push(RichStack *s, int kind, uint32_t value, const char *module);
uint32_t rich_pop(RichStack *s, int kind, const char *module);
// The innermost value, or outer when none is open.
inline uint32_t rich_top(const RichStack *s, int kind, uint32_t outer) {
  const RichStyleStack *k = &s->kinds[kind];
  return k->num ? k->items[k->num - 1] : outer;
}

// The pen after a tab: the stops lie 8 space widths apart from the column origin (a tab at
// a stop goes to the next one).
int rich_tab_stop(int pen, int column, int space);

// Compiles pending text and brings the open last line up to date; every read does this.
void rich_update(RichText *dd);

// The picture cache shared by all documents; freeing hands every bitmap to m.
void rich_images_init();
void rich_images_free(const RichMeasurer *m);
int rich_images_count();
