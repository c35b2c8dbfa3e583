#pragma once
#include <stddef.h>
// The open-file dialog (command 10075): on confirmation any debuggee is unloaded and the
// chosen file is launched.
void open_file_dialog();
// The initial name: the debuggee's path, else the newest "*.exe" of the current folder.
void open_file_initial_name(char *out, size_t outlen);
