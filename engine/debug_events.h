// The debug-event drain's helpers for code that waits for events itself.
#pragma once
#include <windows.h>

// Lets an event through at once, closing the file handles it carries.
void debug_event_pass(const DEBUG_EVENT *ev);
