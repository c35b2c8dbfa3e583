/* A program whose call stack grows and shrinks slowly, for the animation panel. The wanted
   depth walks 0, 1, ..., 7, 6, ..., 1 and again, one step every 250 ms; kq_descend goes one
   level deeper through kq_level_N, which calls kq_descend again, and returns when the
   depth falls below its own, while the innermost frame spins in kq_spin. So the stack is
   main, kq_descend, then (kq_level_N, kq_descend) once per level, then kq_spin. Every
   function is exported so that a debugger knows it by name, and keeps its frame pointer
   (the target sets -O0 -fno-omit-frame-pointer) so that the stack can be walked.
   kq_depth holds the depth being shown. No console: its window would cover the debugger. */
#include <windows.h>

#define EXPORT __declspec(dllexport)
enum { LEVELS = 7, HOLD_MS = 250 };  /* depths 0 .. LEVELS */

EXPORT volatile int kq_depth;
static DWORD g_start;

/* The depth wanted now: a triangle over 0 .. LEVELS. */
static int wanted(void) {
  const int period = 2 * LEVELS;
  const int step = (int)((GetTickCount() - g_start) / HOLD_MS) % period;
  return step <= LEVELS ? step : period - step;
}

EXPORT void kq_spin(int depth) {
  kq_depth = depth;
  while (wanted() == depth) {
  }
}

EXPORT void kq_descend(int depth);
EXPORT void kq_level_0(void) { kq_descend(1); }
EXPORT void kq_level_1(void) { kq_descend(2); }
EXPORT void kq_level_2(void) { kq_descend(3); }
EXPORT void kq_level_3(void) { kq_descend(4); }
EXPORT void kq_level_4(void) { kq_descend(5); }
EXPORT void kq_level_5(void) { kq_descend(6); }
EXPORT void kq_level_6(void) { kq_descend(7); }
static void (*const kLevels[LEVELS])(void) = {kq_level_0, kq_level_1, kq_level_2, kq_level_3,
                                              kq_level_4, kq_level_5, kq_level_6};

/* depth levels stand on the stack below this frame; the deepest spins only. */
EXPORT void kq_descend(int depth) {
  for (;;) {
    kq_spin(depth);
    if (wanted() < depth || depth == LEVELS) return;
    kLevels[depth]();
  }
}

EXPORT int main(void) {
  g_start = GetTickCount();
  kq_descend(0);
  return 0;
}
