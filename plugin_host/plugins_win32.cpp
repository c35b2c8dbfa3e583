// Loading and freeing the plug-in DLLs, and reloading them when their settings change.
#include "plugin_host/plugins.h"

#include <windows.h>
#include <stdio.h>

#include "plugin_host/plugin_text.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "util/log.h"
#include "util/visor_win32.h"

namespace {

struct PluginHost {
  void *main_window;
  PluginViewHooks hooks;
};
PluginHost g_host;

// Loads file from the plug-in folder as a plug-in in the given state; true also when it
// is listed already, false when the system cannot load it.
bool load_one(const char *file, bool enabled) {
  if (plugin_find(file)) return true;
  char path[2 * KQ_PATH];
  snprintf(path, sizeof path, "%s\\%s", g_settings.PluginPath, file);
  HMODULE module = LoadLibraryA(path);
  if (!module) return false;
  PluginEntryPoints entry = {
      (void (*)(void))(void *)GetProcAddress(module, "PLUGIN_Init"),
      (void (*)(void))(void *)GetProcAddress(module, "PLUGIN_Shutdown"),
      (void (*)(void *))(void *)GetProcAddress(module, "PLUGIN_Prop"),
      (int (*)(uint8_t *, uint8_t *))(void *)GetProcAddress(module, "PLUGIN_LoadDebugInfo"),
      (int (*)(char *))(void *)GetProcAddress(module, "PLUGIN_SeekDebugInfo")};
  PluginRecord *plugin = plugin_add(file, enabled, module, &entry);
  if (!plugin) {
    FreeLibrary(module);
    return false;
  }
  if (enabled && entry.init) {
    log_printf("PLUG-IN '%s' is loaded.\n", file);
    visor_load_map(module);
    plugin_call_init(plugin);
  }
  return true;
}

void release(PluginRecord *plugin) {
  visor_unload_map((HMODULE)plugin->module);
  FreeLibrary((HMODULE)plugin->module);
}

void settings_listener(int) {
  if (changes_test(CHG_SETTINGS) &&
      (settings_changed(g_settings.PluginPath) || settings_changed(g_settings.PluginOrder))) {
    plugins_unload();
    plugins_load(g_host.main_window);
  }
}

}  // namespace

void plugins_init() {
  g_plugin_manager = PluginManager{};
  changes_add_listener(settings_listener, 0);
  plugins_offer_debug_info(true);
}

void plugins_load(void *main_window) {
  g_host.main_window = main_window;
  changes_raise(CHG_PLUGINS);
  if (!g_settings.PluginPath[0]) return;  // no folder: not the root of the current drive
  char *order = g_settings.PluginOrder;
  PluginOrderCursor cursor;
  PluginOrderItem item;
  plugin_order_begin(&cursor, order);
  while (plugin_order_next(&cursor, &item))
    if (!load_one(item.name, item.enabled)) plugin_order_remove(&cursor, order, &item);
  char pattern[2 * KQ_PATH];
  snprintf(pattern, sizeof pattern, "%s\\*.dll", g_settings.PluginPath);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) load_one(found.cFileName, true);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
}

void plugins_unload() { plugins_remove_all(release); }

void plugins_shutdown() {
  plugins_offer_debug_info(false);
  changes_remove_listener(settings_listener, 0);
  plugins_unload();
}

void plugins_properties(PluginRecord *plugin) { plugin_call_prop(plugin, g_host.main_window); }

void plugins_set_view_hooks(const PluginViewHooks *hooks) {
  g_host.hooks = hooks ? *hooks : PluginViewHooks{};
}

const PluginViewHooks *plugins_view_hooks() { return &g_host.hooks; }
