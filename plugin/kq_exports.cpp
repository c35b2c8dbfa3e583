// The utility group of the plug-in interface.
#define KQ_BUILDING_DEBUGGER
#include "plugin/kqplugin.h"

#include <stdarg.h>
#include <stdio.h>

#include "plugin/plugins.h"
#include "util/log.h"

extern "C" {

DBGAPI void KQ_SetTitle(char *title) {
  plugin_set_title(title);
}

DBGAPI void KQ_Printf(char *format, ...) {
  char text[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  log_write(text);
}

DBGAPI void KQ_Dump(BYTE *data, DWORD size) { log_hexdump(data, size); }
}
