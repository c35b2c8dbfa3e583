// The layout script reader. The parse walks the text once with a cursor and keeps no
// stack of its own: the open holder is the current node, its parent the one to return
// to, so any nesting depth reads in constant stack.
#include "ui/layout_script.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "util/zone.h"

namespace {

struct ScriptCursor {
  const char *text;
  size_t end;  // the length, or the first zero byte
  size_t pos;
  char *error;
  size_t errorlen;
  int *error_line;
};

// The parameter strings of the element being read, one after another; the block grows
// and is reused for every element.
struct ParamBuffer {
  char *text;
  size_t used;
  int count;  // strings, names and values together
};

const char kSeparators[] = "<>=:\"\n\r\t ";

bool at_end(const ScriptCursor *c) { return c->pos >= c->end; }

char peek(const ScriptCursor *c, size_t ahead) {
  return c->pos + ahead < c->end ? c->text[c->pos + ahead] : 0;
}

__attribute__((format(printf, 2, 3))) bool fail(ScriptCursor *c, const char *fmt, ...);

bool fail(ScriptCursor *c, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (c->errorlen) vsnprintf(c->error, c->errorlen, fmt, ap);
  va_end(ap);
  if (c->error_line) {
    *c->error_line = 1;
    for (size_t i = 0; i < c->pos && i < c->end; i++) *c->error_line += c->text[i] == '\n';
  }
  return false;
}

// Blanks and "<< ... >>" comments, which do not nest.
bool skip_blanks(ScriptCursor *c) {
  for (;;) {
    while (!at_end(c) && isspace((unsigned char)c->text[c->pos])) c->pos++;
    if (peek(c, 0) != '<' || peek(c, 1) != '<') return true;
    size_t p = c->pos + 2;
    while (p + 1 < c->end && !(c->text[p] == '>' && c->text[p + 1] == '>')) p++;
    if (p + 1 >= c->end) return fail(c, "Unexpected end of line");
    c->pos = p + 2;
  }
}

// A bare word ends at a separator; a quoted one at the next double quote, which is
// skipped. Gives the length (0: no word) or -1 after an error.
int read_word(ScriptCursor *c, char *word) {
  bool quoted = peek(c, 0) == '"';
  if (quoted) c->pos++;
  int n = 0;
  while (!at_end(c)) {
    char ch = c->text[c->pos];
    if (quoted ? ch == '"' : strchr(kSeparators, ch) != nullptr) break;
    if (n == LAYOUT_WORD_MAX) {
      fail(c, "Word longer than %d characters", LAYOUT_WORD_MAX);
      return -1;
    }
    word[n++] = ch;
    c->pos++;
  }
  if (quoted && !at_end(c)) c->pos++;
  word[n] = 0;
  return n;
}

void add_param(ParamBuffer *b, const char *text) {
  size_t n = strlen(text) + 1;
  size_t size = zone_size(b->text);
  if (b->used + n > size) b->text = (char *)zone_grow(b->text, b->used + n - size);
  memcpy(b->text + b->used, text, n);
  b->used += n;
  b->count++;
}

// Copies the element's parameters into one block: the pointers, then the strings.
char **store_params(const ParamBuffer *b) {
  size_t pointers = ((size_t)b->count + 1) * sizeof(char *);
  char **params = (char **)zone_alloc(pointers + b->used);
  char *strings = (char *)params + pointers;
  if (b->used) memcpy(strings, b->text, b->used);
  for (int i = 0; i < b->count; i++) {
    params[i] = strings;
    strings += strlen(strings) + 1;
  }
  params[b->count] = nullptr;
  return params;
}

LayoutNode *new_node(LayoutNode *parent) {
  LayoutNode *node = (LayoutNode *)zone_alloc(sizeof(LayoutNode));
  memset(node, 0, sizeof *node);
  node->parent = parent;
  if (parent) {
    parent->children =
        (LayoutNode **)zone_append(parent->children, &node, sizeof node);
    parent->childnum++;
  }
  return node;
}

// "</holder>" after the blanks of an open holder.
bool read_close_tag(ScriptCursor *c, char *word) {
  c->pos += 2;
  int n = read_word(c, word);
  if (n < 0) return false;
  if (n == 0) return fail(c, "Close tag name expected");
  if (peek(c, 0) != '>') return fail(c, "Unterminated tag");
  c->pos++;
  if (strcmp(word, "holder") != 0)
    return fail(c, "Unexpected close tag class: %s -> %s", "holder", word);
  return true;
}

// From "<" to the ">" of one element: the class, then name=value pairs.
bool read_element(ScriptCursor *c, LayoutNode *container, ParamBuffer *b, char *word,
                  LayoutNode **made) {
  if (peek(c, 0) != '<') return fail(c, "Unknown syntax");
  c->pos++;
  if (!skip_blanks(c)) return false;
  char cls[LAYOUT_WORD_MAX + 1];
  int n = read_word(c, cls);
  if (n < 0) return false;
  if (n == 0) return fail(c, "Class name expected");
  LayoutNode *node = new_node(container);
  b->used = 0;
  b->count = 0;
  for (;;) {
    if (!skip_blanks(c)) return false;
    if (peek(c, 0) == '>') break;
    if (at_end(c)) return fail(c, "Unexpected end of file");
    n = read_word(c, word);
    if (n < 0) return false;
    if (n == 0) return fail(c, "Param name expected");
    add_param(b, word);
    word[0] = 0;
    if (peek(c, 0) == '=') {
      c->pos++;
      if (!skip_blanks(c)) return false;
      n = read_word(c, word);
      if (n < 0) return false;
      if (n == 0) return fail(c, "Param value expected");
    }
    add_param(b, word);
  }
  c->pos++;
  node->params = store_params(b);
  if (!strcmp(cls, "holder")) node->kind = LAYOUT_HOLDER;
  else if (!strcmp(cls, "section") && container->kind == LAYOUT_HOLDER) node->kind = LAYOUT_SECTION;
  else return fail(c, "Cannot create #%s here", cls);
  *made = node;
  return true;
}

}  // namespace

