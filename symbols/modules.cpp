#include "symbols/modules.h"

#include <string.h>
#include <strings.h>

#include "settings/changes.h"
#include "symbols/entries.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "util/log.h"
#include "util/zone.h"

ModuleTable g_modules;

namespace {

ModuleRecord *record(int slot) { return *(ModuleRecord **)tab_slot(&g_modules.table, slot); }

ModuleRecord *by_path(const char *path) {
  for (const ModuleRecord *m = module_next(nullptr); m; m = module_next(m))
    if (!strcasecmp(m->path, path)) return (ModuleRecord *)m;
  return nullptr;
}

// The record of a listed module: by path, or at the same base under another spelling of
// the path (a library announced by its load event before the snapshot lists it), which
// then takes the listed spelling.
ModuleRecord *listed(const ModuleSnapshotEntry &entry) {
  if (ModuleRecord *m = by_path(entry.path)) return m;
  for (ModuleRecord *m = module_next(nullptr); m; m = module_next(m)) {
    if (m->base != entry.base || m->present) continue;
    char *name = zone_strdup(entry.name ? entry.name : ""), *path = zone_strdup(entry.path);
    if (name && path) {
      zone_free(m->name);
      zone_free(m->path);
      m->name = name;
      m->path = path;
    } else {
      zone_free(name);
      zone_free(path);
    }
    return m;
  }
  return nullptr;
}

}  // namespace

void modules_init() {
  tab_init(&g_modules.table, sizeof(ModuleRecord *));
  g_modules.current = nullptr;
  log_printf("OK\n");
}

void modules_free() {
  while (ModuleRecord *m = module_next(nullptr)) module_unload(m);
  tab_free(&g_modules.table);
  log_printf("OK\n");
}

bool modules_refresh_from(const ModuleSnapshotEntry *list, int count) {
  bool changed = false;
  for (int i = 0; i < count; i++) {
    if (ModuleRecord *m = listed(list[i])) {
      m->present = 1;
      m->usage = list[i].usage;
    } else if (module_load(&list[i])) {
      changed = true;
    }
  }
  for (int slot = 0; slot < tab_count(&g_modules.table); slot++) {
    if (!tab_in_use(&g_modules.table, slot)) continue;
    ModuleRecord *m = record(slot);
    if (!m->present) {
      module_unload(m);
      changed = true;
    } else {
      m->present = 0;
    }
  }
  if (changed) changes_raise(CHG_MODULES);
  return changed;
}

ModuleRecord *module_load(const ModuleSnapshotEntry *entry) {
  int slot = tab_alloc(&g_modules.table);
  ModuleRecord *m = (ModuleRecord *)zone_alloc_zeroed(sizeof(ModuleRecord));
  if (slot < 0 || !m) {
    tab_release(&g_modules.table, slot);
    return (ModuleRecord *)zone_free(m);
  }
  *(ModuleRecord **)tab_slot(&g_modules.table, slot) = m;
  m->slot = (uint32_t)slot;
  m->base = entry->base;
  m->end = entry->base + entry->size;
  m->usage = entry->usage;
  m->name = zone_strdup(entry->name ? entry->name : "");
  m->path = zone_strdup(entry->path ? entry->path : "");
  m->present = 1;
  if (!m->name || !m->path) {
    module_unload(m);
    return nullptr;
  }
  log_printf("Loading module '%s' at %X\n", m->path, m->base);
  module_parse_image(m);
  entries_flush();
  return m;
}

void module_unload(ModuleRecord *m) {
  if (m->path) log_printf("Unloading module %s\n", m->path);
  sources_empty_entry_maps(m->base, m->end);
  entries_remove_range(m->base, m->end);
  sources_remove_range(m->base, m->end);
  types_delete_module(m);
  if (g_modules.current == m) g_modules.current = nullptr;
  text_free(&m->text);
  tab_release(&g_modules.table, (int)m->slot);
  zone_free(m->exports);
  zone_free(m->sections);
  zone_free(m->path);
  zone_free(m->name);
  zone_free(m);
}

ModuleRecord *module_by_address(uint32_t address) {
  for (const ModuleRecord *m = module_next(nullptr); m; m = module_next(m))
    if (address >= m->base && address < m->end) return (ModuleRecord *)m;
  return nullptr;
}

ModuleRecord *module_by_name(const char *name) {
  if (!name) return nullptr;
  for (const ModuleRecord *m = module_next(nullptr); m; m = module_next(m))
    if (!strcasecmp(m->path, name) || !strcasecmp(m->name, name)) return (ModuleRecord *)m;
  return nullptr;
}

ModuleRecord *module_next(const ModuleRecord *module) {
  for (int slot = module ? (int)module->slot + 1 : 0; slot < tab_count(&g_modules.table); slot++)
    if (tab_in_use(&g_modules.table, slot)) return record(slot);
  return nullptr;
}

uint32_t module_size(const ModuleRecord *module) { return module ? module->end - module->base : 0; }

int modules_count() { return tab_used(&g_modules.table); }

ModuleRecord *module_current() { return g_modules.current; }

void module_set_current(ModuleRecord *module) { g_modules.current = module; }

uint32_t module_section_address(uint32_t section, uint32_t offset) {
  const ModuleRecord *m = g_modules.current;
  if (!m || section == 0 || section > (uint32_t)m->section_count) return 0;
  return m->sections[section - 1].address + offset;
}
