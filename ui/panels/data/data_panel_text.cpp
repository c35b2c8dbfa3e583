#include "ui/panels/data/data_panel_text.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/comments.h"
#include "symbols/entries.h"
#include "symbols/eval/expression.h"
#include "symbols/modules.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/path.h"
#include "util/zone.h"
#include "x86/search.h"

namespace {

// Sixteen hex cells in the GUI font end near 380 pixels; the characters start after them.
enum { ADDRESS_COLUMN = 64, CHARS_COLUMN = 400, COMMENT_COLUMN = 140, REGION_COLUMN = 1000 };

// Lowers *length so that the row at a ends before a boundary that lies inside it.
void cut_at(uint32_t a, uint32_t boundary, uint32_t *length) {
  if (boundary > a && boundary - a < *length) *length = boundary - a;
}

// Raises *start to a boundary that lies between it and a.
void raise_to(uint32_t a, uint32_t boundary, uint32_t *start) {
  if (boundary > *start && boundary < a) *start = boundary;
}

void module_header(RichText *dd, const DataView *view, uint32_t a) {
  const ModuleRecord *m = module_by_address(a);
  if (!m || m->base != a) return;
  rich_open_font(dd, view->big_font);
  rich_put_format(dd, " <image app.gif>\t%s", m->name ? m->name : "");
  rich_close_font(dd);
  rich_skip(dd, 40);
  rich_put_string(dd, m->path ? m->path : "");
  rich_put_char(dd, '\n');
}

void region_header(RichText *dd, const DataSource *source, const DataView *view, uint32_t a) {
  char description[KQ_PATH];
  if (!source->region_at || !source->region_at(a, description, sizeof description)) return;
  rich_open_font(dd, view->fixed_font);
  rich_open_paper(dd, DATA_REGION_PAPER);
  rich_put_char(dd, ' ');
  rich_put_string(dd, description);
  rich_tab_column(dd, REGION_COLUMN);
  rich_close_paper(dd);
  rich_close_font(dd);
  rich_put_char(dd, '\n');
}

// A mark at every kilobyte counted from the module's base that the row holds.
void kilobyte_mark(RichText *dd, const DataView *view, uint32_t a, uint32_t c) {
  const ModuleRecord *m = module_by_address(a);
  if (!m) return;
  const uint32_t offset = a - m->base, next = (offset + 1023) & ~1023u;
  if (next - offset >= c) return;
  rich_open_font(dd, view->big_font);
  rich_skip(dd, 10);
  rich_open_color(dd, DATA_KB_TEXT);
  rich_open_paper(dd, DATA_KB_PAPER);
  rich_put_format(dd, " %u ", next / 1024);
  rich_close_paper(dd);
  rich_close_color(dd);
  rich_close_font(dd);
  rich_put_char(dd, '\n');
}

void symbol_label(RichText *dd, const DataView *view, uint32_t a) {
  const EntryRecord *e = entry_equal(a);
  if (!e) return;
  rich_open_font(dd, view->fixed_font);
  rich_open_color(dd, DATA_SYMBOL);
  rich_put_char(dd, ' ');
  rich_put_string(dd, e->name);
  rich_close_color(dd);
  char type[KQ_PATH];
  if (e->type && expression_format_type(e->type, type, sizeof type) > 0 && strcmp(type, "void")) {
    rich_open_color(dd, DATA_TYPE);
    rich_put_char(dd, ' ');
    rich_put_string(dd, type);
    rich_close_color(dd);
  }
  rich_close_font(dd);
  rich_put_char(dd, '\n');
}

void add_cell(DataPage *page, uint32_t address, int column, int tag) {
  const DataCell cell = {address, column, tag};
  page->cells = (DataCell *)zone_append(page->cells, &cell, sizeof cell);
  page->cell_count++;
}

void write_row(RichText *dd, DataPage *page, const DataSource *source, const DataView *view,
               uint32_t a, uint32_t c) {
  module_header(dd, view, a);
  region_header(dd, source, view, a);
  kilobyte_mark(dd, view, a, c);
  symbol_label(dd, view, a);
  uint8_t bytes[DATA_ROW_BYTES];
  const int readable = source->read(a, bytes, (int)c);
  const DataRow row = {rich_line_count(dd) - 1, a, c};
  page->rows = (DataRow *)zone_append(page->rows, &row, sizeof row);
  page->row_count++;
  rich_open_font(dd, view->gui_font);
  rich_open_color(dd, DATA_ADDRESS);
  rich_put_format(dd, "%08X", a);
  rich_close_color(dd);
  rich_tab_column(dd, ADDRESS_COLUMN);
  for (uint32_t i = 0; i < c; i++) {
    add_cell(page, a + i, DATA_HEX, rich_open_tag(dd, page->cell_count, false));
    rich_skip(dd, i == 8 ? 10 : 4);
    if ((int)i < readable) {
      rich_put_format(dd, "%2X", bytes[i]);
    } else {
      rich_open_color(dd, DATA_UNREADABLE);
      rich_put_string(dd, " ?");
      rich_close_color(dd);
    }
    rich_close_tag(dd);
  }
  rich_skip(dd, 8);
  rich_tab_column(dd, CHARS_COLUMN);
  for (uint32_t i = 0; i < c; i++) {
    add_cell(page, a + i, DATA_CHARS, rich_open_tag(dd, page->cell_count, false));
    const bool shown = (int)i < readable && bytes[i] >= 32;
    if (!shown || bytes[i] >= 128) rich_open_color(dd, shown ? DATA_HIGH_CHAR : DATA_UNREADABLE);
    rich_put_char(dd, shown ? (char)bytes[i] : '.');
    if (!shown || bytes[i] >= 128) rich_close_color(dd);
    rich_close_tag(dd);
  }
  char comment[KQ_PATH];
  if (comment_text_at(a, c, comment, sizeof comment)) {
    rich_tab_column(dd, CHARS_COLUMN + COMMENT_COLUMN);
    rich_open_color(dd, DATA_COMMENT);
    rich_put_string(dd, comment);
    rich_close_color(dd);
  }
  rich_close_font(dd);
  rich_put_char(dd, '\n');
}

}  // namespace

