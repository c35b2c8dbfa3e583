// Loading the layout: the script file (or a text) read, parsed, built, connected and
// checked, with the program's built-in copy of the default script to fall back on.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ui/layout_graph.h"

enum LayoutResult {
  LAYOUT_LOADED,
  LAYOUT_CANNOT_OPEN,
  LAYOUT_SYNTAX_ERROR,  // "Error:", the message and its line are in the log
  LAYOUT_NO_HOLDER,
  LAYOUT_INCONSISTENT,  // a holder's sections do not tile it; the warning names it
};

// Frees the previous layout and builds one from len bytes of script text. Holders take
// the background colour unless they name their own. Anything but LAYOUT_LOADED leaves
// no holder. A syntax error's message and line also go to why (cut to whylen).
LayoutResult layout_read_text(Layout *layout, const char *text, size_t len, uint32_t background,
                              char *why = nullptr, size_t whylen = 0);
// The same from a file, after "Parsing layout script '%s'" in the log.
LayoutResult layout_read_file(Layout *layout, const char *file, uint32_t background,
                              char *why = nullptr, size_t whylen = 0);
// Loads the file. One that cannot be opened, has a syntax error, defines no holder or
// cannot be laid out is replaced by the built-in script, so that the screen is never
// left empty; the syntax error, which the user made, is also given in why for him (""
// otherwise). False only when the built-in script fails too.
bool layout_load(Layout *layout, const char *file, const char *builtin, size_t builtin_len,
                 uint32_t background, char *why = nullptr, size_t whylen = 0);
