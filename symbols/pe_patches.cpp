#include "symbols/pe_patches.h"

#include <stdio.h>
#include <string.h>

#include "util/path.h"

#include "util/zone.h"

namespace {

enum { PE_DIR_IMPORT = 1, PE_DIR_BASERELOC = 5, PE_DIR_IAT = 12, RELOC_HIGHLOW = 3 };
// Marks per RVA of the loader's own bytes.
enum : uint8_t { LOADER_NONE, LOADER_FIXUP, LOADER_TABLE };

// The file bytes a section backs: its raw data, no further than its size in memory.
uint32_t backed_size(const PeSectionHeader &s) {
  return s.virtual_size && s.virtual_size < s.raw_size ? s.virtual_size : s.raw_size;
}

void mark(uint8_t *marks, uint32_t size, uint32_t rva, uint32_t length, uint8_t what) {
  for (uint32_t i = 0; i < length && rva + i < size && rva + i >= rva; i++)
    marks[rva + i] = what;
}

// Each HIGHLOW fixup marks the first byte of its doubleword.
void mark_fixups(const PeImage *image, uint8_t *marks, uint32_t size) {
  PeDirectory dir = image->optional.directories[PE_DIR_BASERELOC];
  ByteCursor c = pe_rva_window(image, dir.rva, dir.size);
  while (c.ok && c.offset + 8 <= c.size) {
    uint32_t page = cursor_u32(&c), block = cursor_u32(&c);
    if (block < 8) return;
    for (uint32_t i = 0; i < (block - 8) / 2 && c.ok; i++) {
      uint16_t entry = cursor_u16(&c);
      if (entry >> 12 == RELOC_HIGHLOW && page + (entry & 0xFFF) < size)
        marks[page + (entry & 0xFFF)] = LOADER_FIXUP;
    }
  }
}

// The import address table, from its directory and from every import descriptor's
// thunk array: the loader fills both with addresses.
void mark_import_tables(const PeImage *image, uint8_t *marks, uint32_t size) {
  PeDirectory iat = image->optional.directories[PE_DIR_IAT];
  mark(marks, size, iat.rva, iat.size, LOADER_TABLE);
  PeDirectory imports = image->optional.directories[PE_DIR_IMPORT];
  ByteCursor c = pe_rva_window(image, imports.rva, imports.size);
  while (c.ok && c.offset + 20 <= c.size) {
    uint32_t lookup = cursor_u32(&c);
    cursor_u32(&c);
    cursor_u32(&c);
    uint32_t name = cursor_u32(&c), thunks = cursor_u32(&c);
    if (!lookup && !name && !thunks) return;
    uint32_t count = 1;  // the terminating zero too
    for (uint32_t rva = thunks; count < 0x10000; rva += 4, count++) {
      ByteCursor one = pe_rva_window(image, rva, 4);
      if (!one.ok || !cursor_u32(&one)) break;
    }
    mark(marks, size, thunks, count * 4, LOADER_TABLE);
  }
}

bool absent(const char *path) {
  FILE *f = fopen(path, "rb");
  if (f) fclose(f);
  return !f;
}

bool add(PePatchList *out, uint32_t rva, uint32_t offset, uint8_t byte) {
  if ((size_t)(out->count + 1) * sizeof(PePatch) > zone_size(out->items)) {
    PePatch *grown = (PePatch *)zone_grow(out->items, 64 * sizeof(PePatch));
    if (!grown) return false;
    out->items = grown;
  }
  out->items[out->count++] = PePatch{rva, offset, byte};
  return true;
}

}  // namespace

bool pe_find_patches(const PeImage *image, uint32_t load_base, const uint8_t *memory,
                     uint32_t memory_size, PePatchList *out) {
  *out = PePatchList{nullptr, 0};
  if (!memory_size) return true;
  uint8_t *marks = (uint8_t *)zone_alloc(memory_size);
  if (!marks) return false;
  memset(marks, LOADER_NONE, memory_size);
  mark_fixups(image, marks, memory_size);
  mark_import_tables(image, marks, memory_size);
  uint32_t delta = load_base - image->optional.image_base;
  bool ok = true;
  for (int i = 0; i < image->section_count && ok; i++) {
    const PeSectionHeader &s = image->sections[i];
    ByteCursor raw = cursor_window(&image->file, s.raw_offset, backed_size(s));
    for (uint32_t k = 0; raw.ok && k < raw.size && s.rva + k < memory_size && ok; k++) {
      uint32_t rva = s.rva + k;
      if (marks[rva] == LOADER_TABLE) continue;
      if (marks[rva] == LOADER_FIXUP && k + 4 <= raw.size && rva + 4 <= memory_size) {
        uint32_t file_value, memory_value;
        memcpy(&file_value, raw.data + k, 4);
        memcpy(&memory_value, memory + rva, 4);
        uint32_t value = memory_value - delta;
        for (int b = 0; b < 4 && ok && value != file_value; b++)
          if (raw.data[k + b] != (uint8_t)(value >> 8 * b))
            ok = add(out, rva + b, s.raw_offset + k + b, (uint8_t)(value >> 8 * b));
        k += 3;
        continue;
      }
      if (memory[rva] != raw.data[k]) ok = add(out, rva, s.raw_offset + k, memory[rva]);
    }
  }
  zone_free(marks);
  if (!ok) {
    out->items = (PePatch *)zone_free(out->items);
    out->count = 0;
  }
  return ok;
}

bool pe_backed_range(const PeImage *image, uint32_t rva, uint32_t length, uint32_t *offset,
                     uint32_t *refused) {
  for (uint32_t i = 0; i < length || i == 0; i++) {
    uint32_t at = rva + i, found = 0;
    bool backed = false;
    for (int n = 0; n < image->section_count && !backed; n++) {
      const PeSectionHeader &s = image->sections[n];
      backed = at >= s.rva && at - s.rva < backed_size(s) &&
               s.raw_offset + (at - s.rva) < image->file.size;
      found = s.raw_offset + (at - s.rva);
    }
    if (!backed) {
      *refused = at;
      return false;
    }
    if (i == 0) *offset = found;
    if (length == 0) break;
  }
  return true;
}

bool pe_save_patched(const uint8_t *file, size_t size, const PePatchList *patches,
                     const char *target) {
  char temporary[KQ_PATH];
  if (snprintf(temporary, sizeof temporary, "%s.tmp", target) >= (int)sizeof temporary)
    return false;
  uint8_t *copy = (uint8_t *)zone_dup_bytes(size, file);
  if (!copy) return false;
  for (int i = 0; i < patches->count; i++)
    if (patches->items[i].offset < size) copy[patches->items[i].offset] = patches->items[i].byte;
  FILE *out = fopen(temporary, "wb");
  bool ok = out && fwrite(copy, 1, size, out) == size;
  ok = out && fclose(out) == 0 && ok;
  zone_free(copy);
  // The system's rename does not replace a file: the old one goes only once the new one
  // is whole.
  ok = ok && (remove(target) == 0 || absent(target)) && rename(temporary, target) == 0;
  if (!ok) remove(temporary);
  return ok;
}
