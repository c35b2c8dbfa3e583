// The MSF 7.00 container of the program databases written since Visual C++ 7 (and by
// lld): a superblock names the page size, the page count, the root stream's size and the
// page that lists the root's pages by DWORD numbers.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "plugins/cvread/pdb_file.h"

// Reads the superblock and the root stream into pdb; false when the file is not an MSF
// 7.00 file whose root stream lies inside it. Streams are then read with pdb_read_stream.
bool msf7_open(PdbFile *pdb, const uint8_t *data, size_t size);
