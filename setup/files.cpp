#include "setup/files.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "setup/files_stdio.h"

void text_copy_run(char *dst, size_t dstlen, const char *src, size_t n) {
  if (!dstlen) return;
  if (n >= dstlen) n = dstlen - 1;
  memcpy(dst, src, n);
  dst[n] = 0;
}

void setup_join(char *out, size_t outlen, const char *folder, const char *name) {
  char joined[2 * KQ_PATH + 2];
  size_t n = strlen(folder);
  bool separator = n && folder[n - 1] != '\\' && folder[n - 1] != '/';
  snprintf(joined, sizeof joined, "%s%s%s", folder, separator ? "\\" : "", name);
  text_copy(out, outlen, joined);
}

void *stdio_open_read(const char *path) {
  char native[KQ_PATH];
  files_native(native, path);
  return fopen(native, "rb");
}

void *stdio_create(const char *path) {
  char native[KQ_PATH];
  files_native(native, path);
  return fopen(native, "wb");
}

size_t stdio_read(void *file, void *buf, size_t len) { return fread(buf, 1, len, (FILE *)file); }

bool stdio_write(void *file, const void *buf, size_t len) {
  return fwrite(buf, 1, len, (FILE *)file) == len;
}

bool stdio_seek(void *file, uint32_t offset) {
  return fseek((FILE *)file, (long)offset, SEEK_SET) == 0;
}

bool stdio_size(void *file, uint32_t *size) {
  FILE *f = (FILE *)file;
  long here = ftell(f);
  if (fseek(f, 0, SEEK_END) != 0) return false;
  long end = ftell(f);
  fseek(f, here, SEEK_SET);
  if (end < 0) return false;
  *size = (uint32_t)end;
  return true;
}

bool stdio_close(void *file) {
  FILE *f = (FILE *)file;
  bool flushed = fflush(f) == 0 && !ferror(f);
  return fclose(f) == 0 && flushed;
}

bool stdio_remove_file(const char *path) {
  char native[KQ_PATH];
  files_native(native, path);
  return remove(native) == 0;
}

bool files_match(const char *pattern, const char *name) {
  // Iterative match with one back-track point, enough for "*" and "?".
  const char *star = nullptr, *resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' || tolower((unsigned char)*pattern) == tolower((unsigned char)*name)) {
      pattern++;
      name++;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') pattern++;
  return !*pattern;
}
