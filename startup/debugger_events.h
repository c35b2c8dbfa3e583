#pragma once
// What the program does at each debugger event of the session (EVN_Load ... EVN_Unload);
// numbers 7 and above are ignored.
void deliver_debugger_event(int event);
