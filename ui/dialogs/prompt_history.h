// The input prompt's texts without the dialog: the message split into title and prompt
// line, the caller's text buffer with its leading line feed, the history buffer cut into
// list entries and the commit that rebuilds both buffers from the accepted text.
#pragma once
#include <stddef.h>

enum { PROMPT_TEXT = 260 };

// The part before the first line feed is the title, the rest the prompt line (empty
// without a line feed). Both cut to fit.
void prompt_split_message(const char *message, char *title, size_t title_len, char *line,
                          size_t line_len);
// A leading line feed asks that the initial text be shown unselected: it is removed and
// true is returned.
bool prompt_take_leading_line_feed(char *text);
// The list entries of a history: the pieces between line feeds, a line feed at the end
// adding no empty entry. Calls add once per entry, in order; gives the count.
int prompt_history_entries(const char *history, void (*add)(void *context, const char *entry),
                           void *context);
// Accepting: the text buffer becomes the accepted text (at most 259 characters); the
// history ends with it and holds before it, last list entry first, every entry that
// differs from it, as long as the whole stays within 260 characters. Both buffers hold
// PROMPT_TEXT characters.
void prompt_commit(const char *accepted, const char *const *list, int list_count, char *text,
                   char *history);
