// Entry points of the Borland debug information reader: the platform-free reader fed
// with the debugger's KQ_ functions.
#include "plugin_host/kqplugin.h"
#include "plugins/common/kq_debug_api.h"
#include "plugins/common/mapped_extent.h"
#include "plugins/tdsread/tds_reader.h"

extern "C" __declspec(dllexport) void PLUGIN_Init(void) { KQ_SetTitle((char *)tds_reader_title); }

extern "C" __declspec(dllexport) BOOL PLUGIN_LoadDebugInfo(BYTE *file_root, BYTE *debug_root) {
  return tds_load(&kq_debug_api, file_root, mapped_extent(file_root), debug_root, nullptr) ==
         LOAD_OK;
}

extern "C" __declspec(dllexport) BOOL PLUGIN_SeekDebugInfo(char *path) {
  return path && tds_seek(&kq_debug_api, path, nullptr) == LOAD_OK;
}
