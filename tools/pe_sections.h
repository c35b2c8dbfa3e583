// The sections of a 32-bit i386 PE image as the tools read them: the program's PE reader
// (symbols/pe_image.h) with every section's bytes checked to lie inside the file.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/pe_image.h"

// Reads the headers of data[0..size). Gives null on success, or a one-line reason why
// the bytes are not an i386 PE image whose sections the tools can read.
const char *pe_read_sections(const uint8_t *data, size_t size, PeImage *image);

// The section's bytes in the file, from its raw_offset: its raw data, no more than it
// occupies in memory (the rest is file alignment padding).
uint32_t pe_section_size(const PeSectionHeader *section);
// Whether the section holds code (code contents or executable).
bool pe_is_code(const PeSectionHeader *section);
