// Loading the layout: the script file (or a text) read, parsed, built, connected and
// checked, with the program's built-in copy of the default script to fall back on.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ui/layout_graph.h"

enum LayoutResult {
  LAYOUT_LOADED,
  LAYOUT_CANNOT_OPEN,
  LAYOUT_SYNTAX_ERROR,  // "Error:" and the message are in the log
  LAYOUT_NO_HOLDER,
  LAYOUT_INCONSISTENT,  // a holder's sections do not tile it; the warning names it
};

// Frees the previous layout and builds one from len bytes of script text. Holders take
// the background colour unless they name their own. Anything but LAYOUT_LOADED leaves
// no holder.
LayoutResult layout_read_text(Layout *layout, const char *text, size_t len, uint32_t background);
// The same from a file, after "Parsing layout script '%s'" in the log.
LayoutResult layout_read_file(Layout *layout, const char *file, uint32_t background);
// Loads the file. A syntax error ends the program (exit code 0); a file that cannot be
// opened, defines no holder or cannot be laid out is replaced by the built-in script,
// so that the screen is never left empty. False only when that fails too.
bool layout_load(Layout *layout, const char *file, const char *builtin, size_t builtin_len,
                 uint32_t background);
