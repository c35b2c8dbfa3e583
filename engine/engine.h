// What the program's spine calls on the engine's tables.
#pragma once

// Start-up: the breakpoint table and the guard slots.
void engine_init();
// Shut-down: clears breakpoints, guards, step and run-to, and the region list.
void engine_shutdown();
// At EVN_Refresh: the region list again, breakpoints resolved and armed again, guards
// armed again.
void engine_refresh();
