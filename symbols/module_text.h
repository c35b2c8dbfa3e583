// A growable text buffer: the PE dump and export list of a module, shown by the source
// panel for modules without source.
#pragma once
#include <stddef.h>

#include "util/log.h"

struct ModuleText {
  char *text;     // zone block, NUL-terminated; null while empty
  size_t length;
  int lines;      // line breaks in text
};

// Appends formatted text; false (text unchanged) when memory runs out.
bool text_append(ModuleText *t, const char *fmt, ...) KQ_PRINTF(2, 3);
void text_free(ModuleText *t);
