// Reading a new module's image file: PE dump, exports, sections and debug information.
#include <stdlib.h>
#include <string.h>

#include "symbols/debug_info.h"
#include "symbols/entries.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_dump.h"
#include "symbols/pe_exports.h"
#include "util/log.h"
#include "util/zone.h"

namespace {

enum { kSubsystemNative = 1, kSubsystemGui = 2, kSubsystemConsole = 3 };
// Far more than any real image exports (the largest of Wine's DLLs has under 100 KB of
// names); the ordinal table's 16-bit indexes reach 65536 functions.
const size_t kExportNameBytes = 4 << 20;
const int kMaxExports = 65536;

// By address; aliases of one function by the place of their names in the file, so the
// order does not depend on the sort.
int compare_export_rva(const void *a, const void *b) {
  const PeExport *x = (const PeExport *)a, *y = (const PeExport *)b;
  if (x->rva != y->rva) return x->rva > y->rva ? 1 : -1;
  return (x->name > y->name) - (x->name < y->name);
}

// The image's exports by address, as many as are kept; false without an export directory.
bool sorted_exports(const ModuleRecord *m, const PeImage *image, PeExportDirectory *dir,
                    PeExport **exports, int *kept) {
  *exports = nullptr;
  *kept = 0;
  if (!pe_read_export_directory(image, dir)) return false;
  int count = pe_read_exports(image, dir, exports);
  // Names may all point at one long text: a file of a few megabytes could otherwise
  // make gigabytes of module text and entries.
  size_t total = 0;
  for (int i = 0; i < count; i++) {
    total += strlen((*exports)[i].name);
    if (total <= kExportNameBytes && i < kMaxExports) continue;
    log_warning("Exports of %s beyond the first %i are left out", m->path, i);
    count = i;
  }
  if (count) qsort(*exports, (size_t)count, sizeof(PeExport), compare_export_rva);
  *kept = count;
  return true;
}

void load_exports(ModuleRecord *m, const PeImage *image) {
  PeExportDirectory dir;
  PeExport *exports;
  int count;
  if (!sorted_exports(m, image, &dir, &exports, &count)) return;
  ModuleText *t = &m->text;
  text_append(t, "// \tExport function table:\n");
  text_append(t, "//  Name:            %s\n", dir.dll_name);
  text_append(t, "//  Characteristics: %08X\n", dir.characteristics);
  text_append(t, "//  TimeDateStamp:   %08X\n", dir.timestamp);
  text_append(t, "//  Version:         %u.%02u\n", dir.major, dir.minor);
  text_append(t, "//  Ordinal base:    %08X\n", dir.ordinal_base);
  text_append(t, "//  # of functions:  %08X\n", dir.function_count);
  text_append(t, "//  # of Names:      %08X\n", dir.name_count);
  text_append(t, "\n");
  m->exports = count ? (ExportLine *)zone_alloc((size_t)count * sizeof(ExportLine)) : nullptr;
  uint32_t first_line = (uint32_t)t->lines + 1;
  for (int i = 0; m->exports && i < count; i++) {
    uint32_t address = m->base + exports[i].rva;
    uint32_t next = i + 1 < count ? m->base + exports[i + 1].rva : m->end;
    text_append(t, "\t%s\t// [%i]\n", exports[i].name, (int)(next - address));
    m->exports[i] = ExportLine{first_line + (uint32_t)i, address};
    entry_define(exports[i].name, address, nullptr, nullptr);
  }
  if (m->exports) m->export_count = count;
  zone_free(exports);
}

void load_sections(ModuleRecord *m, const PeImage *image) {
  if (!image->section_count) return;
  m->sections = (SectionInfo *)zone_alloc((size_t)image->section_count * sizeof(SectionInfo));
  if (!m->sections) return;
  m->section_count = image->section_count;
  for (int i = 0; i < image->section_count; i++) {
    const PeSectionHeader &s = image->sections[i];
    SectionInfo &info = m->sections[i];
    memcpy(info.name, s.name, sizeof info.name);
    info.address = m->base + s.rva;
    info.size = s.raw_size;
    info.characteristics = s.characteristics;
  }
}

}  // namespace

void module_define_exports(ModuleRecord *m, const PeImage *image) {
  PeExportDirectory dir;
  PeExport *exports;
  int count;
  sorted_exports(m, image, &dir, &exports, &count);
  for (int i = 0; i < count; i++)
    entry_define(exports[i].name, m->base + exports[i].rva, nullptr, nullptr);
  zone_free(exports);
}

void module_parse_bytes(ModuleRecord *m, const uint8_t *data, size_t size) {
  PeImage *image = (PeImage *)zone_alloc(sizeof(PeImage));
  if (!image) return;
  if (pe_read_image(data, size, image)) {
    uint32_t subsystem = image->optional.subsystem;
    if (subsystem == kSubsystemNative || subsystem == kSubsystemConsole ||
        subsystem == kSubsystemGui) {
      m->console = subsystem != kSubsystemGui;
      m->subsystem = subsystem;
      // Relative to where the module is, not where the file wanted it: a relocated DLL
      // has its entry and data there too.
      m->entry = m->base + image->optional.entry_rva;
      m->data = m->base + image->optional.base_of_data;
      m->image_base = image->optional.image_base;
      pe_dump(image, m->path, &m->text);
      load_exports(m, image);
      load_sections(m, image);
      debug_info_load(m, image);
    } else {
      log_printf("Unknown subsystem %i\n", (int)subsystem);
    }
  }
  zone_free(image);
}

void module_parse_image(ModuleRecord *m) {
  const uint8_t *view = map_file(m->path);
  if (!view) return;
  module_parse_bytes(m, view, mapped_size(view));
  unmap_file(view);
}
