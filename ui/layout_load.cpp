// Loading the layout script.
#include "ui/layout_load.h"

#include <stdio.h>

#include "ui/layout_check.h"
#include "util/log.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

// The whole file in one block, ended by a zero byte; null when it cannot be read.
char *read_whole_file(const char *file, size_t *len) {
  FILE *f = fopen(file, "rb");
  if (!f) return nullptr;
  char *text = nullptr;
  size_t used = 0;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
    text = (char *)zone_append(text, chunk, n);
    used += n;
  }
  fclose(f);
  text = (char *)zone_append(text, "", 1);
  *len = used;
  return text;
}

}  // namespace

LayoutResult layout_read_text(Layout *layout, const char *text, size_t len, uint32_t background,
                              char *why, size_t whylen) {
  layout_free(layout);
  char error[KQ_PATH];
  int line = 0;
  layout->tree = layout_parse(text, len, error, sizeof error, &line);
  if (!layout->tree) {
    log_printf("Error:%s in line %d\n", error, line);
    if (whylen) snprintf(why, whylen, "%s in line %d", error, line);
    return LAYOUT_SYNTAX_ERROR;
  }
  if (!layout_build(layout, background)) {
    layout_free(layout);
    return LAYOUT_NO_HOLDER;
  }
  for (int i = layout->holdernum - 1; i >= 0; i--) {
    Holder *h = layout->holders[i];
    const char *why = layout_connect(h);
    if (!why) why = layout_check(h);
    if (!why) continue;
    log_warning("Holder '%s' cannot be laid out: %s", h->id ? h->id : "", why);
    layout_free(layout);
    return LAYOUT_INCONSISTENT;
  }
  return LAYOUT_LOADED;
}

LayoutResult layout_read_file(Layout *layout, const char *file, uint32_t background, char *why,
                              size_t whylen) {
  log_printf("Parsing layout script '%s'\n", file);
  size_t len;
  char *text = read_whole_file(file, &len);
  if (!text) {
    layout_free(layout);
    log_warning("Cannot open '%s'", file);
    return LAYOUT_CANNOT_OPEN;
  }
  LayoutResult result = layout_read_text(layout, text, len, background, why, whylen);
  zone_free(text);
  return result;
}

bool layout_load(Layout *layout, const char *file, const char *builtin, size_t builtin_len,
                 uint32_t background, char *why, size_t whylen) {
  if (whylen) why[0] = 0;
  LayoutResult result = layout_read_file(layout, file, background, why, whylen);
  if (result == LAYOUT_LOADED) return true;
  if (result == LAYOUT_NO_HOLDER) log_warning("Layout script '%s' defines no holder", file);
  log_info("Using the built-in layout script instead of '%s'", file);
  return layout_read_text(layout, builtin, builtin_len, background) == LAYOUT_LOADED;
}
