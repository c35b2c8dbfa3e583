#include "plugins/common/load_status.h"

#include <stdarg.h>
#include <stdio.h>

namespace {

const char *const kTexts[LOAD_STATUS_COUNT] = {
    "read",
    "not this reader's format",
    "file not found",
    "file truncated",
    "bad signature",
    "unknown version",
    "built for another link of the image",
    "bad subsection directory",
    "format not read",
    "out of memory",
    "cancelled by the user",
};

}  // namespace

const char *load_status_text(LoadStatus status) {
  return status >= 0 && status < LOAD_STATUS_COUNT ? kTexts[status] : "unknown status";
}

LoadStatus load_refuse(const DebugApi *api, LoadStatus status, const char *format, ...) {
  if (status == LOAD_OK || status == LOAD_FOREIGN || !api->refuse) return status;
  char details[1024] = "";
  if (format) {
    va_list ap;
    va_start(ap, format);
    vsnprintf(details, sizeof details, format, ap);
    va_end(ap);
  }
  char text[1200];
  snprintf(text, sizeof text, "%s%s%s", load_status_text(status), *details ? ": " : "", details);
  // A name from a forged file may hold line breaks: the reason stays one line.
  for (char *p = text; *p; p++)
    if ((unsigned char)*p < ' ') *p = '?';
  api->refuse(text);
  return status;
}

bool load_progress(const DebugApi *api, bool *cancelled, uint32_t done, uint32_t total) {
  if (!*cancelled && api->progress && !api->progress(done, total)) *cancelled = true;
  return !*cancelled;
}
