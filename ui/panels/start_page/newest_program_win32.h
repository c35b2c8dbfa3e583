// The open-file dialog's guess without a debuggee: the program last written in the
// current folder.
#pragma once
#include <stddef.h>

// The file name of the newest "*.exe" of the current folder, by last write time; false
// (out empty) when there is none, or when the folder's path is too long for its pattern.
bool newest_program_here(char *out, size_t outlen);
