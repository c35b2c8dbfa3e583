// Parameter values of layout scripts.
#include "ui/layout_values.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace {

struct ColourName {
  const char *name;
  uint32_t value;
};

const ColourName kColours[] = {
    {"black", 0x000000}, {"red", 0x0000FF},   {"blue", 0xFF0000},    {"cyan", 0xFFFF00},
    {"green", 0x00FF00}, {"yellow", 0x00FFFF}, {"magenta", 0xFF00FF}, {"white", 0xFFFFFF},
};

}  // namespace

bool layout_size_spec(const char *text, SizeSpec *spec) {
  if (!strcmp(text, "*")) {
    spec->rel = -1.0f;
    spec->min = 0.0f;
    return true;
  }
  bool percent = *text == '%';
  if (percent) text++;
  char *end;
  double number = strtod(text, &end);
  if (end == text) return false;
  if (*end == '%') percent = true;
  // Beyond these a size means nothing on a screen and would only overflow positions.
  if (!(number >= 0.0 && number <= (percent ? LAYOUT_MAX_PERCENT : LAYOUT_MAX_PIXELS)))
    return false;
  if (percent) {
    spec->rel = (float)(number / 100.0);
  } else {
    spec->min = (float)number;
    spec->rel = 0.0f;
  }
  return true;
}

bool layout_colour(const char *name, uint32_t *colour) {
  for (const ColourName &c : kColours) {
    if (strcasecmp(c.name, name)) continue;
    *colour = c.value;
    return true;
  }
  return false;
}

bool layout_truth(const char *text) {
  if (!strcasecmp(text, "true")) return true;
  if (!strcasecmp(text, "false")) return false;
  long value = *text == '#' ? strtol(text + 1, nullptr, 16) : strtol(text, nullptr, 0);
  return (value & 0xFF) != 0;
}
