// The KQ_ functions outside the symbol stores that the plug-ins' entry points call,
// standing in for kq.exe's where a plug-in's code is built into a program together with
// the stores (plugin_host/kq_debug_info.cpp): the log, the plug-in title, refusals and
// progress are left out (nothing is cancelled), the rest are the same calls.
#define KQ_BUILDING_DEBUGGER
#include "plugin_host/kqplugin.h"

#include "symbols/mapped_files.h"
#include "symbols/modules.h"
#include "util/path.h"

extern "C" {
DBGAPI void KQ_SetTitle(char *) {}
DBGAPI void KQ_Printf(char *, ...) {}
DBGAPI BYTE *KQ_MapFile(char *fname) { return (BYTE *)map_file(fname); }
DBGAPI void KQ_UnmapFile(BYTE *root) { unmap_file(root); }
DBGAPI void KQ_RefuseDebugInfo(char *) {}
DBGAPI BOOL KQ_LoadProgress(DWORD, DWORD) { return TRUE; }
DBGAPI HMODULE KQ_GetModule(DWORD adr) { return (HMODULE)(void *)module_by_address(adr); }
DBGAPI BOOL KQ_GetModulePath(HMODULE module, char path[]) {
  text_copy(path, KQ_PATH, ((ModuleRecord *)module)->path);
  return TRUE;
}
}
