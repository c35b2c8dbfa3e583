// A small Win32 program that dies on request inside the protected run, so that the
// crash tests can read the report it leaves in crash_probe.log.
#include <windows.h>
#include <string.h>

#include "util/log.h"
#include "util/visor.h"
#include "util/visor_win32.h"
#include "util/zone.h"

volatile int g_sink;

__attribute__((noinline)) int probe_divide(int a, int b) { return a / b; }

__attribute__((noinline)) void probe_divide_caller(void *) {
  volatile int zero = 0;
  g_sink = probe_divide(7, zero);
}

__attribute__((noinline)) void probe_assert(void *) {
  KQ_ASSERT_AT(g_sink == 12345, "probe", 42, "sink == 12345");
}

__attribute__((noinline)) void probe_trace(void *) {
  log_trace("from the probe\n");
  zone_alloc(10);  // left allocated on purpose: the block report must list it
}

int main(int argc, char **argv) {
  log_open();
  visor_load_map(GetModuleHandleA(nullptr));
  const char *what = argc > 1 ? argv[1] : "";
  void (*fn)(void *) = strcmp(what, "divide") == 0   ? probe_divide_caller
                       : strcmp(what, "assert") == 0 ? probe_assert
                                                     : probe_trace;
  protected_run(fn, nullptr);
  zone_block_report();
  zone_status_report();
  log_close();
  return 0;
}
