// The file calls both systems share through the C library; the platform files add the
// folder calls and put the table together.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "util/path.h"

// The path in the system's own spelling (defined per platform).
void files_native(char out[KQ_PATH], const char *path);

void *stdio_open_read(const char *path);
void *stdio_create(const char *path);
size_t stdio_read(void *file, void *buf, size_t len);
bool stdio_write(void *file, const void *buf, size_t len);
bool stdio_seek(void *file, uint32_t offset);
bool stdio_size(void *file, uint32_t *size);
bool stdio_close(void *file);
bool stdio_remove_file(const char *path);
// Wildcard match without regard to case, "*" any run and "?" one character.
bool files_match(const char *pattern, const char *name);