uint32_t data_row_length(const DataSource *source, uint32_t a) {
  uint32_t length = a > 0xFFFFFFFFu - DATA_ROW_BYTES ? 0u - a : (uint32_t)DATA_ROW_BYTES;
  cut_at(a, source->next_region(a), &length);
  if (const EntryRecord *e = entry_after(a)) cut_at(a, e->address, &length);
  uint32_t commented;
  if (comment_address_after(a, &commented)) cut_at(a, commented, &length);
  return length;
}

uint32_t data_row_before(const DataSource *source, uint32_t a) {
  if (!a) return 0;
  uint32_t start = a >= DATA_ROW_BYTES ? a - DATA_ROW_BYTES : 0;
  raise_to(a, source->previous_region(a), &start);
  if (const EntryRecord *e = entry_nearest(a - 1)) raise_to(a, e->address, &start);
  uint32_t commented;
  if (comment_address_before(a, &commented)) raise_to(a, commented, &start);
  return start;
}

void data_page_free(DataPage *page) {
  page->rows = (DataRow *)zone_free(page->rows);
  page->cells = (DataCell *)zone_free(page->cells);
  page->row_count = page->cell_count = 0;
  page->shown = 0;
}

void data_write_page(RichText *dd, DataPage *page, const DataSource *source,
                     const DataView *view, uint32_t position, int height) {
  rich_clear(dd);
  data_page_free(page);
  page->position = position;
  uint32_t a = position;
  do {
    const uint32_t c = data_row_length(source, a);
    if (!c) break;
    write_row(dd, page, source, view, a, c);
    a += c;
    page->shown += c;
  } while (a && rich_height(dd) < height);
  rich_update(dd);
}

const DataCell *data_cell_of_tag(const DataPage *page, int tag) {
  for (int i = 0; tag >= 0 && i < page->cell_count; i++)
    if (page->cells[i].tag == tag) return &page->cells[i];
  return nullptr;
}

void data_mark_selection(RichText *dd, const DataPage *page, uint32_t first, uint32_t last) {
  if (first > last) {
    const uint32_t swap = first;
    first = last;
    last = swap;
  }
  rich_unmark_tags(dd);
  for (int i = 0; i < page->cell_count; i++)
    if (page->cells[i].address >= first && page->cells[i].address <= last)
      rich_mark_tag(dd, page->cells[i].tag, true);
}

