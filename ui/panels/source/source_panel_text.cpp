#include "ui/panels/source/source_panel_text.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/modules.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/zone.h"

// A module's export lines are shown as a source's line table.
static_assert(sizeof(ExportLine) == sizeof(SourceLine) &&
                  offsetof(ExportLine, line) == offsetof(SourceLine, line) &&
                  offsetof(ExportLine, address) == offsetof(SourceLine, address),
              "export lines and source lines share their shape");

namespace {

enum { MARK_GAP = 4 };

bool name_start(char c) { return isalpha((unsigned char)c) || c == '_'; }
bool name_char(char c) { return isalnum((unsigned char)c) || c == '_'; }
bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// From an open quote's content to its closing quote (included) or to the line feed.
int string_end(SourceScanner *s, int i) {
  const char *t = s->text;
  while (t[i] && t[i] != '\n') {
    if (t[i] == '\\' && t[i + 1] && !isspace((unsigned char)t[i + 1])) {
      i += 2;
      continue;
    }
    if (t[i] == s->quote) {
      s->quote = 0;
      return i + 1;
    }
    i++;
  }
  return i;
}

SourceToken token(SourceScanner *s, int kind, int end) {
  SourceToken t = {kind, s->pos, end - s->pos};
  s->pos = end;
  return t;
}

}  // namespace

void source_scan_start(SourceScanner *s, const char *text) { *s = {text, 0, 0, 0}; }

SourceToken source_scan(SourceScanner *s) {
  const char *t = s->text;
  int i = s->pos;
  const char c = t[i];
  if (!c) return token(s, SOURCE_END, i);
  if (c == '\n') return token(s, SOURCE_EOL, i + 1);
  if (s->quote) return token(s, SOURCE_LITERAL, string_end(s, i));
  if (c == '/' && t[i + 1] == '*') {
    s->depth++;
    return token(s, SOURCE_COMMENT_TOKEN, i + 2);
  }
  // Only an open comment closes; a stray "*/" stays two punctuation tokens.
  if (s->depth > 0) {
    if (c == '*' && t[i + 1] == '/') {
      s->depth--;
      return token(s, SOURCE_COMMENT_TOKEN, i + 2);
    }
    while (t[i] && t[i] != '\n' && !(t[i] == '/' && t[i + 1] == '*') &&
           !(t[i] == '*' && t[i + 1] == '/'))
      i++;
    return token(s, SOURCE_COMMENT_TOKEN, i);
  }
  if (c == '/' && t[i + 1] == '/') {
    while (t[i] && t[i] != '\n') i++;
    return token(s, SOURCE_COMMENT_TOKEN, i);
  }
  if (blank(c)) {
    while (blank(t[i])) i++;
    return token(s, SOURCE_SPACE, i);
  }
  if (c == '#') {
    i++;
    while (t[i] == ' ' || t[i] == '\t') i++;
    while (name_char(t[i])) i++;
    return token(s, SOURCE_PREPROCESSOR, i);
  }
  if (c == '"' || c == '\'') {
    s->quote = c;
    return token(s, SOURCE_LITERAL, string_end(s, i + 1));
  }
  if (c == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    i += 2;
    while (isxdigit((unsigned char)t[i])) i++;
    return token(s, SOURCE_LITERAL, i);
  }
  if (isdigit((unsigned char)c) || (c == '.' && isdigit((unsigned char)t[i + 1]))) {
    while (isdigit((unsigned char)t[i]) || t[i] == '.' || t[i] == 'e' || t[i] == 'E') i++;
    return token(s, SOURCE_LITERAL, i);
  }
  if (name_start(c)) {
    while (name_char(t[i])) i++;
    return token(s, SOURCE_IDENTIFIER, i);
  }
  return token(s, SOURCE_PUNCTUATION, i + 1);
}

namespace {

void write_identifier(RichText *dd, const char *text, int count, const SourceView *view) {
  uint32_t entry = 0;
  if (count < KQ_PATH && view->find_entry) {
    char name[KQ_PATH];
    memcpy(name, text, count);
    name[count] = 0;
    entry = view->find_entry(view->context, name);
  }
  if (!entry) {
    rich_put_chars(dd, text, count);
    return;
  }
  rich_open_tag(dd, entry, true);
  rich_open_color(dd, SOURCE_LINK);
  rich_put_chars(dd, text, count);
  rich_close_color(dd);
  rich_close_tag(dd);
}

}  // namespace

