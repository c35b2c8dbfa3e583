// The console window's text rules, free of windows: a trace text cut into pieces for the
// edit field with every line break written as CR LF, and how many lines a full field
// loses from its start.
#pragma once

enum { CONSOLE_PIECE = 256, CONSOLE_PIECE_FULL = 253, CONSOLE_MAX_LINES = 1000 };

// Calls put with each piece of text (at most CONSOLE_PIECE characters with its zero); CR,
// LF and CR LF each become CR LF. Gives the number of pieces.
int console_pieces(const char *text, void (*put)(void *context, const char *piece),
                   void *context);
// The lines to remove from the start of a field holding lines: none up to the maximum,
// else the excess but at least a tenth of the maximum.
int console_trim_count(int lines, int max_lines);
