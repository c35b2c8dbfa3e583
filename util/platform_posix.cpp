// Host implementation of the platform seam (Linux), used by the host build and its tests.
#include "platform.h"

#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

void plat_module_path(char *out, size_t outlen) {
  if (!outlen) return;
  ssize_t n = readlink("/proc/self/exe", out, outlen - 1);
  out[n > 0 ? n : 0] = 0;
}

void plat_local_time(PlatTime *t) {
  time_t now = time(nullptr);
  struct tm tmv;
  localtime_r(&now, &tmv);
  t->hour = tmv.tm_hour;
  t->minute = tmv.tm_min;
  t->day = tmv.tm_mday;
  t->month = tmv.tm_mon + 1;
  t->year = tmv.tm_year + 1900;
}

bool plat_debugger_present() {
  FILE *f = fopen("/proc/self/status", "r");
  if (!f) return false;
  char line[256];
  int tracer = 0;
  while (fgets(line, sizeof line, f))
    if (sscanf(line, "TracerPid: %d", &tracer) == 1) break;
  fclose(f);
  return tracer != 0;
}

void plat_debug_break() { raise(SIGTRAP); }
void plat_beep() {}
void plat_terminate(int code) { _exit(code & 0xFF); }

void plat_stack_bounds(uintptr_t *low, uintptr_t *high) {
  // Asking once per thread: on the main thread the query reads /proc/self/maps.
  static thread_local uintptr_t cached_low, cached_high;
  if (!cached_high) {
    pthread_attr_t attr;
    void *addr = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      if (pthread_attr_getstack(&attr, &addr, &size) == 0) {
        cached_low = (uintptr_t)addr;
        cached_high = (uintptr_t)addr + size;
      }
      pthread_attr_destroy(&attr);
    }
  }
  *low = cached_low;
  *high = cached_high;
}
