#include "symbols/pe_image.h"

#include <string.h>

namespace {

enum : uint32_t {
  kMzSignature = 0x5A4D,
  kPeSignature = 0x00004550,
  kMagicPe32 = 0x10B,
  kFileHeaderSize = 20,
  kOptionalFixedSize = 96,  // the optional header up to the data directories
  kSectionHeaderSize = 40,
};

void read_file_header(ByteCursor *c, PeFileHeader *h) {
  h->machine = cursor_u16(c);
  h->section_count = cursor_u16(c);
  h->timestamp = cursor_u32(c);
  h->symbol_table = cursor_u32(c);
  h->symbol_count = cursor_u32(c);
  h->optional_size = cursor_u16(c);
  h->characteristics = cursor_u16(c);
}

// The fields in file order; the two-byte ones are marked by a 2.
struct OptionalField {
  uint32_t PeOptionalHeader::*field;
  int width;
};
const OptionalField kOptionalFields[] = {
    {&PeOptionalHeader::magic, 2},           {&PeOptionalHeader::linker_major, 1},
    {&PeOptionalHeader::linker_minor, 1},    {&PeOptionalHeader::size_of_code, 4},
    {&PeOptionalHeader::size_of_data, 4},    {&PeOptionalHeader::size_of_bss, 4},
    {&PeOptionalHeader::entry_rva, 4},       {&PeOptionalHeader::base_of_code, 4},
    {&PeOptionalHeader::base_of_data, 4},    {&PeOptionalHeader::image_base, 4},
    {&PeOptionalHeader::section_alignment, 4}, {&PeOptionalHeader::file_alignment, 4},
    {&PeOptionalHeader::os_major, 2},        {&PeOptionalHeader::os_minor, 2},
    {&PeOptionalHeader::image_major, 2},     {&PeOptionalHeader::image_minor, 2},
    {&PeOptionalHeader::subsystem_major, 2}, {&PeOptionalHeader::subsystem_minor, 2},
    {&PeOptionalHeader::win32_version, 4},   {&PeOptionalHeader::size_of_image, 4},
    {&PeOptionalHeader::size_of_headers, 4}, {&PeOptionalHeader::checksum, 4},
    {&PeOptionalHeader::subsystem, 2},       {&PeOptionalHeader::dll_characteristics, 2},
    {&PeOptionalHeader::stack_reserve, 4},   {&PeOptionalHeader::stack_commit, 4},
    {&PeOptionalHeader::heap_reserve, 4},    {&PeOptionalHeader::heap_commit, 4},
    {&PeOptionalHeader::loader_flags, 4},    {&PeOptionalHeader::rva_count, 4},
};

uint32_t read_width(ByteCursor *c, int width) {
  return width == 1 ? cursor_u8(c) : width == 2 ? cursor_u16(c) : cursor_u32(c);
}

const char kOptionalPastEnd[] = "optional header runs past the end of the file";

// The directories present both by count and by the header's declared size. Null, or why
// the header cannot be read.
const char *read_optional_header(ByteCursor c, PeOptionalHeader *h) {
  for (const OptionalField &f : kOptionalFields) h->*f.field = read_width(&c, f.width);
  if (!c.ok) return kOptionalPastEnd;
  if (h->magic != kMagicPe32) return "not a 32-bit (PE32) optional header";
  uint32_t room = (uint32_t)(c.size - c.offset) / 8;
  uint32_t count = h->rva_count < room ? h->rva_count : room;
  for (uint32_t i = 0; i < count && i < PE_DIRECTORIES; i++) {
    h->directories[i].rva = cursor_u32(&c);
    h->directories[i].size = cursor_u32(&c);
  }
  return c.ok ? nullptr : kOptionalPastEnd;
}

void read_section_header(ByteCursor *c, PeSectionHeader *s) {
  const uint8_t *name = cursor_take(c, 8);
  if (name) memcpy(s->name, name, 8);
  s->name[8] = 0;
  s->virtual_size = cursor_u32(c);
  s->rva = cursor_u32(c);
  s->raw_size = cursor_u32(c);
  s->raw_offset = cursor_u32(c);
  cursor_take(c, 12);  // relocation and line-number pointers and counts
  s->characteristics = cursor_u32(c);
}

// Copies at most size - 1 bytes of text (which may lack a NUL inside n bytes).
void copy_cut(char *out, size_t size, const char *text, size_t n) {
  size_t length = 0;
  while (length < n && length + 1 < size && text[length]) length++;
  memcpy(out, text, length);
  out[length] = 0;
}

// The symbol table and the string table that directly follows it; both stay empty when
// the header names none or they do not fit the file.
void read_symbol_tables(PeImage *image) {
  const PeFileHeader &h = image->header;
  image->symbols = cursor_window(&image->file, h.symbol_table,
                                 (size_t)h.symbol_count * PE_SYMBOL_SIZE);
  if (!h.symbol_table || !image->symbols.ok) {
    image->symbols = ByteCursor{image->file.data, 0, 0, false};
    image->strings = image->symbols;
    return;
  }
  size_t at = h.symbol_table + (size_t)h.symbol_count * PE_SYMBOL_SIZE;
  ByteCursor length = cursor_window(&image->file, at, 4);
  image->strings = cursor_window(&image->file, at, cursor_u32(&length));
}

// The text at offset of the string table, or null.
const char *string_at(const PeImage *image, size_t offset) {
  return offset >= 4 ? cursor_text_at(&image->strings, offset) : nullptr;
}

void resolve_long_name(const PeImage *image, PeSectionHeader *s) {
  copy_cut(s->long_name, sizeof s->long_name, s->name, 8);
  if (s->name[0] != '/') return;
  uint32_t offset = 0;
  for (const char *digit = s->name + 1; *digit >= '0' && *digit <= '9'; digit++)
    offset = offset * 10 + (uint32_t)(*digit - '0');
  if (const char *text = string_at(image, offset))
    copy_cut(s->long_name, sizeof s->long_name, text, sizeof s->long_name);
}

bool refuse(const char **why, const char *reason) {
  if (why) *why = reason;
  return false;
}

}  // namespace

