// The plug-in manager's records and every call into a plug-in that needs no system: the
// plug-ins in load order, the commands they register, CurrentPlugin, and the dispatch of
// debug information with CurrentModule set around each call. Loading and freeing the
// DLLs is the system's part (plugins_win32.cpp).
#pragma once
#include <stdint.h>

struct ModuleRecord;

// The entry points a plug-in may export (C calling convention); null when it does not.
struct PluginEntryPoints {
  void (*init)(void);
  void (*shutdown)(void);
  void (*prop)(void *main_window);
  int (*load_debug_info)(uint8_t *file_root, uint8_t *debug_root);
  int (*seek_debug_info)(char *path);
};

typedef void (*PluginCommandProc)(char *parameter);

struct PluginRecord {
  char *file_name;    // owned; as found, without folder
  char *description;  // owned; shown in the plug-in dialog
  uint8_t enabled;
  void *module;       // the loaded DLL
  PluginEntryPoints entry;
};

// One allocation: the record, then the key and the description.
struct PluginCommand {
  PluginRecord *owner;
  const char *key;
  const char *description;
  PluginCommandProc procedure;
};

struct PluginManager {
  PluginRecord **plugins;    // zone block, load order
  int plugin_count;
  PluginCommand **commands;  // zone block, registration order
  int command_count;
  PluginRecord *current;     // CurrentPlugin: the plug-in called last; never cleared
};
extern PluginManager g_plugin_manager;

// Appends a record with its description by the rules ("Module has no PLUGIN_Init
// function", "Module is loaded but not enabled", "-"); null without memory.
PluginRecord *plugin_add(const char *file_name, bool enabled, void *module,
                         const PluginEntryPoints *entry);
// The plug-in of that file name, compared without regard to case, or null.
PluginRecord *plugin_find(const char *file_name);
// The i-th plug-in and the i-th command; null past the end.
PluginRecord *plugin_at(int index);
PluginCommand *plugin_command_at(int index);

// Calls into a plug-in, each with CurrentPlugin set to it first. Init only when enabled;
// shut-down and properties only for an enabled plug-in that has them.
void plugin_call_init(PluginRecord *plugin);
void plugin_call_shutdown(PluginRecord *plugin);
void plugin_call_prop(PluginRecord *plugin, void *main_window);

// KQ_SetTitle and KQ_RegisterCommand on behalf of CurrentPlugin (ignored while no
// plug-in has been called). They raise CHG_PLUGINS and CHG_COMMANDS.
void plugin_set_title(const char *title);
bool plugin_register_command(const char *title, PluginCommandProc procedure);
// The first command, in registration order, whose key is the typed key (case-sensitive).
PluginCommand *plugin_command_find(const char *key);
// Runs typed text, "key parameter": false for an unknown key or a command without
// procedure; logs "Running '%s'" with the key and calls the procedure otherwise.
bool plugin_run_command(const char *typed);

// Every command freed; then every plug-in from the last to the first: shut down, handed
// to release (which frees the DLL), and freed. Raises CHG_COMMANDS and CHG_PLUGINS.
void plugins_remove_all(void (*release)(PluginRecord *plugin));

// The dispatch of debug information: each enabled plug-in with the entry point, in list
// order, until one accepts or the user cancels the load, with CurrentModule set to module
// during each call only.
bool plugins_load_debug_info(ModuleRecord *module, uint8_t *file_root, uint8_t *debug_root);
bool plugins_seek_debug_info(ModuleRecord *module, const char *path);
// Installs (or, with false, removes) the dispatch as the module loader's handlers of
// debug information.
void plugins_offer_debug_info(bool install);
// KQ_RefuseDebugInfo: CurrentPlugin's reason for not reading what it was offered, kept
// under its file name for the line that says why a module has no symbols.
void plugin_refused(const char *reason);
