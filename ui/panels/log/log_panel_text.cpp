#include "ui/panels/log/log_panel_text.h"

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include "ui/rich_text/rich_text_write.h"

const uint32_t kLogKindPaper[LOG_KINDS] = {0xC8C8FF, 0xC8FFFF, 0xC8FFC8, 0xDCDCDC};

namespace {

enum { TEXT_INDENT = 16 };

struct KindWord {
  const char *word;
  int kind;
};
const KindWord kKindWords[] = {{"Error", 0}, {"Warn", 1}, {"Info", 2}};

bool alnum(char c) { return isalnum((unsigned char)c) != 0; }
bool word_char(char c) { return alnum(c) || c == '_'; }

int kind_of_word(const char *word) {
  for (const KindWord &k : kKindWords)
    if (!strcasecmp(word, k.word)) return k.kind;
  return 3;
}

// A run of letters, digits and underscores from text[i]; gives its end.
int run_end(const char *text, int length, int i) {
  while (i < length && word_char(text[i])) i++;
  return i;
}

void write_name(RichText *dd, const char *text, int count, const LogStyle *style) {
  char name[KQ_PATH];
  memcpy(name, text, count);
  name[count] = 0;
  const uint32_t entry = style->find_entry ? style->find_entry(style->context, name) : 0;
  if (!entry) {
    rich_put_chars(dd, text, count);
    return;
  }
  rich_open_tag(dd, entry, true);
  rich_open_color(dd, LOG_LINK);
  rich_put_chars(dd, text, count);
  rich_close_color(dd);
  rich_close_tag(dd);
}

void write_text(RichText *dd, const char *text, int length, const LogStyle *style) {
  int i = 0;
  while (i < length) {
    const char c = text[i];
    const bool name_start = c == '_' || (style->hyperlink_symbols && isalpha((unsigned char)c));
    if (name_start || isdigit((unsigned char)c)) {
      const int end = run_end(text, length, i);
      if (!name_start) {
        rich_open_color(dd, LOG_NUMBER);
        rich_put_chars(dd, text + i, end - i);
        rich_close_color(dd);
      } else if (end - i < KQ_PATH) {
        write_name(dd, text + i, end - i, style);
      } else {
        rich_put_chars(dd, text + i, end - i);
      }
      i = end;
    } else if (!c) {
      while (i < length && !text[i]) i++;
      rich_put_char(dd, '?');
    } else {
      rich_put_chars(dd, text + i, 1);
      i++;
    }
  }
}

void mark(RichText *dd, RichHandle image) {
  if (image) rich_overlay_image(dd, image, 0, 0);
}

// The length of the number field (" %u\t") that opens every line of kq's own log, 0 when
// the line has none: the kind is read from the text written after it.
int number_field(const char *text, int length) {
  if (length < 3 || text[0] != ' ') return 0;
  int at = 1;
  while (at < length && isdigit((unsigned char)text[at])) at++;
  return at > 1 && at < length && text[at] == '\t' ? at + 1 : 0;
}

}  // namespace

int log_parse_filter(LogFilter *filter, const char *text) {
  filter->count = 0;
  while (*text && filter->count < LOG_FILTER_WORDS) {
    const char *comma = strchr(text, ',');
    const char *end = comma ? comma : text + strlen(text);
    while (text < end && isspace((unsigned char)*text)) text++;
    const char *last = end;
    while (last > text && isspace((unsigned char)last[-1])) last--;
    const int length = (int)(last - text);
    if (length > 0 && length < KQ_PATH) {
      LogFilterWord *w = &filter->words[filter->count++];
      memcpy(w->word, text, length);
      w->word[length] = 0;
      w->length = length;
      w->kind = kind_of_word(w->word);
    }
    text = comma ? comma + 1 : end;
  }
  return filter->count;
}

int log_line_kind(const LogFilter *filter, const char *text, int length) {
  const int field = number_field(text, length);
  text += field;
  length -= field;
  int at = 0;
  while (at < length && !alnum(text[at])) at++;
  if (at == length || (at > 0 && !isspace((unsigned char)text[at - 1]))) return -1;
  for (int i = 0; i < filter->count; i++) {
    const LogFilterWord &w = filter->words[i];
    if (at + w.length > length || memcmp(text + at, w.word, w.length)) continue;
    if (at + w.length == length || !alnum(text[at + w.length])) return w.kind;
  }
  return -1;
}

int log_filter_rows(const LogSource *src, uint64_t size, const LogFilter *filter,
                    void (*row)(void *context, const LogFilterRow *r), void *context) {
  LogLine line;
  int rows = 0;
  uint64_t pos = 0;
  for (int number = 0; log_read_line(src, pos, size, &line); number++, pos = line.next) {
    const int length = line.length < KQ_PATH - 1 ? line.length : KQ_PATH - 1;
    const int kind = log_line_kind(filter, line.text, length);
    if (kind < 0) continue;
    line.text[length] = 0;
    for (int i = 0; i < length; i++)
      if ((unsigned char)line.text[i] < 32) line.text[i] = ' ';
    const LogFilterRow r = {number, kind, line.start, line.text};
    row(context, &r);
    rows++;
  }
  return rows;
}

void log_write_page(RichText *dd, const LogLine *lines, int count, const LogStyle *style) {
  rich_clear(dd);
  rich_open_color(dd, LOG_TEXT);
  for (int n = 0; n < count; n++) {
    const LogLine &line = lines[n];
    if (n) rich_put_char(dd, '\n');
    const int kind = log_line_kind(style->filter, line.text, line.length);
    if (kind >= 0) rich_open_paper(dd, kLogKindPaper[kind]);
    mark(dd, style->line_mark);
    if (line.longer) mark(dd, style->longer_mark);
    if (line.last) mark(dd, style->last_mark);
    rich_skip(dd, TEXT_INDENT);
    write_text(dd, line.text, line.length, style);
    if (kind >= 0) rich_close_paper(dd);
    rich_set_line_param(dd, -1, (uint32_t)line.start);
  }
  rich_close_color(dd);
}
