#include "ui/panels/console/console_window_text.h"

int console_pieces(const char *text, void (*put)(void *context, const char *piece),
                   void *context) {
  char piece[CONSOLE_PIECE];
  int count = 0;
  while (*text) {
    int n = 0;
    while (*text && n < CONSOLE_PIECE_FULL) {
      if (*text == '\r' || *text == '\n') {
        if (text[0] == '\r' && text[1] == '\n') text++;
        text++;
        piece[n++] = '\r';
        piece[n++] = '\n';
      } else {
        piece[n++] = *text++;
      }
    }
    piece[n] = 0;
    put(context, piece);
    count++;
  }
  return count;
}

int console_trim_count(int lines, int max_lines) {
  if (lines <= max_lines) return 0;
  const int excess = lines - max_lines, tenth = max_lines / 10;
  return excess > tenth ? excess : tenth;
}