uint32_t data_scroll(const DataSource *source, uint32_t position, int rows) {
  for (; rows > 0; rows--) {
    const uint32_t c = data_row_length(source, position);
    if (!c || position + c == 0) break;
    position += c;
  }
  for (; rows < 0; rows++) position = data_row_before(source, position);
  return position;
}

int data_copy_text(const uint8_t *bytes, int count, int column, char *out, size_t outlen) {
  size_t len = 0;
  if (outlen) out[0] = 0;
  for (int i = 0; i < count && outlen; i++) {
    char piece[8];
    if (column == DATA_CHARS)
      snprintf(piece, sizeof piece, "%c", bytes[i] >= 32 && bytes[i] != 127 ? bytes[i] : '.');
    else
      snprintf(piece, sizeof piece, i ? ",0x%X" : "0x%X", bytes[i]);
    const size_t n = strlen(piece);
    if (len + n >= outlen) break;
    memcpy(out + len, piece, n + 1);
    len += n;
  }
  return (int)len;
}

void data_fill_bytes(const uint8_t *sequence, int length, uint8_t *out, int size) {
  for (int i = 0; length > 0 && i < size; i++) out[i] = sequence[i % length];
}

int data_insert_bytes(const uint8_t *sequence, int length, const uint8_t *selection,
                      int selection_size, uint8_t *out) {
  const int size = selection_size > length ? selection_size : length;
  memcpy(out, sequence, (size_t)length);
  memcpy(out + length, selection, (size_t)(size - length));
  return size;
}

bool data_sequence_from_text(const char *text, DataSequence *out) {
  memset(out, 0, sizeof *out);
  const char *p = text;
  for (;; p += 2) {
    while (*p == ' ' || *p == ',') p++;
    if (!*p || out->length == DATA_SEQUENCE_MAX) break;
    const bool any = p[0] == '?' && p[1] == '?';
    if (!any && !(isxdigit((unsigned char)p[0]) && isxdigit((unsigned char)p[1]))) break;
    const char pair[3] = {p[0], p[1], 0};
    out->bytes[out->length] = any ? 0 : (uint8_t)strtoul(pair, nullptr, 16);
    out->mask[out->length++] = any ? 0 : 0xFF;
    out->masked = out->masked || any;
    const char after = p[2];
    if (after && after != ' ' && after != ',') break;
  }
  if (!*p && out->length) return true;
  memset(out, 0, sizeof *out);
  out->length = expression_bytes(text, out->bytes, DATA_SEQUENCE_MAX);
  memset(out->mask, 0xFF, (size_t)out->length);
  return out->length > 0;
}

bool data_search(MemoryReader read, const DataSequence *sequence, uint32_t start, int direction,
                 uint32_t low, uint32_t high, uint32_t *found) {
  const int length = sequence->length;
  if (length <= 0 || length > DATA_SEQUENCE_MAX) return false;
  // The instruction search's pattern search finds the first 16 bytes; a longer sequence is
  // compared on from there.
  CodePattern head = {};
  head.length = length < SEARCH_BYTES ? length : SEARCH_BYTES;
  memcpy(head.code, sequence->bytes, (size_t)head.length);
  memcpy(head.mask, sequence->mask, (size_t)head.length);
  const int more = length - head.length;
  uint8_t rest[DATA_SEQUENCE_MAX];
  for (uint32_t at = start; search_pattern(head, at, direction, read, low, high, &at);) {
    bool same = !more || read(at + (uint32_t)head.length, rest, more) == more;
    for (int i = 0; same && i < more; i++)
      same = !((rest[i] ^ sequence->bytes[head.length + i]) & sequence->mask[head.length + i]);
    if (same) {
      *found = at;
      return true;
    }
  }
  return false;
}

namespace {

bool find_sequence(void *context, uint32_t start, int direction, MemoryReader reader,
                   uint32_t low, uint32_t high, uint32_t *found, int *length) {
  const DataSequence *sequence = (const DataSequence *)context;
  *length = sequence->length;
  return data_search(reader, sequence, start, direction, low, high, found);
}

}  // namespace

bool data_search_runs(CodeSearch *search, const DataSequence *sequence, uint32_t start,
                      int direction, uint32_t *found) {
  if (sequence->length <= 0 || sequence->length > DATA_SEQUENCE_MAX) return false;
  const CodeFinder finder = {find_sequence, (void *)sequence, (uint32_t)sequence->length - 1};
  int length;
  return code_search_bytes(search, &finder, start, direction, found, &length);
}
