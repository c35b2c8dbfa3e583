#include "symbols/pe_exports.h"

#include <string.h>

#include "util/zone.h"

namespace {
enum { kExportDirectorySize = 40 };

// A table of count items of width bytes at an RVA; not ok when it does not fit the file.
ByteCursor table_window(const PeImage *image, uint32_t rva, uint32_t count, uint32_t width) {
  uint64_t length = (uint64_t)count * width;
  if (length > image->file.size) return ByteCursor{image->file.data, 0, 0, false};
  return pe_rva_window(image, rva, (uint32_t)length);
}

}  // namespace

bool pe_read_export_directory(const PeImage *image, PeExportDirectory *dir) {
  memset(dir, 0, sizeof *dir);
  const PeDirectory &d = image->optional.directories[PE_DIR_EXPORT];
  ByteCursor c = pe_rva_window(image, d.rva, kExportDirectorySize);
  dir->characteristics = cursor_u32(&c);
  dir->timestamp = cursor_u32(&c);
  dir->major = cursor_u16(&c);
  dir->minor = cursor_u16(&c);
  uint32_t name_rva = cursor_u32(&c);
  dir->ordinal_base = cursor_u32(&c);
  dir->function_count = cursor_u32(&c);
  dir->name_count = cursor_u32(&c);
  dir->functions_rva = cursor_u32(&c);
  dir->names_rva = cursor_u32(&c);
  dir->ordinals_rva = cursor_u32(&c);
  const char *name = pe_rva_text(image, name_rva);
  dir->dll_name = name ? name : "";
  return c.ok;
}

int pe_read_exports(const PeImage *image, const PeExportDirectory *dir, PeExport **out) {
  *out = nullptr;
  // Both name tables must fit the file before their count sizes an allocation.
  ByteCursor names = table_window(image, dir->names_rva, dir->name_count, 4);
  ByteCursor ordinals = table_window(image, dir->ordinals_rva, dir->name_count, 2);
  if (!names.ok || !ordinals.ok || !dir->name_count) return 0;
  PeExport *exports = (PeExport *)zone_alloc((size_t)dir->name_count * sizeof(PeExport));
  if (!exports) return 0;
  int count = 0;
  for (uint32_t i = 0; i < dir->name_count; i++) {
    const char *name = pe_rva_text(image, cursor_u32(&names));
    uint32_t index = cursor_u16(&ordinals);
    ByteCursor function = table_window(image, dir->functions_rva, index + 1, 4);
    if (!name || index >= dir->function_count || !cursor_seek(&function, index * 4)) continue;
    exports[count].name = name;
    exports[count].rva = cursor_u32(&function);
    exports[count].ordinal = dir->ordinal_base + index;
    count++;
  }
  if (!count) exports = (PeExport *)zone_free(exports);
  *out = exports;
  return count;
}
