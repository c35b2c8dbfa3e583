// The export directory of a PE image: its header fields and the named exports, each
// checked against the file.
#pragma once
#include <stdint.h>

#include "symbols/pe_image.h"

struct PeExportDirectory {
  const char *dll_name;  // inside the file; "" when the name RVA leads nowhere
  uint32_t characteristics, timestamp, major, minor, ordinal_base, function_count,
      name_count, functions_rva, names_rva, ordinals_rva;
};

struct PeExport {
  const char *name;  // inside the file
  uint32_t rva;      // of the function (or of the forwarder text)
  uint32_t ordinal;  // ordinal base + index in the address table
};

// False when the image has no export directory that lies in the file.
bool pe_read_export_directory(const PeImage *image, PeExportDirectory *dir);
// Fills out (a zone block of name_count exports, or null; free it) with the named exports
// in name-table order and gives their count. A name whose text, ordinal or function lies
// outside the file is left out.
int pe_read_exports(const PeImage *image, const PeExportDirectory *dir, PeExport **out);
