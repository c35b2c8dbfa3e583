// Path buffers and file-name helpers shared by every part of the program.
#pragma once
#include <stddef.h>

enum { KQ_PATH = 260 };

// Copies src into dst of dstlen characters, cutting it to fit; always terminated.
void text_copy(char *dst, size_t dstlen, const char *src);
// Replaces the extension of path (from the last dot of the file-name part, dots at the
// very start of the name not counting) by ext, or appends ext when there is none.
void path_replace_extension(char *out, size_t outlen, const char *path, const char *ext);
