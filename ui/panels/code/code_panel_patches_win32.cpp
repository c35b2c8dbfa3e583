#include "ui/panels/code/code_panel_patches_win32.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "engine/memory.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/pe_patches.h"
#include "symbols/user_patches.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/keyb.h"
#include "ui/panels/code/code_panel_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

struct Patches {
  char target[PROMPT_TEXT], history[PROMPT_TEXT];
};
Patches g_patches;

void tell(const char *text) {
  MessageBoxA(nullptr, text, "Save patches", MB_OK | MB_ICONEXCLAMATION);
}

// The first byte of a patch the user made in the module that the file does not back; 0
// when none.
uint32_t unbacked_patch(const ModuleRecord *m, const PeImage *image) {
  for (int i = 0; i < user_patch_count(); i++) {
    const UserPatch *p = user_patch_get(i);
    uint32_t offset, refused;
    if (p->address >= m->base && p->address < m->end &&
        !pe_backed_range(image, p->address - m->base, p->length, &offset, &refused))
      return m->base + refused;
  }
  return 0;
}

// The module as it lies in memory, section by section (the gaps stay zero, as the file
// is compared only where its sections back it).
uint8_t *read_module(const ModuleRecord *m, const PeImage *image) {
  uint32_t size = m->end - m->base;
  uint8_t *memory = (uint8_t *)zone_alloc(size);
  if (!memory) return nullptr;
  memset(memory, 0, size);
  for (int i = 0; i < image->section_count; i++) {
    const PeSectionHeader &s = image->sections[i];
    if (s.rva < size)
      memory_read(m->base + s.rva, memory + s.rva, s.raw_size < size - s.rva ? s.raw_size : size - s.rva);
  }
  return memory;
}

void save(const ModuleRecord *m, const uint8_t *file, size_t size, const PeImage *image) {
  char text[KQ_PATH + 128];
  uint32_t refused = unbacked_patch(m, image);
  if (refused) {
    snprintf(text, sizeof text,
             "The patch at %08X lies where no byte of the file stands behind it (uninitialised "
             "data, the headers or memory outside the sections). Nothing was saved.",
             (unsigned)refused);
    return tell(text);
  }
  uint8_t *memory = read_module(m, image);
  PePatchList patches = {nullptr, 0};
  bool found = memory && pe_find_patches(image, m->base, memory, m->end - m->base, &patches);
  zone_free(memory);
  if (!found) return tell("Not enough memory to compare the module with its file.");
  if (!patches.count) {
    snprintf(text, sizeof text, "No byte of %s differs from its file.", m->name);
    return tell(text);
  }
  for (int i = 0; i < patches.count; i++)
    log_printf("Patch %08X (file offset %X): %02X\n", (unsigned)(m->base + patches.items[i].rva),
               (unsigned)patches.items[i].offset, patches.items[i].byte);
  const char *dot = strrchr(m->path, '.');
  char extension[16];
  snprintf(extension, sizeof extension, ".patched%s", dot && !strchr(dot, '\\') ? dot : "");
  path_replace_extension(g_patches.target, sizeof g_patches.target, m->path, extension);
  keyb_set_active(false);
  int accepted = input_prompt(MAKEINTRESOURCEA(IDS_SAVE_PATCHES), g_patches.target,
                              g_patches.history, patches.count);
  keyb_set_active(true);
  if (accepted && pe_save_patched(file, size, &patches, g_patches.target)) {
    log_printf("Patches saved: %d bytes of %s written to %s\n", patches.count, m->name,
               g_patches.target);
  } else if (accepted) {
    snprintf(text, sizeof text, "The patched copy could not be written to %s.", g_patches.target);
    tell(text);
  }
  zone_free(patches.items);
}

}  // namespace

void code_patch_written(uint32_t address, uint32_t length) {
  uint8_t bytes[256];
  for (uint32_t done = 0; done < length;) {
    uint32_t n = length - done < sizeof bytes ? length - done : (uint32_t)sizeof bytes;
    if (memory_read(address + done, bytes, n) != n) return;
    user_patch_made(address + done, bytes, n);
    done += n;
  }
}

void code_save_patches(uint32_t address) {
  const ModuleRecord *m = module_by_address(address);
  if (!m || !m->path || !m->path[0]) return tell("The cursor lies in no module.");
  const uint8_t *file = map_file(m->path);
  PeImage *image = (PeImage *)zone_alloc(sizeof(PeImage));
  if (file && image && pe_read_image(file, mapped_size(file), image))
    save(m, file, mapped_size(file), image);
  else
    tell("The module's file cannot be read as a program image.");
  zone_free(image);
  if (file) unmap_file(file);
}
