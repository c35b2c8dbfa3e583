// The C++ name reader on any text after "_Z": the text it writes ends inside its buffer (empty when
// it cannot read the name), a name it reads into a large buffer it reads into a small one too
// (whose printing stops early), and the small buffer holds the start of the large one's text.
// The name alone is read whenever the whole is, and stands in the whole's text.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "symbols/demangle_itanium.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  char *name = (char *)malloc(size + 3);
  memcpy(name, "_Z", 2);
  memcpy(name + 2, data, size);
  name[size + 2] = '\0';
  char full[4096], cut[24];
  memset(cut, 0x7F, sizeof cut);
  bool read = demangle_itanium(name, full, sizeof full);
  bool read_cut = demangle_itanium(name, cut, sizeof cut);
  if (read && !read_cut) __builtin_trap();
  if (!memchr(cut, 0, sizeof cut) || !memchr(full, 0, sizeof full)) __builtin_trap();
  if ((!read && full[0]) || (!read_cut && cut[0])) __builtin_trap();
  if (read && strncmp(full, cut, strlen(cut))) __builtin_trap();
  char alone[4096];
  bool read_alone = demangle_itanium_name(name, alone, sizeof alone);
  if (read && !read_alone) __builtin_trap();
  if (read && strlen(full) + 1 < sizeof full && !strstr(full, alone)) __builtin_trap();
  free(name);
  return 0;
}
