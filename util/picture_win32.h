// Pictures as Windows bitmaps: GIF files stored among a module's resources (RCDATA, by
// name or number), in memory or in a file. The first image of the file becomes a bitmap
// compatible with the screen; its transparent colour is kept for the caller to ask.
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

// name is a resource name (compared without regard to case) or, below 65536, a number.
// None, with a warning in the log, when the module has no such resource.
HBITMAP picture_load(HINSTANCE module, const char *name);
HBITMAP picture_load_memory(const void *data, size_t size);
// None, with a warning in the log, when the file cannot be opened.
HBITMAP picture_load_file(const char *path);
// The transparent colour (0x00BBGGRR) of the last picture made into a bitmap, -1 for none.
int32_t picture_last_transparent();
