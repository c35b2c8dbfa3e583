// The parts of an MSF 7.00 program database that 2.00 does not have: the GUID and the
// named streams of the information stream, and the string buffer of "/names".
#pragma once
#include <stdint.h>

#include "plugins/cvread/pdb_file.h"

// The information stream after version, signature and age: a GUID, then the names of
// streams as a string buffer and a hash table of (name offset, stream) pairs.
enum { PDB7_GUID_AT = 12, PDB7_NAMES_AT = 28 };

// The stream named name in the information stream info; false when there is none.
bool pdb7_named_stream(ByteCursor info, const char *name, uint32_t *stream);
// The string buffer of a "/names" stream (a signature, a version and the buffer's
// size first); not ok when it is not one.
ByteCursor pdb7_string_buffer(ByteCursor names);
