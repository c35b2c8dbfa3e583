// The plug-in manager as the rest of the program sees it.
#pragma once

// Replaces the description of the plug-in the debugger called last; ignored while no
// plug-in has been called.
void plugin_set_title(const char *title);

// Start-up and shut-down of the manager, and the loading of the plug-ins from their
// folder once the main window exists. No plug-in is loaded yet.
void plugins_init();
void plugins_load();
void plugins_unload();
void plugins_shutdown();

// The code panel takes KQ_Goto's address through this hook; none installed, KQ_Goto
// does nothing.
typedef void (*KQGotoHandler)(unsigned long adr);
void kq_set_goto_handler(KQGotoHandler handler);
