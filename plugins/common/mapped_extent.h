// How far memory handed to a plug-in may be read: the interface passes a mapped file's
// start without its size.
#pragma once
#include <stddef.h>

// Bytes readable from start to the end of the allocation that holds it (for a mapped
// view of a file, the end of its last page; the bytes past the file's end read as
// zeros). 0 when start is not readable committed memory.
size_t mapped_extent(const void *start);
