#include "symbols/symbols.h"

#include <string.h>
#include <strings.h>

#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/address_name.h"
#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "util/log.h"
#include "util/path.h"
#include "x86/disasm.h"

namespace {

struct SymbolState {
  char program[KQ_PATH];
};
SymbolState g_state;

// Source files are searched again only when a setting that steers the search changed.
void on_change(int) {
  if (changes_test(CHG_SETTINGS) && (settings_changed(g_settings.SourceSearchPaths) ||
                                     settings_changed(&g_settings.SearchSourceInSubfolders)))
    sources_resolve_again();
}

ModuleRecord *main_module() {
  for (ModuleRecord *m = module_next(nullptr); m; m = module_next(m))
    if (!strcasecmp(m->path, g_state.program)) return m;
  return module_next(nullptr);
}

}  // namespace

void symbols_init() {
  types_init();
  entries_init();
  sources_init();
  log_printf("OK\n");
  modules_init();
  changes_add_listener(on_change, 0);
  set_address_namer(symbols_name_exact);
}

void symbols_shutdown() {
  set_address_namer(nullptr);
  changes_remove_listener(on_change, 0);
  modules_free();
  entries_free();
  sources_free();
  types_free();
  log_printf("OK\n");
}

void symbols_set_program(const char *path) {
  text_copy(g_state.program, sizeof g_state.program, path ? path : "");
  sources_set_program(g_state.program);
}

void symbols_unload() {
  entries_clear();
  sources_clear();
  types_delete_module(nullptr);
}

// Named from itself, the address never gets a module prefix: a name in disassembly
// text does not depend on where the debuggee last stopped.
int symbols_name_exact(uint32_t address, char *buffer, int buflen) {
  if (buflen <= 0 || !entry_equal(address)) return 0;
  if (!address_name(address, address, false, buffer, (size_t)buflen)) return 0;
  return (int)strlen(buffer);
}

bool symbol_address(const char *name, uint32_t *address) {
  int consumed = 0;
  if (!name) return false;
  if (address_read(name, address, &consumed) && !name[consumed]) return true;
  const EntryRecord *e = entry_find_plain(name);
  if (e) *address = e->address;
  return e != nullptr;
}

bool symbol_source_line(uint32_t address, SourceRecord **source, uint32_t *line) {
  SourceRecord *s = source_of_address(address);
  uint32_t l = source_line_of(s, address);
  if (source) *source = l ? s : nullptr;
  if (line) *line = l;
  return l != 0;
}

bool symbol_has_debug_info(uint32_t address) { return symbol_source_line(address, nullptr, nullptr); }

ModuleRecord *symbol_module(uint32_t address) { return module_by_address(address); }

bool symbols_main_module(MainModuleInfo *info) {
  const ModuleRecord *m = main_module();
  memset(info, 0, sizeof *info);
  if (!m) return false;
  info->entry = m->entry;
  info->image_base = m->image_base;
  info->base = m->base;
  info->data = m->data;
  info->subsystem = m->subsystem;
  info->console = m->console != 0;
  return true;
}

uint32_t symbols_start_address() {
  const ModuleRecord *m = main_module();
  if (!m) return 0;
  const char *name = m->console ? "main" : "WinMain";
  if (uint32_t a = entry_address_in_module(name, m)) return a;
  for (int id = 0; id < tab_count(&g_entries.table); id++) {
    if (!tab_in_use(&g_entries.table, id)) continue;
    const EntryRecord *e = *(EntryRecord **)tab_slot(&g_entries.table, id);
    if (e->address >= m->base && e->address < m->end && entry_name_match(e->name, name))
      return e->address;
  }
  return m->entry;
}
