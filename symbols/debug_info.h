// Finding a module's debug information and offering it onward. The plug-in manager
// installs the handlers; without them nothing is accepted.
#pragma once
#include <stdint.h>

#include "symbols/pe_image.h"

struct ModuleRecord;

struct DebugInfoHandlers {
  // One debug-directory entry: the mapped file and the entry's data inside it. True when
  // someone read it (and defined the module's symbols).
  bool (*load)(const uint8_t *file_root, const uint8_t *debug_root);
  // An image without a debug directory: look elsewhere for the file at path.
  bool (*seek)(const char *path);
};
void debug_info_set_handlers(const DebugInfoHandlers *handlers);

// The window that a long load shows (the user interface installs it; none on the host).
struct LoadProgressWindow {
  // Opens it with caption; Escape or Cancel there sets *stop. False when it cannot.
  bool (*open)(const char *caption, volatile int *stop);
  // Shows the part done (0..1000) and takes the pending messages.
  void (*tick)(int permille);
  void (*close)();
};
void debug_info_set_progress_window(const LoadProgressWindow *window);

// A load shows the progress window once it has taken this long.
enum { DEBUG_INFO_PROGRESS_AFTER = 500 };
// A reader's report of done of total of the load under way, at now (milliseconds of any
// clock); false once the user has cancelled the load.
bool debug_info_progress(uint32_t done, uint32_t total, uint32_t now);
// Whether the user cancelled the load under way: nothing more is offered then.
bool debug_info_cancelled();
// A reader's word on why it did not read what it was offered (who: the reader's name),
// kept for the line that says why a module has no symbols.
void debug_info_refused(const char *who, const char *reason);

enum { DEBUG_ENTRY_SIZE = 28, DEBUG_TYPE_MISC = 4, DEBUG_SIGNATURE_TEXT = 16 };

// Entries of a debug directory of size bytes: a byte size when a multiple of 28, else
// the count itself (linkers that store one there).
uint32_t debug_entry_count(uint32_t size);
// 'NB10' when the four bytes are letters or digits, else "0x%X" of the DWORD.
void debug_signature_text(const uint8_t *bytes, char *out);
// Locates the module's debug information in its image (or in the separate file of a
// stripped image) and offers every entry until one is accepted, with the module as the
// current module meanwhile. When none is, one log line says why; when the user cancels,
// what the load defined is taken back, the exports are defined again and the log says so.
void debug_info_load(ModuleRecord *module, const PeImage *image);
