// The back buffer that panels paint into, and plain text for the clipboard.
#pragma once
#include <windows.h>

// A memory device context covering the target from its origin to the edges of its clip
// box, clipped to the target window's visible region. One at a time.
HDC back_buffer_begin(HDC target);
// Copies the bitmap to the target and releases everything.
void back_buffer_end();
// Answers WM_PAINT: draw paints the window into the back buffer (straight into the window
// when none could be made).
void paint_buffered(HWND hwnd, void (*draw)(HDC dc));

// Copies text (len characters) to the clipboard as plain text, a carriage return put
// before every line feed that has none; false when the clipboard cannot be opened.
bool clipboard_copy_text(const char *text, size_t len);
