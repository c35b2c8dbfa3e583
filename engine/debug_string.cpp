#include "engine/debug_string.h"

#include <windows.h>

#include "util/log.h"

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
    log_write(piece);
    pieces++;
    done += count;
  }
  return pieces;
}
