// Walking the frame-pointer chain (every image is built with frame pointers).
#pragma once
#include <stddef.h>
#include <stdint.h>

// Fills up to max return addresses, innermost first, and gives how many were found; the
// rest of out is zeroed. skip 0 starts with the return address into the function that
// called frames_collect, skip 1 with the one into its caller, and so on.
int frames_collect(uintptr_t *out, int max, int skip);
