// The few operating-system services the utility library needs, kept behind one seam so
// that the library builds and is tested on the host as well as on Win32.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Full path of the executable or library that holds this code, cut to fit.
void plat_module_path(char *out, size_t outlen);
// Local time of day and date.
struct PlatTime { int hour, minute, day, month, year; };
void plat_local_time(PlatTime *t);
bool plat_debugger_present();
void plat_debug_break();
void plat_beep();
// Ends the process at once with the exit code, without further shut-down.
[[noreturn]] void plat_terminate(int code);
// Bounds of the current thread's stack, for walking the frame-pointer chain safely.
void plat_stack_bounds(uintptr_t *low, uintptr_t *high);
