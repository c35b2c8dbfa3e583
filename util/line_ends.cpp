#include "util/line_ends.h"

size_t text_with_crlf(const char *text, size_t len, char *out) {
  size_t n = 0;
  for (size_t i = 0; i < len; i++) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      if (out) out[n] = '\r';
      n++;
    }
    if (out) out[n] = text[i];
    n++;
  }
  return n;
}
