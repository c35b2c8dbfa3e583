// The options dialog (dialog 1220, command 10076): its controls mapped to the settings.
#pragma once
#include <windows.h>

// Runs the dialog modally; OK and "Apply" write the controls into the settings and take
// the snapshot with the mark on, "Flush Into Config File" writes the options file (asking
// first when start_dir holds one).
void options_dialog(HWND owner, const char *start_dir);
