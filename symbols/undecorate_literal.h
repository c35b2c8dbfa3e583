// The string literals of decorated Visual C++ names ("??_C@_" and what follows): their
// first characters, quoted and escaped as C source writes them.
#pragma once
#include <stddef.h>

// Reads the literal that starts at text (after "??_C@_") and ends at end, the end of the
// name; true when it is well formed, with its quoted text in out (cut at size - 1).
bool undecorate_literal(const char *text, const char *end, char *out, size_t size);
