#include "plugin_host/manager.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "plugin_host/plugin_text.h"
#include "settings/changes.h"
#include "symbols/debug_info.h"
#include "symbols/modules.h"
#include "util/log.h"
#include "util/path.h"
#include "util/zone.h"

PluginManager g_plugin_manager;

namespace {

PluginManager &m = g_plugin_manager;

const char *initial_description(bool enabled, const PluginEntryPoints *entry, char *out,
                                size_t outlen) {
  if (!entry->init) snprintf(out, outlen, "Module has no %s function", "PLUGIN_Init");
  else text_copy(out, outlen, enabled ? "-" : "Module is loaded but not enabled");
  return out;
}

// The loader calls the handlers with the module it loads as the current module, once per
// entry; each dispatch leaves it current again for the entries that follow.
bool offer_entry(const uint8_t *file_root, const uint8_t *debug_root) {
  ModuleRecord *module = module_current();
  bool accepted =
      plugins_load_debug_info(module, (uint8_t *)file_root, (uint8_t *)debug_root);
  module_set_current(module);
  return accepted;
}

bool offer_path(const char *path) {
  ModuleRecord *module = module_current();
  bool accepted = plugins_seek_debug_info(module, path);
  module_set_current(module);
  return accepted;
}

const DebugInfoHandlers kHandlers = {offer_entry, offer_path};

}  // namespace

PluginRecord *plugin_add(const char *file_name, bool enabled, void *module,
                         const PluginEntryPoints *entry) {
  PluginRecord *plugin = (PluginRecord *)zone_alloc(sizeof(PluginRecord));
  if (!plugin) return nullptr;
  char description[KQ_PATH];
  *plugin = PluginRecord{zone_strdup(file_name),
                         zone_strdup(initial_description(enabled, entry, description,
                                                         sizeof description)),
                         (uint8_t)enabled, module, *entry};
  m.plugins = (PluginRecord **)zone_append(m.plugins, &plugin, sizeof plugin);
  m.plugin_count++;
  return plugin;
}

PluginRecord *plugin_find(const char *file_name) {
  for (int i = 0; i < m.plugin_count; i++)
    if (!strcasecmp(m.plugins[i]->file_name, file_name)) return m.plugins[i];
  return nullptr;
}

PluginRecord *plugin_at(int index) {
  return index >= 0 && index < m.plugin_count ? m.plugins[index] : nullptr;
}

PluginCommand *plugin_command_at(int index) {
  return index >= 0 && index < m.command_count ? m.commands[index] : nullptr;
}

void plugin_call_init(PluginRecord *plugin) {
  if (!plugin->enabled || !plugin->entry.init) return;
  m.current = plugin;
  plugin->entry.init();
}

void plugin_call_shutdown(PluginRecord *plugin) {
  if (!plugin->enabled || !plugin->entry.shutdown) return;
  m.current = plugin;
  plugin->entry.shutdown();
}

void plugin_call_prop(PluginRecord *plugin, void *main_window) {
  if (!plugin || !plugin->enabled || !plugin->entry.prop) return;
  m.current = plugin;
  plugin->entry.prop(main_window);
}

void plugin_set_title(const char *title) {
  if (!m.current || !title) return;
  m.current->description = (char *)zone_free(m.current->description);
  m.current->description = zone_strdup(title);
  changes_raise(CHG_PLUGINS);
}

bool plugin_register_command(const char *title, PluginCommandProc procedure) {
  if (!m.current || !title) return false;
  CommandTitle parts;
  command_title_split(title, &parts);
  size_t description_length = strlen(parts.description);
  PluginCommand *command = (PluginCommand *)zone_alloc(sizeof(PluginCommand) +
                                                       parts.key_length + description_length + 2);
  if (!command) return false;
  char *key = (char *)(command + 1);
  char *description = key + parts.key_length + 1;
  memcpy(key, parts.key, parts.key_length);
  key[parts.key_length] = 0;
  memcpy(description, parts.description, description_length + 1);
  *command = PluginCommand{m.current, key, description, procedure};
  m.commands = (PluginCommand **)zone_append(m.commands, &command, sizeof command);
  m.command_count++;
  changes_raise(CHG_COMMANDS);
  return true;
}

PluginCommand *plugin_command_find(const char *key) {
  for (int i = 0; i < m.command_count; i++)
    if (!strcmp(m.commands[i]->key, key)) return m.commands[i];
  return nullptr;
}

bool plugin_run_command(const char *typed) {
  char key[KQ_PATH], parameter[KQ_PATH];
  text_copy(parameter, sizeof parameter, typed_command_split(typed, key, sizeof key));
  PluginCommand *command = plugin_command_find(key);
  if (!command || !command->procedure) return false;
  log_printf("Running '%s'\n", key);
  m.current = command->owner;
  command->procedure(parameter);
  return true;
}

void plugins_remove_all(void (*release)(PluginRecord *plugin)) {
  for (int i = 0; i < m.command_count; i++) zone_free(m.commands[i]);
  m.commands = (PluginCommand **)zone_free(m.commands);
  m.command_count = 0;
  for (int i = m.plugin_count - 1; i >= 0; i--) {
    PluginRecord *plugin = m.plugins[i];
    plugin_call_shutdown(plugin);
    if (release) release(plugin);
    zone_free(plugin->description);
    zone_free(plugin->file_name);
    zone_free(plugin);
  }
  m.plugins = (PluginRecord **)zone_free(m.plugins);
  m.plugin_count = 0;
  m.current = nullptr;
  changes_raise(CHG_COMMANDS);
  changes_raise(CHG_PLUGINS);
}

namespace {

// Each enabled plug-in that has the entry point (load with the roots, or seek with a copy
// of path the plug-in may change), in list order, until one accepts.
bool offer_in_order(ModuleRecord *module, uint8_t *file_root, uint8_t *debug_root,
                    const char *path) {
  for (int i = 0; i < m.plugin_count; i++) {
    PluginRecord *plugin = m.plugins[i];
    const PluginEntryPoints &e = plugin->entry;
    bool has = path ? e.seek_debug_info != nullptr : e.load_debug_info != nullptr;
    if (!plugin->enabled || !has) continue;
    char copy[KQ_PATH];
    text_copy(copy, sizeof copy, path ? path : "");
    m.current = plugin;
    module_set_current(module);
    int accepted = path ? e.seek_debug_info(copy) : e.load_debug_info(file_root, debug_root);
    module_set_current(nullptr);
    if (accepted) return true;
    if (debug_info_cancelled()) return false;
  }
  return false;
}

}  // namespace

bool plugins_load_debug_info(ModuleRecord *module, uint8_t *file_root, uint8_t *debug_root) {
  return offer_in_order(module, file_root, debug_root, nullptr);
}

bool plugins_seek_debug_info(ModuleRecord *module, const char *path) {
  return offer_in_order(module, nullptr, nullptr, path ? path : "");
}

void plugin_refused(const char *reason) {
  if (m.current) debug_info_refused(m.current->file_name, reason);
}

void plugins_offer_debug_info(bool install) {
  debug_info_set_handlers(install ? &kHandlers : nullptr);
}