LayoutNode *layout_parse(const char *text, size_t len, char *error, size_t errorlen,
                         int *error_line) {
  const char *zero = (const char *)memchr(text, 0, len);
  ScriptCursor c = {text, zero ? (size_t)(zero - text) : len, 0, error, errorlen, error_line};
  if (errorlen) error[0] = 0;
  ParamBuffer params = {nullptr, 0, 0};
  char word[LAYOUT_WORD_MAX + 1];
  LayoutNode *root = new_node(nullptr);
  LayoutNode *container = root;  // the open holder, or the root
  bool ok;
  for (;;) {
    ok = skip_blanks(&c);
    if (!ok) break;
    if (container != root && peek(&c, 0) == '<' && peek(&c, 1) == '/') {
      ok = read_close_tag(&c, word);
      if (!ok) break;
      container = container->parent;
      continue;
    }
    if (at_end(&c)) {
      ok = container == root || fail(&c, "Unexpected end of file");
      break;
    }
    LayoutNode *node = nullptr;
    ok = read_element(&c, container, &params, word, &node);
    if (!ok) break;
    if (node->kind == LAYOUT_HOLDER) container = node;
  }
  params.text = (char *)zone_free(params.text);
  if (!ok) root = layout_free_tree(root);
  return root;
}

LayoutNode *layout_free_tree(LayoutNode *node) {
  LayoutNode *top = node;
  while (node) {
    if (node->childnum > 0) {
      node = node->children[--node->childnum];
      continue;
    }
    LayoutNode *parent = node == top ? nullptr : node->parent;
    node->children = (LayoutNode **)zone_free(node->children);
    node->params = (char **)zone_free(node->params);
    zone_free(node);
    node = parent;
  }
  return nullptr;
}

const char *layout_param(const LayoutNode *node, const char *name) {
  const char *value = nullptr;
  for (char **p = node->params; p && p[0]; p += 2)
    if (!strcmp(p[0], name)) value = p[1];
  return value;
}
