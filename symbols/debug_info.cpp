#include "symbols/debug_info.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "symbols/entries.h"
#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "util/log.h"
#include "util/path.h"

namespace {

DebugInfoHandlers g_handlers;
LoadProgressWindow g_window;

// The load under way: why nothing was read so far, and its progress window.
struct LoadWatch {
  bool active;  // a load is under way: reports outside one are ignored
  char why[2048];
  int refusals;  // reasons the readers gave
  bool reported;  // a report came: start is set
  uint32_t start;
  bool window_open;
  volatile int stop;
  bool cancelled;
};
LoadWatch g_watch;

// Adds a reason to the line, after a "; " when there is one already (cut at the end).
void add_why(const char *format, ...) {
  size_t used = strlen(g_watch.why);
  if (used && used + 2 < sizeof g_watch.why) {
    memcpy(g_watch.why + used, "; ", 3);
    used += 2;
  }
  va_list ap;
  va_start(ap, format);
  vsnprintf(g_watch.why + used, sizeof g_watch.why - used, format, ap);
  va_end(ap);
}

enum : uint32_t {
  kSeparateHeaderSize = 48,
  kSectionHeaderSize = 40,
  kMiscExeName = 1,
  kMiscNameOffset = 12,
};

// Offers the n entries of the directory in dir (file is the whole mapped file); true
// when one is accepted.
bool walk_directory(ByteCursor file, ByteCursor dir, uint32_t n) {
  for (uint32_t i = 0; i < n && !g_watch.cancelled; i++) {
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
    int refusals = g_watch.refusals;
    if (g_handlers.load && g_handlers.load(file.data, data.data)) {
      log_printf("OK, debug information is loaded.\n\n");
      return true;
    }
    if (refusals == g_watch.refusals)
      add_why("no reader takes debug information %i with signature %s", (int)type, signature);
  }
  if (!g_watch.cancelled) log_printf("No acceptable debug information found\n\n");
  return false;
}

// A directory of count entries at file offset; not ok when it does not fit.
ByteCursor directory_window(ByteCursor file, uint32_t offset, uint32_t count) {
  uint64_t length = (uint64_t)count * DEBUG_ENTRY_SIZE;
  if (length > file.size) return ByteCursor{file.data, 0, 0, false};
  return cursor_window(&file, offset, (size_t)length);
}

// The separate debug file named by the image's one MISC entry.
bool load_separate(const PeImage *image, ByteCursor entry) {
  cursor_take(&entry, 12);
  uint32_t type = cursor_u32(&entry);
  cursor_take(&entry, 8);
  uint32_t raw = cursor_u32(&entry);
  ByteCursor misc = cursor_window(&image->file, raw, kMiscNameOffset);
  if (!entry.ok || type != DEBUG_TYPE_MISC || cursor_u32(&misc) != kMiscExeName || !misc.ok) {
    add_why("stripped image without the name of its debug file");
    return false;
  }
  const char *name = cursor_text_at(&image->file, (size_t)raw + kMiscNameOffset);
  const uint8_t *view = name ? map_file(name) : nullptr;
  if (!view) {
    add_why("debug file '%s' not found", name ? name : "");
    return false;
  }
  bool accepted = false, walked = false;
  ByteCursor file = cursor_make(view, mapped_size(view));
  ByteCursor header = cursor_window(&file, 0, kSeparateHeaderSize);
  cursor_seek(&header, 8);
  uint32_t timestamp = cursor_u32(&header);
  cursor_seek(&header, 24);
  uint32_t sections = cursor_u32(&header);
  uint32_t exported = cursor_u32(&header);
  uint32_t debug_size = cursor_u32(&header);
  if (header.ok) {
    if (timestamp != image->header.timestamp) {
      log_printf("Warning - %s has incorrect internal timestamp\n", name);
      add_why("debug file '%s' has another time stamp than the image", name);
    }
    uint64_t start = kSeparateHeaderSize + (uint64_t)sections * kSectionHeaderSize + exported;
    uint32_t n = debug_size / DEBUG_ENTRY_SIZE;
    ByteCursor dir = start <= file.size ? directory_window(file, (uint32_t)start, n)
                                        : ByteCursor{file.data, 0, 0, false};
    walked = dir.ok;
    if (walked) accepted = walk_directory(file, dir, n);
  }
  if (!walked) add_why("debug file '%s' holds no debug directory that fits it", name);
  unmap_file(view);
  return accepted;
}

// Takes back what a cancelled load defined: the module keeps its exports only.
void take_back(ModuleRecord *module, const PeImage *image) {
  entries_remove_range(module->base, module->end);
  sources_remove_range(module->base, module->end);
  types_delete_module(module);
  module_define_exports(module, image);
  log_printf("Symbols of '%s' not loaded: cancelled by the user\n\n", module->path);
}

}  // namespace

void debug_info_set_handlers(const DebugInfoHandlers *handlers) {
  g_handlers = handlers ? *handlers : DebugInfoHandlers{};
}

void debug_info_set_progress_window(const LoadProgressWindow *window) {
  g_window = window ? *window : LoadProgressWindow{};
}

bool debug_info_progress(uint32_t done, uint32_t total, uint32_t now) {
  if (!g_watch.active) return true;
  if (!g_watch.reported) {
    g_watch.reported = true;
    g_watch.start = now;
  }
  if (!g_watch.window_open && g_window.open && now - g_watch.start > DEBUG_INFO_PROGRESS_AFTER) {
    const ModuleRecord *module = module_current();
    char caption[KQ_PATH + 32];
    snprintf(caption, sizeof caption, "Loading symbols of %s", module ? module->name : "");
    g_watch.stop = 0;
    g_watch.window_open = g_window.open(caption, &g_watch.stop);
  }
  if (g_watch.window_open && !g_watch.cancelled)
    g_window.tick(total ? (int)((uint64_t)(done < total ? done : total) * 1000 / total) : 0);
  if (g_watch.stop) g_watch.cancelled = true;
  return !g_watch.cancelled;
}

bool debug_info_cancelled() { return g_watch.active && g_watch.cancelled; }

void debug_info_refused(const char *who, const char *reason) {
  if (!g_watch.active) return;
  g_watch.refusals++;
  add_why("%s: %s", who, reason ? reason : "");
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
  g_watch = LoadWatch{};
  g_watch.active = true;
  module_set_current(module);
  bool accepted = false;
  if (!pe_rva_to_offset(image, d.rva, &offset)) {
    add_why("no debug directory");
    accepted = g_handlers.seek && g_handlers.seek(module->path);
    if (accepted) log_printf("OK, debug information is loaded from unusual place.\n\n");
  } else {
    ByteCursor dir = directory_window(image->file, offset, n);
    if (!dir.ok) {
      log_printf("No acceptable debug information found\n\n");
      add_why("the debug directory lies outside the file");
    } else if (image->header.characteristics & PE_DEBUG_STRIPPED) {
      if (n == 1) accepted = load_separate(image, dir);
      else add_why("stripped image whose debug directory has %u entries", (unsigned)n);
    } else {
      accepted = walk_directory(image->file, dir, n);
    }
  }
  if (g_watch.window_open) g_window.close();
  if (g_watch.cancelled) take_back(module, image);
  else if (!accepted) log_printf("No symbols for %s: %s\n", module->path, g_watch.why);
  g_watch.active = false;
  module_set_current(nullptr);
}
