// The multi-stream file of a program database 2.00: fixed-size pages addressed by WORD
// page numbers, and a root stream that lists every stream's size and pages.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/byte_cursor.h"

struct PdbFile {
  ByteCursor file;
  uint32_t page_size;
  uint8_t *root;  // zone block: the root stream's bytes
  size_t root_size;
  uint32_t stream_count;
  size_t *page_index;  // zone block: where each stream's page numbers start in root
};

// Reads the header and the root stream; false when the file is not a 2.00 program
// database whose root stream lies inside it.
bool pdb_open(PdbFile *pdb, const uint8_t *data, size_t size);
// A copy of stream n in a zone block (size in *size), or null when there is no such
// stream, it is empty, or a page lies outside the file.
uint8_t *pdb_read_stream(const PdbFile *pdb, uint32_t n, size_t *size);
void pdb_close(PdbFile *pdb);
