// The program database named by an NB10 record (2.00) or an RSDS record (MSF 7.00).
#pragma once
#include <stdint.h>

#include "plugins/cvread/cv_state.h"

// What an NB10 or RSDS record says about its program database.
struct PdbRecord {
  const uint8_t *guid;  // the RSDS record's 16 bytes; null for NB10, which has signature
  uint32_t signature;
  uint32_t age;
  const char *path;  // as recorded, NUL-terminated inside the debug data
};

// The header of the debug-information stream, in either of its forms.
struct PdbDebugHeader {
  uint32_t version;
  uint16_t symbols;  // the stream of the global symbol records
  uint32_t modules_size, contributions_size, section_map_size, files_size, servers_size;
  size_t size;
};
// Reads it from the stream; false when it does not fit or has an unknown version.
bool pdb_debug_header(ByteCursor stream, PdbDebugHeader *header);
// Where the type records of a type stream of stream_size bytes lie, from its header (the
// stream's first bytes); false for an unknown version.
bool pdb_type_section(ByteCursor header, size_t stream_size, size_t *from, size_t *size,
                      uint32_t *version);
// The type records of a whole type stream, after its header; false for an unknown version.
bool pdb_type_records(ByteCursor stream, ByteCursor *records, uint32_t *version);

// A record of the module list: fixed fields, then the module's and its object's names,
// padded to 4 bytes. Its stream holds the symbols (after a 4-byte signature), then the
// line section, then (7.00) the C13 line subsections.
struct PdbModule {
  uint16_t stream;
  uint32_t symbols, lines, c13;  // the sizes of the parts of its stream
  const char *name, *object;     // inside the list
};
// The module at the list's position, the cursor moved past it; false at the end of the
// list or when the record does not fit it. version is the debug header's.
bool pdb_next_module(ByteCursor *list, uint32_t version, PdbModule *module);

// Reads the program database of record (found as recorded or, failing that, under its
// file name beside image_path when that is given). With a log line when it cannot
// be opened, has an unknown version or belongs to another link of the image: the status
// says which, and the refusal names the files tried.
LoadStatus pdb_read(CvState *state, const PdbRecord *record, const char *image_path);
