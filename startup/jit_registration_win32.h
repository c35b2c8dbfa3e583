// The debugger as the system's just-in-time debugger: the "Debugger" and "Auto" values
// under the AeDebug key of the machine.
#pragma once
#include <windows.h>

// Writes "Debugger" as the quoted program path with " -pid=%ld -event=%ld", then "Auto"
// ("0" when the system is to ask first). Nothing is written when the key cannot be
// opened; "Auto" only when "Debugger" was written.
bool jit_register(const char *program_path, bool ask_first);
// Reads the values back: whether "Debugger" names program_path, and whether "Auto" is "0".
bool jit_read(const char *program_path, bool *registered, bool *ask_first);
// Modal dialog 1190 "Setup of Just-In-Time function".
void jit_dialog(HWND owner);
