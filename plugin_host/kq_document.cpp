// The plug-in interface, group 1: the debuggee program, its modules, the views' places
// and its memory.
#define KQ_BUILDING_DEBUGGER
#include "plugin_host/kqplugin.h"

#include "engine/debuggee.h"
#include "engine/memory.h"
#include "plugin_host/plugins.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "util/path.h"
#include "x86/assemble.h"
#include "x86/disasm.h"

namespace {
// A handle a plug-in passes back is trusted only when it is in the module table.
const ModuleRecord *known_module(HMODULE handle) {
  for (const ModuleRecord *m = module_next(nullptr); m; m = module_next(m))
    if ((const void *)m == (const void *)handle) return m;
  return nullptr;
}
}  // namespace

extern "C" {

DBGAPI BOOL KQ_LoadProgram(char *path) {
  return path && debuggee_unload() && debuggee_launch(path);
}

DBGAPI BOOL KQ_ReloadProgram(void) { return debuggee_reload(); }

DBGAPI BOOL KQ_UnloadProgram(void) {
  if (debuggee_state() == DS_NOTLOADED) return FALSE;
  return debuggee_unload();
}

DBGAPI void KQ_GetFullPath(char *filename, char path[]) {
  if (path) source_full_path(filename ? filename : "", path, KQ_PATH);
}

DBGAPI HMODULE KQ_GetModule(DWORD adr) { return (HMODULE)(void *)module_by_address(adr); }

DBGAPI BOOL KQ_GetModulePath(HMODULE module, char path[]) {
  if (!path) return FALSE;
  const ModuleRecord *m = known_module(module);
  if (module && !m) return FALSE;
  text_copy(path, KQ_PATH, m ? m->path : debuggee_path());
  return path[0] != 0;
}

DBGAPI BOOL KQ_GetSelection(DWORD *L, DWORD *R) {
  const PluginViewHooks *hooks = plugins_view_hooks();
  uint32_t low = 0, high = 0;
  if (!hooks->selection || !hooks->selection(&low, &high)) return FALSE;
  if (L) *L = low;
  if (R) *R = high;
  return TRUE;
}

DBGAPI DWORD KQ_GetPosition(void) {
  const PluginViewHooks *hooks = plugins_view_hooks();
  return hooks->position ? hooks->position() : 0;
}

DBGAPI DWORD KQ_Assemble(DWORD adr, char *text) {
  return text ? (DWORD)assemble_and_write(adr, text, memory_writer) : 0;
}

DBGAPI DWORD KQ_Disasm(DWORD adr, char text[]) {
  return text ? (DWORD)disasm_text_at(adr, text, memory_reader) : 0;
}

DBGAPI DWORD KQ_Write(DWORD adr, DWORD size, BYTE *data) {
  return data ? memory_write(adr, data, size) : 0;
}

DBGAPI DWORD KQ_Read(DWORD adr, DWORD size, BYTE data[]) {
  return data ? memory_read(adr, data, size) : 0;
}
}
