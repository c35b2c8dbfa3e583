// The multi-stream file of a program database: fixed-size pages and a root stream that
// lists every stream's size and pages. Version 2.00 numbers its pages with WORDs and lists
// the root's pages in its header; the MSF 7.00 container (msf7_file.h) numbers them with
// DWORDs and lists the root's pages in a page of their own. Both are read the same way
// from there on.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/byte_cursor.h"

// A stream's bytes: the file's own when its pages follow one another (most streams of real
// files), else a copy gathered page by page into the zone block copy (null when in place).
struct PdbStream {
  const uint8_t *bytes;
  size_t size;
  uint8_t *copy;
};

struct PdbFile {
  ByteCursor file;
  uint32_t page_size;
  uint8_t page_width;   // bytes of a page number: 2 or 4
  uint8_t size_stride;  // bytes of a stream's entry in the root's size table: 8 or 4
  const uint8_t *root;  // the root stream's bytes
  size_t root_size;
  PdbStream root_stream;
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
// Stream n; its bytes are null (size 0) when there is no such stream, it is empty, a page
// lies outside the file or a copy finds no memory.
PdbStream pdb_read_stream(const PdbFile *pdb, uint32_t n);

// A stream where it lies in the file, for reading a large one piece by piece instead of
// copying it whole: its size (0 when missing, deleted or larger than the file) and the
// numbers of its pages.
struct PdbPages {
  const PdbFile *pdb;
  ByteCursor numbers;
  uint32_t size;
};
PdbPages pdb_stream_pages(const PdbFile *pdb, uint32_t n);
// A run of a stream's pages that follow one another in the file: the stream's bytes
// [start, end) lie at bytes.
struct PdbRun {
  size_t start, end;
  const uint8_t *bytes;
};
// The run that holds the stream's byte at at, cut at the file's end; empty (end 0) when at
// lies outside the stream or its page outside the file.
PdbRun pdb_pages_run(const PdbPages *pages, size_t at);
// The stream's bytes [at, at + length), length > 0: where they lie in the file when their
// pages follow one another, else copied into out (length bytes) when out is given. Null
// when they do not lie inside the stream and the file, or need out and have none.
const uint8_t *pdb_pages_read(const PdbPages *pages, size_t at, size_t length, uint8_t *out);
void pdb_stream_free(PdbStream *stream);
void pdb_close(PdbFile *pdb);
