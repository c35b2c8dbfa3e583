// The corpus programs and how a test finds the CodeView data inside their files.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

// The file offset of the first CodeView entry of a PE image's debug directory; 0 when
// there is none.
uint32_t codeview_offset(const std::vector<uint8_t> &image);
std::string corpus_path(const std::string &relative);

// Where stream n of a program database starts in its file (its first page).
size_t pdb_stream_offset(const std::vector<uint8_t> &pdb, uint32_t n);
