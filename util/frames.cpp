#include "frames.h"
#include "platform.h"

__attribute__((noinline)) int frames_collect(uintptr_t *out, int max, int skip) {
  uintptr_t low = 0, high = 0;
  plat_stack_bounds(&low, &high);
  int n = 0;
  uintptr_t fp = (uintptr_t)__builtin_frame_address(0);
  while (n < max && fp >= low && fp + 2 * sizeof(uintptr_t) <= high &&
         fp % sizeof(uintptr_t) == 0) {
    const uintptr_t *frame = (const uintptr_t *)fp;
    uintptr_t next = frame[0], ret = frame[1];
    if (ret == 0) break;
    if (skip > 0) skip--;
    else out[n++] = ret;
    if (next <= fp) break;  // the chain must climb the stack
    fp = next;
  }
  for (int i = n; i < max; i++) out[i] = 0;
  return n;
}