int source_write(RichText *gutter, RichText *dd, const SourceView *view) {
  rich_clear(gutter);
  rich_clear(dd);
  const char *text = view->text;
  SourceScanner s;
  source_scan_start(&s, text);
  int lines = 0;
  bool open = false;  // a line has been started and not ended
  for (;;) {
    const SourceToken tok = source_scan(&s);
    if (tok.kind == SOURCE_END) break;
    if (!open) {
      lines++;
      open = true;
    }
    switch (tok.kind) {
      case SOURCE_EOL:
        rich_put_char(dd, '\n');
        open = false;
        break;
      case SOURCE_COMMENT_TOKEN:
        rich_open_color(dd, SOURCE_COMMENT);
        rich_put_chars(dd, text + tok.start, tok.length);
        rich_close_color(dd);
        break;
      case SOURCE_IDENTIFIER:
        write_identifier(dd, text + tok.start, tok.length, view);
        break;
      case SOURCE_SPACE: {
        // Carriage returns of CR LF line ends are not shown.
        for (int i = tok.start; i < tok.start + tok.length; i++)
          if (text[i] != '\r') rich_put_char(dd, text[i]);
        break;
      }
      default:
        rich_put_chars(dd, text + tok.start, tok.length);
    }
  }
  rich_update(dd);
  const int doc_lines = rich_line_count(dd);
  // From the last pair to the first, so that the lowest address of a line is kept.
  for (int i = view->line_count - 1; i >= 0; i--) {
    const uint32_t line = view->lines[i].line;
    if (line >= 1 && line <= (uint32_t)lines && (int)line <= doc_lines)
      rich_set_line_param(dd, (int)line - 1, view->lines[i].address);
  }
  source_write_gutter(gutter, dd, lines, view->marks);
  return lines;
}

void source_write_gutter(RichText *gutter, RichText *dd, int lines, const SourceMarks *marks) {
  rich_clear(gutter);
  const RichMeasurer *m = gutter->measurer;
  int code_width = 0, height = 0, ip_width = 0;
  if (marks->code) m->image_size(m->context, marks->code, &code_width, &height);
  if (marks->ip) m->image_size(m->context, marks->ip, &ip_width, &height);
  int bp_width = 0;
  if (marks->breakpoint) m->image_size(m->context, marks->breakpoint, &bp_width, &height);
  const int marks_width =
      code_width + MARK_GAP + bp_width + MARK_GAP + (ip_width > 0 ? ip_width + MARK_GAP : 0);
  for (int i = 0; i < lines; i++) {
    if (i) rich_put_char(gutter, '\n');
    if (rich_has_param(dd, i)) {
      const uint32_t address = rich_line_param(dd, i);
      if (marks->code) rich_overlay_image(gutter, marks->code, 0, 0);
      if (marks->breakpoint && marks->has_breakpoint &&
          marks->has_breakpoint(marks->context, address))
        rich_overlay_image(gutter, marks->breakpoint, code_width + MARK_GAP, 0);
    }
    const RichHandle ip = marks->ip_jumps && marks->ip_taken ? marks->ip_taken : marks->ip;
    if (i == marks->ip_line && ip)
      rich_overlay_image(gutter, ip, code_width + MARK_GAP + bp_width + MARK_GAP, 0);
    rich_skip(gutter, marks_width);
    rich_open_font(gutter, marks->font);
    rich_put_format(gutter, "%4i ", i + 1);
    rich_close_font(gutter);
  }
  rich_update(gutter);
}

int source_line_at(RichText *dd, uint32_t address) {
  int best = -1;
  uint32_t best_address = 0;
  const int count = rich_line_count(dd);
  for (int i = 0; i < count; i++) {
    if (!rich_has_param(dd, i)) continue;
    const uint32_t a = rich_line_param(dd, i);
    if (a <= address && (best < 0 || a > best_address)) {
      best = i;
      best_address = a;
    }
  }
  return best;
}

