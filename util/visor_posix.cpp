// Host build of the crash handler: no structured exceptions; a fatal error ends the
// process after logging it.
#include <stdarg.h>
#include <stdio.h>

#include "crash_report.h"
#include "platform.h"
#include "visor.h"

namespace {
int g_depth;
}

void protected_run(void (*fn)(void *), void *arg) {
  g_depth++;
  fn(arg);
  g_depth--;
}

int protected_depth() { return g_depth; }

void fatal_error(const char *fmt, ...) {
  char message[2048];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(message, sizeof message, fmt, ap);
  va_end(ap);
  crash_log_unhandled(message);
  plat_terminate(-1);
}
