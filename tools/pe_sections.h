// The section table of a 32-bit PE image, read from its file bytes with every offset,
// size and count checked: just enough for the tools to find the code.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The Windows loader refuses images with more sections than this.
enum { PE_MAX_SECTIONS = 96 };

struct PeSection {
  char name[9];             // zero-terminated, cut to 8 characters
  uint32_t rva;             // relative to the image base
  uint32_t file_offset;     // where its bytes start in the file
  uint32_t size;            // bytes present in the file, no more than it occupies in memory
  uint32_t characteristics;
};

struct PeImage {
  uint32_t image_base;
  int section_count;
  PeSection sections[PE_MAX_SECTIONS];
};

// Reads the headers of data[0..size). Gives null on success, or a one-line reason why
// the bytes are not a 32-bit PE image that we can read.
const char *pe_read_sections(const uint8_t *data, size_t size, PeImage *image);

// Whether the section holds code (code contents or executable).
bool pe_is_code(const PeSection *section);
