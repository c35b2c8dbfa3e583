#include "startup/workspace_file.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "util/log.h"
#include "util/zone.h"

namespace {

struct KindRow {
  const char *keyword;
  int arity;
};
// In the order the reader tries them.
const KindRow kKinds[WS_KINDS] = {
    {"comment", 2}, {"break", 1}, {"guard", 2}, {"watch", 1}, {"patch", 2}};

// Escapes of single letters, both ways.
const char kEscapeLetters[] = "0btnvfrq'";
const char kEscapeValues[] = {0, 8, 9, 10, 11, 12, 13, '"', '\''};

bool is_word(unsigned char c) { return isalnum(c) || c == '_'; }

struct Out {
  char *text;
  size_t len, size;
  bool cut;
};
void put(Out *o, const char *s) {
  for (; *s; s++) {
    if (o->len + 1 >= o->size) {
      o->cut = true;
      return;
    }
    o->text[o->len++] = *s;
  }
  o->text[o->len] = 0;
}

void code_char(Out *o, unsigned char c) {
  char piece[8];
  const char *letter = c < 32 || c == '"' || c == '\''
                           ? (const char *)memchr(kEscapeValues, c, sizeof kEscapeValues)
                           : nullptr;
  if (letter)
    snprintf(piece, sizeof piece, "\\%c", kEscapeLetters[letter - kEscapeValues]);
  else if (c < 16)  // a leading 0 makes the reader take octal digits
    snprintf(piece, sizeof piece, "\\x{0%o}", c);
  else if (c < 32 || c == 127)
    snprintf(piece, sizeof piece, "\\x{%02X}", c);
  else if (c == '\\')  // the reader takes a backslash as an escape: doubled, it stands for itself
    snprintf(piece, sizeof piece, "\\\\");
  else
    snprintf(piece, sizeof piece, "%c", c);
  put(o, piece);
}

void put_argument(Out *o, const char *text) {
  bool plain = *text != 0;
  for (const char *p = text; *p; p++) plain = plain && is_word((unsigned char)*p);
  if (plain) {
    put(o, text);
    return;
  }
  put(o, "\"");
  for (const char *p = text; *p; p++) code_char(o, (unsigned char)*p);
  put(o, "\"");
}

int digit_value(char c, int base) {
  int v = isdigit((unsigned char)c) ? c - '0'
          : isxdigit((unsigned char)c) ? tolower((unsigned char)c) - 'a' + 10
                                       : 99;
  return v < base ? v : -1;
}

// "\x{...}" and "\xNN": hexadecimal, or octal when the first digit is 0.
const char *read_number(const char *p, char *c) {
  bool braced = *p == '{';
  if (braced) p++;
  int base = *p == '0' ? 8 : 16, value = 0, count = 0;
  for (int d; (braced || count < 2) && (d = digit_value(*p, base)) >= 0; p++, count++)
    value = value * base + d;
  if (braced && *p == '}') p++;
  *c = (char)value;
  return p;
}

// Decodes the quoted text starting after its opening quote; gives the position after the
// closing quote, null when there is none.
const char *read_quoted(const char *p, char *out) {
  size_t n = 0;
  for (; *p && *p != '"'; p++) {
    char c = *p;
    if (c == '\\') {
      c = *++p;
      const char *letter = c ? strchr(kEscapeLetters, c) : nullptr;
      if (!c) return nullptr;
      if (letter) {
        c = kEscapeValues[letter - kEscapeLetters];
      } else if (c == 's') {
        c = ' ';
      } else if (c == ' ') {
        c = (char)0xFF;
      } else if (c == 'x' && (p[1] == '{' || digit_value(p[1], 16) >= 0)) {
        p = read_number(p + 1, &c) - 1;
      }
    }
    if (n + 1 < KQ_PATH) out[n++] = c;
  }
  out[n] = 0;
  return *p == '"' ? p + 1 : nullptr;
}

const char *skip_blanks(const char *p) {
  while (*p == ' ' || *p == '\t') p++;
  return p;
}

// One argument, blanks around it skipped; null when it is unsound.
const char *read_argument(const char *p, char *out) {
  p = skip_blanks(p);
  if (*p == '"') {
    p = read_quoted(p + 1, out);
  } else {
    size_t n = 0;
    for (; is_word((unsigned char)*p); p++)
      if (n + 1 < KQ_PATH) out[n++] = *p;
    out[n] = 0;
    if (!n) return nullptr;
  }
  return p ? skip_blanks(p) : nullptr;
}

int kind_of_keyword(const char *line, const char **after) {
  const char *p = line;
  while (isalnum((unsigned char)*p)) p++;
  *after = p;
  size_t len = (size_t)(p - line);
  for (int kind = 0; kind < WS_KINDS; kind++)
    if (len && strlen(kKinds[kind].keyword) == len && !strncasecmp(kKinds[kind].keyword, line, len))
      return kind;
  return -1;
}

bool replace_file(const char *from, const char *to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return rename(from, to) == 0;
#endif
}

// The damaged file's own text beside it, so that the next save cannot lose what the user
// may still want from it.
void keep_damaged_copy(const char *path) {
  FILE *f = fopen(path, "r");  // text mode both ways, as the file is written
  if (!f) return;
  char *bytes = nullptr;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) bytes = (char *)zone_append(bytes, chunk, n);
  fclose(f);
  char copy[KQ_PATH];
  snprintf(copy, sizeof copy, "%s.bad", path);
  if (workspace_write_file(copy, bytes ? bytes : "", zone_size(bytes)))
    log_printf("WARNING: the damaged workspace is kept as '%s'\n", copy);
  zone_free(bytes);
}

}  // namespace

