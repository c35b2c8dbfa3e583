// Reading a whole file with stdio, so the same code serves the host and Win32.
#include "tools/file_bytes.h"

#include <stdio.h>
#include <stdlib.h>

bool file_bytes_read(const char *path, FileBytes *file) {
  file->data = nullptr;
  file->size = 0;
  FILE *f = fopen(path, "rb");
  if (!f) return false;
  bool ok = fseek(f, 0, SEEK_END) == 0;
  long size = ok ? ftell(f) : -1;
  ok = size >= 0 && fseek(f, 0, SEEK_SET) == 0;
  if (ok && size > 0) {
    file->data = (uint8_t *)malloc((size_t)size);
    ok = file->data && fread(file->data, 1, (size_t)size, f) == (size_t)size;
    file->size = ok ? (size_t)size : 0;
  }
  fclose(f);
  if (!ok) file_bytes_free(file);
  return ok;
}

void file_bytes_free(FileBytes *file) {
  free(file->data);
  file->data = nullptr;
  file->size = 0;
}
