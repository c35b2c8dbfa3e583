// Line ends for other programs: the log and the program's texts end their lines with a
// line feed alone, the clipboard's plain text with a carriage return and a line feed.
#pragma once
#include <stddef.h>

// The length of text (len bytes) with a carriage return before every line feed that has
// none; when out is given (room for that length), the text so written there.
size_t text_with_crlf(const char *text, size_t len, char *out);
