// The readable dump of a PE image's headers, written into a module's text.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/module_text.h"
#include "symbols/pe_image.h"

struct FlagName {
  uint32_t bit;
  const char *name;
};

// The names of the set bits of value, in table order, joined by " | ".
void flags_text(const FlagName *table, int count, uint32_t value, char *out, size_t outlen);
void file_flags_text(uint32_t characteristics, char *out, size_t outlen);
// "" for an unlisted subsystem.
const char *subsystem_name(uint32_t subsystem);
// Appends the banner with the path, the file and optional headers, the data directories
// and the section table.
void pe_dump(const PeImage *image, const char *path, ModuleText *text);
