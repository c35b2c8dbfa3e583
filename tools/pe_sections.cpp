// Reading the PE section table through one bounds-checked cursor.
#include "tools/pe_sections.h"

#include <string.h>

namespace {

enum : uint32_t {
  kMachineI386 = 0x14C,
  kMagicPe32 = 0x10B,
  kSectionHeaderSize = 40,
  kScnCntCode = 0x00000020,
  kScnMemExecute = 0x20000000,
};

// A window data[0..size) with a read position; a read past the end yields 0 and clears ok.
struct Cursor {
  const uint8_t *data;
  size_t size;
  size_t offset;
  bool ok;
};

Cursor cursor_sub(const Cursor *c, size_t offset, size_t length) {
  if (offset > c->size || length > c->size - offset) return Cursor{c->data, 0, 0, false};
  return Cursor{c->data + offset, length, 0, true};
}

const uint8_t *cursor_take(Cursor *c, size_t n) {
  if (!c->ok || n > c->size - c->offset) {
    c->ok = false;
    return nullptr;
  }
  const uint8_t *p = c->data + c->offset;
  c->offset += n;
  return p;
}

uint32_t cursor_u16(Cursor *c) {
  const uint8_t *p = cursor_take(c, 2);
  return p ? (uint32_t)(p[0] | p[1] << 8) : 0;
}

uint32_t cursor_u32(Cursor *c) {
  const uint8_t *p = cursor_take(c, 4);
  return p ? (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24
           : 0;
}

void cursor_skip(Cursor *c, size_t n) { cursor_take(c, n); }

const char *read_section(Cursor *table, size_t file_size, PeSection *s) {
  const uint8_t *name = cursor_take(table, 8);
  uint32_t virtual_size = cursor_u32(table);
  s->rva = cursor_u32(table);
  uint32_t raw_size = cursor_u32(table);
  s->file_offset = cursor_u32(table);
  cursor_skip(table, 12);  // relocation and line-number pointers and counts
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
  Cursor file = {data, size, 0, true};
  Cursor dos = cursor_sub(&file, 0, 64);
  if (cursor_u16(&dos) != 0x5A4D) return "no MZ header";
  dos.offset = 0x3C;
  uint32_t pe_offset = cursor_u32(&dos);
  Cursor nt = cursor_sub(&file, pe_offset, 24);
  if (cursor_u32(&nt) != 0x00004550) return "no PE signature";
  uint32_t machine = cursor_u16(&nt);
  uint32_t section_count = cursor_u16(&nt);
  cursor_skip(&nt, 12);  // time stamp, symbol table pointer and count
  uint32_t optional_size = cursor_u16(&nt);
  if (machine != kMachineI386) return "not an i386 image";
  Cursor optional = cursor_sub(&file, (size_t)pe_offset + 24, optional_size);
  if (cursor_u16(&optional) != kMagicPe32) return "not a 32-bit (PE32) optional header";
  optional.offset = 28;
  image->image_base = cursor_u32(&optional);
  if (!optional.ok) return "optional header too short";
  if (section_count > PE_MAX_SECTIONS) return "too many sections";
  Cursor table = cursor_sub(&file, (size_t)pe_offset + 24 + optional_size,
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
