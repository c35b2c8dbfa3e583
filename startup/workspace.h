#pragma once
// The workspace file of the debuggee (comments, breakpoints, guards, watches). Read at
// load and written at unload; it keeps nothing yet.
void workspace_load();
void workspace_save();
