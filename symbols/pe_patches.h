// The bytes of a loaded module that differ from its image file, as patches for a copy of
// the file: what the user changed in code or initialised data, without what the loader
// changed (base relocation fixups, the import address table).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/pe_image.h"

struct PePatch {
  uint32_t rva, offset;  // where in memory (from the load base) and in the file
  uint8_t byte;          // what the file gets
};

struct PePatchList {
  PePatch *items;  // zone block
  int count;
};

// Compares memory[0..memory_size) (the module as loaded at load_base, our breakpoints
// hidden) with the file's bytes at the same RVAs, where a section's raw data backs them.
// A relocated doubleword counts as changed only when it is not the file's value plus the
// load delta, and its patch then holds memory's value less the delta. Fills *out (free
// items with zone_free); false when memory for the list is lacking.
bool pe_find_patches(const PeImage *image, uint32_t load_base, const uint8_t *memory,
                     uint32_t memory_size, PePatchList *out);

// Whether the file backs [rva, rva + length): every byte lies in the raw data of a
// section. *offset gets the file offset of rva; otherwise *refused gets the first RVA
// that no file byte stands behind (uninitialised data, headers, memory outside sections).
bool pe_backed_range(const PeImage *image, uint32_t rva, uint32_t length, uint32_t *offset,
                     uint32_t *refused);

// Writes file[0..size) with the patches applied to target, through a temporary file
// beside it that is then renamed; false, leaving neither file behind, when a step fails
// (an existing target stays as it was).
bool pe_save_patched(const uint8_t *file, size_t size, const PePatchList *patches,
                     const char *target);
