// The walk behind cvdump: a CodeView or program database file printed record by record,
// with the reader's own tables, streams and line walks, for people and for comparing with
// other dumpers.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Prints the file's records to out: a program database (2.00 or MSF 7.00) stream by
// stream, or an image's CodeView data (NB09/NB11 subsections; the record that names the
// PDB of NB10 and RSDS data). False, with a line that says why, when it is neither.
bool cv_dump(const uint8_t *data, size_t size, FILE *out);
