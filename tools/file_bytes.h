// A whole file in memory, for the tools that read PE images and raw code dumps.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct FileBytes {
  uint8_t *data;  // malloc'ed; null when empty or not read
  size_t size;
};

// Reads the whole file; false (and an empty record) when it cannot be opened or read.
bool file_bytes_read(const char *path, FileBytes *file);
void file_bytes_free(FileBytes *file);
