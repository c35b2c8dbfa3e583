#include "symbols/debug_info.h"

#include <ctype.h>
#include <stdio.h>

#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "util/log.h"

namespace {

DebugInfoHandlers g_handlers;

enum : uint32_t {
  kSeparateHeaderSize = 48,
  kSectionHeaderSize = 40,
  kMiscExeName = 1,
  kMiscNameOffset = 12,
};

// Offers the n entries of the directory in dir (file is the whole mapped file); true
// when one is accepted.
bool walk_directory(ByteCursor file, ByteCursor dir, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) {
    cursor_seek(&dir, (size_t)i * DEBUG_ENTRY_SIZE);
    cursor_take(&dir, 12);  // characteristics, time stamp, version
    uint32_t type = cursor_u32(&dir);
    cursor_take(&dir, 8);   // size of data, its address
    uint32_t raw = cursor_u32(&dir);
    ByteCursor data = cursor_window(&file, raw, 4);
    if (!dir.ok) break;
    if (!data.ok) continue;
    char signature[DEBUG_SIGNATURE_TEXT];
    debug_signature_text(data.data, signature);
    log_printf("Debugging information %i with signature %s\n", (int)type, signature);
    if (g_handlers.load && g_handlers.load(file.data, data.data)) {
      log_printf("OK, debug information is loaded.\n\n");
      return true;
    }
  }
  log_printf("No acceptable debug information found\n\n");
  return false;
}

// A directory of count entries at file offset; not ok when it does not fit.
ByteCursor directory_window(ByteCursor file, uint32_t offset, uint32_t count) {
  uint64_t length = (uint64_t)count * DEBUG_ENTRY_SIZE;
  if (length > file.size) return ByteCursor{file.data, 0, 0, false};
  return cursor_window(&file, offset, (size_t)length);
}

// The separate debug file named by the image's one MISC entry.
void load_separate(const PeImage *image, ByteCursor entry) {
  cursor_take(&entry, 12);
  uint32_t type = cursor_u32(&entry);
  cursor_take(&entry, 8);
  uint32_t raw = cursor_u32(&entry);
  ByteCursor misc = cursor_window(&image->file, raw, kMiscNameOffset);
  if (!entry.ok || type != DEBUG_TYPE_MISC || cursor_u32(&misc) != kMiscExeName || !misc.ok)
    return;
  const char *name = cursor_text_at(&image->file, (size_t)raw + kMiscNameOffset);
  const uint8_t *view = name ? map_file(name) : nullptr;
  if (!view) return;
  ByteCursor file = cursor_make(view, mapped_size(view));
  ByteCursor header = cursor_window(&file, 0, kSeparateHeaderSize);
  cursor_seek(&header, 8);
  uint32_t timestamp = cursor_u32(&header);
  cursor_seek(&header, 24);
  uint32_t sections = cursor_u32(&header);
  uint32_t exported = cursor_u32(&header);
  uint32_t debug_size = cursor_u32(&header);
  if (header.ok) {
    if (timestamp != image->header.timestamp)
      log_printf("Warning - %s has incorrect internal timestamp\n", name);
    uint64_t start = kSeparateHeaderSize + (uint64_t)sections * kSectionHeaderSize + exported;
    uint32_t n = debug_size / DEBUG_ENTRY_SIZE;
    ByteCursor dir = start <= file.size ? directory_window(file, (uint32_t)start, n)
                                        : ByteCursor{file.data, 0, 0, false};
    if (dir.ok) walk_directory(file, dir, n);
  }
  unmap_file(view);
}

}  // namespace

void debug_info_set_handlers(const DebugInfoHandlers *handlers) {
  g_handlers = handlers ? *handlers : DebugInfoHandlers{};
}

uint32_t debug_entry_count(uint32_t size) {
  return size % DEBUG_ENTRY_SIZE == 0 ? size / DEBUG_ENTRY_SIZE : size;
}

void debug_signature_text(const uint8_t *bytes, char *out) {
  bool letters = true;
  for (int i = 0; i < 4; i++) letters = letters && isalnum(bytes[i]);
  if (letters) snprintf(out, DEBUG_SIGNATURE_TEXT, "'%c%c%c%c'", bytes[0], bytes[1], bytes[2], bytes[3]);
  else snprintf(out, DEBUG_SIGNATURE_TEXT, "0x%X",
                (unsigned)(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24));
}

void debug_info_load(ModuleRecord *module, const PeImage *image) {
  const PeDirectory &d = image->optional.directories[PE_DIR_DEBUG];
  uint32_t n = debug_entry_count(d.size);
  uint32_t offset = 0;
  module_set_current(module);
  if (!pe_rva_to_offset(image, d.rva, &offset)) {
    if (g_handlers.seek && g_handlers.seek(module->path))
      log_printf("OK, debug information is loaded from unusual place.\n\n");
  } else {
    ByteCursor dir = directory_window(image->file, offset, n);
    if (!dir.ok) {
      log_printf("No acceptable debug information found\n\n");
    } else if (image->header.characteristics & PE_DEBUG_STRIPPED) {
      if (n == 1) load_separate(image, dir);
    } else {
      walk_directory(image->file, dir, n);
    }
  }
  module_set_current(nullptr);
}
