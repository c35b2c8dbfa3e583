#pragma once
// The workspace of the debuggee: comments, breakpoints, guards and watches as the texts
// the user typed, read from the workspace file at load and written back at unload.

// Empties the workspace, then reads the file; false when there is none to read.
bool workspace_load();
// Writes the file and empties the workspace; false (logged) when it could not be written.
bool workspace_save();
// Removes every comment, watch, breakpoint and guard.
void workspace_reset();
