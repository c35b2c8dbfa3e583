// The plug-in manager as the rest of the program sees it.
#pragma once

// Replaces the description of the plug-in the debugger called last; ignored while no
// plug-in has been called.
void plugin_set_title(const char *title);