bool pe_read_image(const uint8_t *data, size_t size, PeImage *image, const char **why) {
  memset(image, 0, sizeof *image);
  image->file = cursor_make(data, size);
  ByteCursor c = image->file;
  if (cursor_u16(&c) != kMzSignature || !cursor_seek(&c, 0x3C))
    return refuse(why, "no MZ header");
  uint32_t pe_offset = cursor_u32(&c);
  if (!cursor_seek(&c, pe_offset) || cursor_u32(&c) != kPeSignature)
    return refuse(why, "no PE signature");
  memcpy(image->signature, "PE\0\0", 4);
  read_file_header(&c, &image->header);
  const PeFileHeader &h = image->header;
  if (!c.ok) return refuse(why, "file header runs past the end of the file");
  if (h.optional_size < kOptionalFixedSize) return refuse(why, "optional header too short");
  if (h.section_count > PE_MAX_SECTIONS) return refuse(why, "too many sections");
  ByteCursor optional = cursor_window(&image->file, c.offset, h.optional_size);
  if (const char *reason = read_optional_header(optional, &image->optional))
    return refuse(why, reason);
  ByteCursor table = cursor_window(&image->file, c.offset + h.optional_size,
                                   (size_t)h.section_count * kSectionHeaderSize);
  if (!table.ok) return refuse(why, "section table runs past the end of the file");
  image->section_count = (int)h.section_count;
  // The window holds the whole table, so every header read from it is complete.
  for (int i = 0; i < image->section_count; i++) read_section_header(&table, &image->sections[i]);
  read_symbol_tables(image);
  for (int i = 0; i < image->section_count; i++) resolve_long_name(image, &image->sections[i]);
  return true;
}

bool pe_rva_to_offset(const PeImage *image, uint32_t rva, uint32_t *offset) {
  for (int i = 0; i < image->section_count; i++) {
    const PeSectionHeader &s = image->sections[i];
    if (rva >= s.rva && rva - s.rva < s.raw_size) {
      *offset = rva - s.rva + s.raw_offset;
      return true;
    }
  }
  return false;
}

ByteCursor pe_rva_window(const PeImage *image, uint32_t rva, uint32_t length) {
  uint32_t offset = 0;
  if (!pe_rva_to_offset(image, rva, &offset)) return ByteCursor{image->file.data, 0, 0, false};
  return cursor_window(&image->file, offset, length);
}

const char *pe_rva_text(const PeImage *image, uint32_t rva) {
  uint32_t offset = 0;
  return pe_rva_to_offset(image, rva, &offset) ? cursor_text_at(&image->file, offset) : nullptr;
}

const PeSectionHeader *pe_find_section(const PeImage *image, const char *name) {
  for (int i = 0; i < image->section_count; i++)
    if (!strcmp(image->sections[i].long_name, name)) return &image->sections[i];
  return nullptr;
}

ByteCursor pe_section_bytes(const PeImage *image, const PeSectionHeader *section) {
  size_t offset = section->raw_offset, size = image->file.size;
  size_t length = section->raw_size;
  // The virtual size is the true length: the raw size is padded to the file alignment.
  if (section->virtual_size && section->virtual_size < length) length = section->virtual_size;
  if (offset <= size && length > size - offset) length = size - offset;
  return cursor_window(&image->file, offset, length);
}

bool pe_read_symbol(const PeImage *image, uint32_t index, PeSymbol *symbol) {
  ByteCursor c = image->symbols;
  if (!cursor_seek(&c, (size_t)index * PE_SYMBOL_SIZE)) return false;
  const uint8_t *name = cursor_take(&c, 8);
  symbol->value = cursor_u32(&c);
  symbol->section = (int16_t)cursor_u16(&c);
  symbol->type = cursor_u16(&c);
  symbol->storage = cursor_u8(&c);
  symbol->aux_count = cursor_u8(&c);
  if (!c.ok) return false;
  // A name of up to 8 bytes stands in the record; a longer one is a zero DWORD and the
  // offset of the text in the string table.
  if (name[0] || name[1] || name[2] || name[3]) {
    copy_cut(symbol->name, sizeof symbol->name, (const char *)name, 8);
  } else {
    uint32_t offset = (uint32_t)name[4] | (uint32_t)name[5] << 8 | (uint32_t)name[6] << 16 |
                      (uint32_t)name[7] << 24;
    const char *text = string_at(image, offset);
    copy_cut(symbol->name, sizeof symbol->name, text ? text : "", sizeof symbol->name);
  }
  return true;
}
