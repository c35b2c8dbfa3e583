// Rows of the navigator's pages that come from the engine and from the system: comments,
// breakpoints, windows, threads and processes.
#pragma once
#include <stdint.h>

#include "ui/panels/navigator/navigator_rows.h"

// Images of the comment page (a comment, a comment with a breakpoint), of the thread and
// process pages (plain, open to all access, the debuggee or its followed thread) and of
// the window page (hidden, visible).
enum { COMMENT_IMAGE_PLAIN, COMMENT_IMAGE_BREAKPOINT };
enum { TASK_IMAGE_PLAIN, TASK_IMAGE_ALL_ACCESS, TASK_IMAGE_DEBUGGEE };

// Each gives false without memory; data is the comment id, breakpoint id, window handle,
// thread id and process id.
bool comment_rows_fill(NavRowSet *rows);
bool break_rows_fill(NavRowSet *rows);
// Only the debuggee's windows and threads while one is loaded.
bool window_rows_fill(NavRowSet *rows);
bool thread_rows_fill(NavRowSet *rows);
bool process_rows_fill(NavRowSet *rows);
