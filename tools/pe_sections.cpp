// The tools' checks on top of the program's PE reader.
#include "tools/pe_sections.h"

namespace {

enum : uint32_t {
  kMachineI386 = 0x14C,
  kScnCntCode = 0x00000020,
  kScnMemExecute = 0x20000000,
};

}  // namespace

const char *pe_read_sections(const uint8_t *data, size_t size, PeImage *image) {
  const char *why = nullptr;
  if (!pe_read_image(data, size, image, &why)) return why;
  if (image->header.machine != kMachineI386) return "not an i386 image";
  for (int i = 0; i < image->section_count; i++) {
    const PeSectionHeader *s = &image->sections[i];
    uint32_t bytes = pe_section_size(s);
    if (bytes && (s->raw_offset > size || bytes > size - s->raw_offset))
      return "section data runs past the end of the file";
  }
  return nullptr;
}

uint32_t pe_section_size(const PeSectionHeader *section) {
  uint32_t v = section->virtual_size, raw = section->raw_size;
  return v != 0 && v < raw ? v : raw;
}

bool pe_is_code(const PeSectionHeader *section) {
  return (section->characteristics & (kScnCntCode | kScnMemExecute)) != 0;
}
