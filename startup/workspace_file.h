// The text of the workspace file: one record a line, "keyword arg, arg;", every argument a
// plain word or a quoted text with escapes. Reading and writing the file, free of the
// tables the records come from and go to.
#pragma once
#include <stddef.h>

#include "util/path.h"

enum WorkspaceKind { WS_COMMENT, WS_BREAK, WS_GUARD, WS_WATCH, WS_PATCH, WS_KINDS };

// The longest line a record can take: two arguments of 259 characters, each character
// coded in at most 6 (a control character as "\x{1F}").
enum { WORKSPACE_LINE_MAX = 16 + 2 * (6 * KQ_PATH + 4) };

struct WorkspaceRecord {
  int kind;
  char args[2][KQ_PATH];  // the decoded texts; the second is empty for one-argument kinds
};

// The keyword of a kind ("comment", "break", "guard", "watch", "patch") and its argument
// count.
const char *workspace_keyword(int kind);
int workspace_arity(int kind);

// Appends one argument as the file writes it to out (of outlen, always terminated);
// gives false when it was cut.
bool workspace_write_argument(const char *text, char *out, size_t outlen);
// Writes the record's line, with its line feed, into out; false when it was cut.
bool workspace_format_record(const WorkspaceRecord *record, char *out, size_t outlen);

// What reading one line found.
enum WorkspaceLine {
  WSL_RECORD,   // a valid record
  WSL_DAMAGED,  // a known keyword with unsound arguments: dropped, the next line is read
  WSL_UNKNOWN,  // no keyword of the four kinds: reading stops there
};
WorkspaceLine workspace_parse_line(const char *line, WorkspaceRecord *record);

// Reads the file and hands every valid record to apply, in file order; damaged lines and
// an unknown keyword are logged with their line numbers. Gives false when the file cannot
// be opened; *damaged counts the lines dropped or left unread.
bool workspace_read_file(const char *path, void (*apply)(const WorkspaceRecord *, void *),
                         void *context, int *damaged);
// Writes text as the whole file: first into a temporary file in the same folder, then put
// in its place, so that a failed write keeps the old file. False (logged) on failure.
bool workspace_write_file(const char *path, const char *text, size_t length);
