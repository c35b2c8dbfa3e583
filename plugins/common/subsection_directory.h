// The subsection directory that CodeView (NB09, NB11) and Borland data share: at the
// DWORD offset 4 bytes into the data, WORD header size, WORD entry size and DWORD entry
// count; the entries follow the header, each a WORD kind, WORD module index, DWORD offset
// from the data's start and DWORD size. Which kinds a reader reads, in which order, and
// what it makes of a bad entry are its own.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/byte_cursor.h"

struct SubsectionDirectory {
  ByteCursor data;
  ByteCursor entries;  // from the first entry to the end of the data
  uint16_t entry_size;
  uint32_t count;
};

struct Subsection {
  uint16_t kind, module;
  uint32_t size;
  ByteCursor bytes;  // not ok when it lies outside the data
};

// Reads the directory's header; false when it lies outside the data or its entries are
// shorter than an entry's fields.
bool directory_open(ByteCursor data, SubsectionDirectory *directory);
// Whether all count entries lie inside the data.
bool directory_fits(const SubsectionDirectory *directory);
// Entry i; false when it lies outside the data.
bool directory_entry(const SubsectionDirectory *directory, uint32_t i, Subsection *entry);
