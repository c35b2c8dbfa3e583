// Any text as a decorated name: both forms agree on whether it is one, every output ends
// inside its buffer, a shorter buffer holds a prefix of a longer one's text, and text that
// is not a decorated name comes back as it was. Seeds: the names the undecorator's oracle
// test lists in its build folder (undecorate_names.txt), one file each.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "symbols/undecorate_msvc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 4096) return 0;
  char decorated[4097];
  memcpy(decorated, data, size);
  decorated[size] = 0;
  static char name[1024], full[2048], cut[13];
  bool is_name = undecorate_msvc(decorated, UNDECORATE_NAME, name, sizeof name);
  bool is_full = undecorate_msvc(decorated, UNDECORATE_SIGNATURE, full, sizeof full);
  if (is_name != is_full) __builtin_trap();
  if (strnlen(name, sizeof name) == sizeof name || strnlen(full, sizeof full) == sizeof full)
    __builtin_trap();
  if (!is_name && strncmp(name, decorated, sizeof name - 1) != 0) __builtin_trap();
  undecorate_msvc(decorated, UNDECORATE_SIGNATURE, cut, sizeof cut);
  if (strnlen(cut, sizeof cut) == sizeof cut || strncmp(cut, full, strlen(cut)) != 0)
    __builtin_trap();
  return 0;
}
