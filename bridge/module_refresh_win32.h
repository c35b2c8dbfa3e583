// The module list of the debuggee brought up to date: the system's snapshot plus the
// libraries whose load events came before the snapshot lists them.
#pragma once

// The debuggee's path becomes the symbols' program first: debug information read while
// the modules load names its sources relative to the program's folder, and the first
// refresh of a session comes before EVN_Load.
bool module_refresh_debuggee();
