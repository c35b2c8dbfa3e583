// The multi-stream file of a program database: fixed-size pages and a root stream that
// lists every stream's size and pages. Version 2.00 numbers its pages with WORDs and lists
// the root's pages in its header; the MSF 7.00 container (msf7_file.h) numbers them with
// DWORDs and lists the root's pages in a page of their own. Both are read the same way
// from there on.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/byte_cursor.h"

struct PdbFile {
  ByteCursor file;
  uint32_t page_size;
  uint8_t page_width;   // bytes of a page number: 2 or 4
  uint8_t size_stride;  // bytes of a stream's entry in the root's size table: 8 or 4
  uint8_t *root;        // zone block: the root stream's bytes
  size_t root_size;
  uint32_t stream_count;
  size_t *page_index;  // zone block: where each stream's page numbers start in root
};

// Reads the header and the root stream; false when the file is not a 2.00 program
// database whose root stream lies inside it.
bool pdb_open(PdbFile *pdb, const uint8_t *data, size_t size);
// Reads the root stream of size bytes from the pages whose numbers root_pages holds, once
// the header has set file, page_size, page_width and size_stride; false when it does not
// lie inside the file.
bool pdb_open_root(PdbFile *pdb, ByteCursor root_pages, uint32_t root_size);
// A copy of stream n in a zone block (size in *size), or null when there is no such
// stream, it is empty, or a page lies outside the file.
uint8_t *pdb_read_stream(const PdbFile *pdb, uint32_t n, size_t *size);
void pdb_close(PdbFile *pdb);
