// Reading the PE section table through one bounds-checked cursor.
#include "tools/pe_sections.h"

#include <string.h>

#include "symbols/byte_cursor.h"

namespace {

enum : uint32_t {
  kMachineI386 = 0x14C,
  kMagicPe32 = 0x10B,
  kSectionHeaderSize = 40,
  kScnCntCode = 0x00000020,
  kScnMemExecute = 0x20000000,
};

const char *read_section(ByteCursor *table, size_t file_size, PeSection *s) {
  const uint8_t *name = cursor_take(table, 8);
  uint32_t virtual_size = cursor_u32(table);
  s->rva = cursor_u32(table);
  uint32_t raw_size = cursor_u32(table);
  s->file_offset = cursor_u32(table);
  cursor_take(table, 12);  // relocation and line-number pointers and counts
  s->characteristics = cursor_u32(table);
  if (!table->ok) return "section table runs past the end of the file";
  memcpy(s->name, name, 8);
  s->name[8] = 0;
  // Bytes past the virtual size are file alignment padding, not part of the section.
  s->size = virtual_size != 0 && virtual_size < raw_size ? virtual_size : raw_size;
  if (s->size == 0) s->file_offset = 0;
  if (s->file_offset > file_size || s->size > file_size - s->file_offset)
    return "section data runs past the end of the file";
  return nullptr;
}

}  // namespace

const char *pe_read_sections(const uint8_t *data, size_t size, PeImage *image) {
  memset(image, 0, sizeof *image);
  ByteCursor file = cursor_make(data, size);
  ByteCursor dos = cursor_window(&file, 0, 64);
  if (cursor_u16(&dos) != 0x5A4D) return "no MZ header";
  cursor_seek(&dos, 0x3C);
  uint32_t pe_offset = cursor_u32(&dos);
  ByteCursor nt = cursor_window(&file, pe_offset, 24);
  if (cursor_u32(&nt) != 0x00004550) return "no PE signature";
  uint32_t machine = cursor_u16(&nt);
  uint32_t section_count = cursor_u16(&nt);
  cursor_take(&nt, 12);  // time stamp, symbol table pointer and count
  uint32_t optional_size = cursor_u16(&nt);
  if (machine != kMachineI386) return "not an i386 image";
  ByteCursor optional = cursor_window(&file, (size_t)pe_offset + 24, optional_size);
  if (cursor_u16(&optional) != kMagicPe32) return "not a 32-bit (PE32) optional header";
  cursor_seek(&optional, 28);
  image->image_base = cursor_u32(&optional);
  if (!optional.ok) return "optional header too short";
  if (section_count > PE_MAX_SECTIONS) return "too many sections";
  ByteCursor table = cursor_window(&file, (size_t)pe_offset + 24 + optional_size,
                            (size_t)section_count * kSectionHeaderSize);
  for (uint32_t i = 0; i < section_count; i++) {
    const char *error = read_section(&table, size, &image->sections[i]);
    if (error) return error;
  }
  image->section_count = (int)section_count;
  return nullptr;
}

bool pe_is_code(const PeSection *section) {
  return (section->characteristics & (kScnCntCode | kScnMemExecute)) != 0;
}
