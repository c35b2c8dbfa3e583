#include "path.h"

#include <string.h>

void text_copy(char *dst, size_t dstlen, const char *src) {
  if (!dstlen) return;
  size_t n = strlen(src);
  if (n >= dstlen) n = dstlen - 1;
  memmove(dst, src, n);
  dst[n] = 0;
}

void path_replace_extension(char *out, size_t outlen, const char *path, const char *ext) {
  size_t len = strlen(path);
  size_t name = len;
  while (name > 0 && path[name - 1] != '\\' && path[name - 1] != '/' && path[name - 1] != ':')
    name--;
  size_t first = name;
  while (first < len && path[first] == '.') first++;  // leading dots belong to the name
  const char *dot = nullptr;
  for (size_t i = first; i < len; i++)
    if (path[i] == '.') dot = path + i;
  size_t keep = dot ? (size_t)(dot - path) : len;
  if (!outlen) return;
  if (keep >= outlen) keep = outlen - 1;
  memmove(out, path, keep);
  out[keep] = 0;
  size_t rest = outlen - 1 - keep;
  size_t elen = strlen(ext);
  if (elen > rest) elen = rest;
  memcpy(out + keep, ext, elen);
  out[keep + elen] = 0;
}
