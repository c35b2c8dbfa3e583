// The headers of a 32-bit PE image read from its file bytes: file header, optional
// header, data directories and section table, each checked to lie inside the file.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/byte_cursor.h"

enum {
  PE_MAX_SECTIONS = 96,     // the Windows loader refuses images with more
  PE_DIRECTORIES = 16,
  PE_DIR_EXPORT = 0,
  PE_DIR_DEBUG = 6,
  PE_DEBUG_STRIPPED = 0x200,
  PE_SECTION_NAME = 32,     // room for a long name from the string table, cut to fit
  PE_SYMBOL_SIZE = 18,      // one COFF symbol record
};

struct PeFileHeader {
  uint32_t machine, section_count, timestamp, symbol_table, symbol_count, optional_size,
      characteristics;
};

struct PeDirectory {
  uint32_t rva, size;
};

struct PeOptionalHeader {
  uint32_t magic, linker_major, linker_minor, size_of_code, size_of_data, size_of_bss,
      entry_rva, base_of_code, base_of_data, image_base, section_alignment, file_alignment,
      os_major, os_minor, image_major, image_minor, subsystem_major, subsystem_minor,
      win32_version, size_of_image, size_of_headers, checksum, subsystem,
      dll_characteristics, stack_reserve, stack_commit, heap_reserve, heap_commit,
      loader_flags, rva_count;
  PeDirectory directories[PE_DIRECTORIES];  // zero past rva_count
};

struct PeSectionHeader {
  char name[9];  // the 8 name bytes and a NUL
  // The name a reader looks sections up by: the 8 bytes, or for "/N" the text at offset N
  // of the COFF string table (how long names such as .debug_info are kept).
  char long_name[PE_SECTION_NAME];
  uint32_t virtual_size, rva, raw_size, raw_offset, characteristics;
};

// One record of the COFF symbol table, the name resolved through the string table.
struct PeSymbol {
  char name[256];  // cut to fit
  uint32_t value;
  int16_t section;  // 1-based; 0 undefined, negative absolute or debugging
  uint16_t type;    // 0x20: a function
  uint8_t storage;  // 2 external, 3 static
  uint8_t aux_count;
};

struct PeImage {
  ByteCursor file;       // the whole file
  ByteCursor symbols;    // the COFF symbol table; empty and not ok when there is none
  ByteCursor strings;    // the string table behind it, from its length DWORD
  uint8_t signature[4];  // "PE\0\0"
  PeFileHeader header;
  PeOptionalHeader optional;
  int section_count;
  PeSectionHeader sections[PE_MAX_SECTIONS];
};

// Reads the headers of data[0..size); false when the bytes are not a 32-bit PE image
// whose headers lie inside them, with a one-line reason in *why when why is given.
bool pe_read_image(const uint8_t *data, size_t size, PeImage *image, const char **why = nullptr);
// The file offset of an RVA: the first section in header order whose raw bytes hold it.
// False when no section does.
bool pe_rva_to_offset(const PeImage *image, uint32_t rva, uint32_t *offset);
// A window of length bytes at an RVA; not ok when the RVA has no file offset or the
// bytes run past the end of the file.
ByteCursor pe_rva_window(const PeImage *image, uint32_t rva, uint32_t length);
// The NUL-terminated text at an RVA, or null when it does not end inside the file.
const char *pe_rva_text(const PeImage *image, uint32_t rva);
// The first section whose long name is name, or null.
const PeSectionHeader *pe_find_section(const PeImage *image, const char *name);
// The raw bytes of a section, cut to the file; not ok when they start outside it.
ByteCursor pe_section_bytes(const PeImage *image, const PeSectionHeader *section);
// The COFF symbol record at index (auxiliary records count as indexes); false when the
// table has no such record.
bool pe_read_symbol(const PeImage *image, uint32_t index, PeSymbol *symbol);
