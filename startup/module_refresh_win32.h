// The module list of the debuggee brought up to date: the system's snapshot plus the
// libraries whose load events came before the snapshot lists them.
#pragma once

bool module_refresh_debuggee();
