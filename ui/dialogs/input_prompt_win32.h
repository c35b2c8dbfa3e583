// The input prompt: every command that needs one line of text asks through this modal
// dialog. The caller keeps a text buffer and a history buffer (PROMPT_TEXT characters
// each) per kind of question; the prompt shows both and, when accepted, updates both.
#pragma once
#include <windows.h>
#include <stdarg.h>

#include "ui/dialogs/prompt_history.h"

// message is a string-table number (MAKEINTRESOURCEA) or a text; either is a format for
// the arguments, whose part before the first line feed is the title and the rest the
// prompt line. A text beginning with a line feed is shown unselected. Gives 1 when the
// user accepted, 0 when cancelled (the buffers untouched but for that line feed).
int input_prompt(const char *message, char *text, char *history, ...);
// The same with the arguments already taken (KQ_Input passes a plug-in's on).
int input_prompt_v(const char *message, char *text, char *history, va_list args);

// A drop-down combo box as the prompt uses it, also for other dialogs that keep a text and
// its history: filled with the text and the history's entries; committed back into both.
void prompt_combo_fill(HWND combo, const char *text, const char *history);
void prompt_combo_commit(HWND combo, char *text, char *history);
