#include "engine/debug_string.h"

#include <windows.h>
#include <string.h>

#include "util/log.h"

namespace {

struct PendingOutput {
  char text[DEBUG_OUTPUT_PENDING];
  size_t length;
  uint64_t limit, written;  // the debuggee's budget and what it has used
  bool dropped;
};
PendingOutput g_pending = {{0}, 0, DEBUG_OUTPUT_LIMIT, 0, false};

// A piece ends at its first NUL, as a C string written to the log would.
void add_piece(const char *piece) {
  size_t length = strlen(piece);
  if (g_pending.written + length > g_pending.limit) {
    if (!g_pending.dropped) debug_output_flush();
    if (!g_pending.dropped)
      log_printf("WARNING: the debuggee wrote %llu bytes of debug output: the rest is dropped\n",
                 (unsigned long long)g_pending.written);
    g_pending.dropped = true;
    return;
  }
  g_pending.written += length;
  if (g_pending.length + length > sizeof g_pending.text) debug_output_flush();
  memcpy(g_pending.text + g_pending.length, piece, length);
  g_pending.length += length;
}

}  // namespace

void debug_output_limit(uint64_t limit) {
  g_pending.limit = limit;
  g_pending.written = 0;
  g_pending.dropped = false;
}

void debug_output_flush() {
  if (!g_pending.length) return;
  log_write_bytes(g_pending.text, g_pending.length);
  g_pending.length = 0;
}

int debug_string_to_log(MemoryReader read, void *context, uint32_t address, uint32_t length,
                        bool wide) {
  const uint32_t width = wide ? 2 : 1, most = DEBUG_STRING_PIECE;
  int pieces = 0;
  for (uint32_t done = 0; done < length;) {
    uint32_t count = length - done < most ? length - done : most;
    char piece[DEBUG_STRING_PIECE + 1];
    if (wide) {
      WCHAR chars[DEBUG_STRING_PIECE];
      if (!read(address + done * width, chars, count * width, context)) break;
      int n = WideCharToMultiByte(CP_ACP, 0, chars, (int)count, piece, DEBUG_STRING_PIECE,
                                  nullptr, nullptr);
      piece[n > 0 ? n : 0] = 0;
    } else {
      if (!read(address + done, piece, count, context)) break;
      piece[count] = 0;
    }
    add_piece(piece);
    pieces++;
    done += count;
  }
  return pieces;
}
