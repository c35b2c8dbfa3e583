#include "symbols/module_text.h"

#include <stdarg.h>
#include <stdio.h>

#include "util/zone.h"

bool text_append(ModuleText *t, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  if (n <= 0) return n == 0;
  // The block holds the text and its NUL; growing leaves slack for the next lines.
  char *grown = (char *)(t->text ? zone_grow(t->text, (size_t)n) : zone_alloc((size_t)n + 1));
  if (!grown) return false;
  t->text = grown;
  va_start(ap, fmt);
  vsnprintf(t->text + t->length, (size_t)n + 1, fmt, ap);
  va_end(ap);
  for (const char *p = t->text + t->length; *p; p++) t->lines += *p == '\n';
  t->length += (size_t)n;
  return true;
}

void text_free(ModuleText *t) {
  t->text = (char *)zone_free(t->text);
  t->length = 0;
  t->lines = 0;
}