uint32_t source_line_address(RichText *dd, int line) {
  const int count = rich_line_count(dd);
  for (int i = line < 0 ? 0 : line; i < count; i++)
    if (rich_has_param(dd, i)) return rich_line_param(dd, i);
  for (int i = (line < count ? line : count) - 1; i >= 0; i--)
    if (rich_has_param(dd, i)) return rich_line_param(dd, i);
  return 0;
}

int source_clamp_line(int index, int count) {
  if (count <= 0) return 0;
  if (index < 0) index += count;
  if (index < 0) return 0;
  return index < count ? index : count - 1;
}

bool source_goto_line(const char *text, int count, int *index) {
  char *end;
  const long n = strtol(text, &end, 10);
  if (end == text) return false;
  while (*end == ' ') end++;
  if (*end == '%') {
    *index = source_clamp_line((int)((long long)count * n / 100), count);
    end++;
  } else {
    *index = source_clamp_line(n > 0 ? (int)n - 1 : n == 0 ? 0 : (int)n, count);
  }
  while (*end == ' ') end++;
  return *end == 0;
}

namespace {

// The offset where line (from 0) starts; the text's length past its last line.
int line_start(const char *text, int line) {
  int i = 0;
  for (int n = 0; n < line && text[i]; i++)
    if (text[i] == '\n') n++;
  return i;
}

}  // namespace

int source_line_of_offset(const char *text, int offset) {
  int line = 0;
  for (int i = 0; i < offset && text[i]; i++)
    if (text[i] == '\n') line++;
  return line;
}

int source_search(const char *text, int line, const char *needle, bool forward) {
  const int n = (int)strlen(needle);
  if (!n) return -1;
  if (forward) {
    const int from = line_start(text, line + 1);
    if (from == line_start(text, line)) return -1;  // the last line
    const char *hit = strstr(text + from, needle);
    return hit ? (int)(hit - text) : -1;
  }
  // The whole line above counts, not only its first position.
  const int before = line_start(text, line);
  for (int p = before - n; p >= 0; p--)
    if (!memcmp(text + p, needle, n)) return p;
  return -1;
}

char *source_read_file(const char *path, size_t *length) {
  FILE *f = fopen(path, "rb");
  if (!f) return nullptr;
  char *text = nullptr;
  if (!fseek(f, 0, SEEK_END)) {
    const long size = ftell(f);
    if (size >= 0 && !fseek(f, 0, SEEK_SET)) {
      text = (char *)zone_alloc((size_t)size + 1);
      if (text && fread(text, 1, (size_t)size, f) == (size_t)size) {
        text[size] = 0;
        if (length) *length = (size_t)size;
      } else {
        text = (char *)zone_free(text);
      }
    }
  }
  fclose(f);
  return text;
}

bool source_show_address(SourceShown *shown, uint32_t address) {
  const SourceRecord *source = source_of_address(address);
  const char *path = source_path(source);
  char *text = path ? source_read_file(path, nullptr) : nullptr;
  if (text) {
    source_shown_free(shown);
    shown->text = text;
    shown->module = false;
    text_copy(shown->title, sizeof shown->title, path);
    shown->lines = source->lines;
    shown->line_count = source->line_count;
    return true;
  }
  const ModuleRecord *module = module_by_address(address);
  if (!module) return false;
  const size_t length = module->text.text ? module->text.length : 0;
  text = (char *)zone_alloc(length + 1);
  if (!text) return false;
  if (length) memcpy(text, module->text.text, length);
  text[length] = 0;
  source_shown_free(shown);
  shown->text = text;
  shown->module = true;
  text_copy(shown->title, sizeof shown->title, module->name ? module->name : "");
  shown->lines = (const SourceLine *)module->exports;
  shown->line_count = module->export_count;
  return true;
}

void source_shown_free(SourceShown *shown) {
  shown->text = (char *)zone_free(shown->text);
  shown->lines = nullptr;
  shown->line_count = 0;
  shown->title[0] = 0;
  shown->module = false;
}
