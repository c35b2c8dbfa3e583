// The plug-in manager as the rest of the program sees it: its life, the loading of the
// DLLs from the plug-in folder, and the hooks through which the views answer plug-ins.
#pragma once
#include <stdint.h>

#include "plugin_host/manager.h"

// Start-up: empty lists, the listener that reloads the plug-ins when PluginPath or
// PluginOrder changes, and the dispatch of debug information to the plug-ins.
void plugins_init();
// PluginOrder's items in order (an item whose DLL cannot be loaded is cut out of the
// setting), then every other DLL of the folder, enabled; raises CHG_PLUGINS. main_window
// is what PLUGIN_Prop gets.
void plugins_load(void *main_window);
void plugins_unload();
void plugins_shutdown();
// Calls PLUGIN_Prop of an enabled plug-in that has it, over the main window.
void plugins_properties(PluginRecord *plugin);

// The code and data views answer KQ_Goto, KQ_GetSelection and KQ_GetPosition through
// these; without them KQ_Goto does nothing, the selection is FALSE and the position 0.
struct PluginViewHooks {
  void (*go_to)(uint32_t address);
  // The active view's selected range; false when no code or data view is active.
  bool (*selection)(uint32_t *low, uint32_t *high);
  uint32_t (*position)();
};
void plugins_set_view_hooks(const PluginViewHooks *hooks);
const PluginViewHooks *plugins_view_hooks();
