// Why a debug-information reader did or did not read the data it was offered. Every
// status has one text; a refusal goes to the debugger together with its details, so that
// a module left without symbols can be told apart from one whose file was damaged.
#pragma once
#include "plugins/common/debug_api.h"

enum LoadStatus {
  LOAD_OK,
  LOAD_FOREIGN,        // another reader's signature: refused without a word
  LOAD_NOT_FOUND,      // a file the data names is not there
  LOAD_TRUNCATED,      // the data ends before what it announces
  LOAD_BAD_SIGNATURE,  // a file the data names is not of the expected kind
  LOAD_BAD_VERSION,    // a version this reader does not know
  LOAD_WRONG_BUILD,    // the file belongs to another link of the image
  LOAD_BAD_DIRECTORY,  // the directory of the data is empty or outside the file
  LOAD_UNSUPPORTED,    // a format this reader recognises but does not read
  LOAD_NO_MEMORY,
  LOAD_CANCELLED,      // the user stopped the load
  LOAD_STATUS_COUNT
};

const char *load_status_text(LoadStatus status);

// Tells the debugger why the data was refused: the status text, then the details
// formatted from format (may be null). Nothing for LOAD_OK and LOAD_FOREIGN, nor through
// a table without the refusal function. Gives status back.
LoadStatus load_refuse(const DebugApi *api, LoadStatus status, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Reports the part of the load done (done of total) and asks whether to go on; false once
// the user has cancelled (then it stays false for the rest of the load).
bool load_progress(const DebugApi *api, bool *cancelled, uint32_t done, uint32_t total);