const char *workspace_keyword(int kind) {
  return kind >= 0 && kind < WS_KINDS ? kKinds[kind].keyword : "";
}

int workspace_arity(int kind) { return kind >= 0 && kind < WS_KINDS ? kKinds[kind].arity : 0; }

bool workspace_write_argument(const char *text, char *out, size_t outlen) {
  size_t len = strnlen(out, outlen);
  if (len >= outlen) return false;
  Out o = {out, len, outlen, false};
  put_argument(&o, text);
  return !o.cut;
}

bool workspace_format_record(const WorkspaceRecord *record, char *out, size_t outlen) {
  if (!outlen) return false;
  out[0] = 0;
  Out o = {out, 0, outlen, false};
  put(&o, workspace_keyword(record->kind));
  put(&o, " ");
  for (int i = 0; i < workspace_arity(record->kind); i++) {
    if (i) put(&o, ", ");
    put_argument(&o, record->args[i]);
  }
  put(&o, ";\n");
  return !o.cut;
}

WorkspaceLine workspace_parse_line(const char *line, WorkspaceRecord *record) {
  memset(record, 0, sizeof *record);
  const char *p;
  int kind = kind_of_keyword(line, &p);
  if (kind < 0) return WSL_UNKNOWN;
  record->kind = kind;
  for (int i = 0; i < kKinds[kind].arity; i++) {
    if (i && *p++ != ',') return WSL_DAMAGED;
    if (!(p = read_argument(p, record->args[i]))) return WSL_DAMAGED;
  }
  return *p == ';' ? WSL_RECORD : WSL_DAMAGED;
}

bool workspace_read_file(const char *path, void (*apply)(const WorkspaceRecord *, void *),
                         void *context, int *damaged) {
  *damaged = 0;
  FILE *f = fopen(path, "r");
  if (!f) return false;
  char line[WORKSPACE_LINE_MAX];
  WorkspaceRecord record;
  for (int number = 1; fgets(line, sizeof line, f); number++) {
    size_t len = strlen(line);
    bool whole = len && (line[len - 1] == '\n' || feof(f));
    if (!whole) {  // longer than any record: drop the rest of it
      for (int c; (c = fgetc(f)) != EOF && c != '\n';) {}
    }
    WorkspaceLine found = whole ? workspace_parse_line(line, &record) : WSL_DAMAGED;
    if (found == WSL_RECORD) {
      apply(&record, context);
    } else if (found == WSL_DAMAGED) {
      log_printf("WARNING: workspace '%s' line %d is damaged and skipped\n", path, number);
      ++*damaged;
    } else {
      log_printf("WARNING: workspace '%s' line %d has no known record: the rest is not read\n",
                 path, number);
      ++*damaged;
      break;
    }
  }
  fclose(f);
  if (*damaged) keep_damaged_copy(path);
  return true;
}

bool workspace_write_file(const char *path, const char *text, size_t length) {
  char temporary[KQ_PATH + 8];
  snprintf(temporary, sizeof temporary, "%s.new", path);
  FILE *f = fopen(temporary, "w");
  if (!f) {
    log_printf("WARNING: cannot create '%s': the old file is kept\n", temporary);
    return false;
  }
  bool written = fwrite(text, 1, length, f) == length && fflush(f) == 0;
  written = fclose(f) == 0 && written;
  if (written && replace_file(temporary, path)) return true;
  log_printf("WARNING: cannot write '%s'; the old file is kept\n", path);
  remove(temporary);
  return false;
}
