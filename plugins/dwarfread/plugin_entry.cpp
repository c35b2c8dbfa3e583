// Entry points of the DWARF and COFF symbol reader: the platform-free reader fed with
// the debugger's KQ_ functions. mingw-w64's images carry no debug directory for their
// DWARF, so the reader is reached through the image's path; an image that has one is read
// the same way from its mapping.
#include "plugin_host/kqplugin.h"
#include "plugins/common/kq_debug_api.h"
#include "plugins/common/mapped_extent.h"
#include "plugins/dwarfread/dwarf_reader.h"

extern "C" __declspec(dllexport) void PLUGIN_Init(void) { KQ_SetTitle((char *)dwarf_reader_title); }

extern "C" __declspec(dllexport) BOOL PLUGIN_LoadDebugInfo(BYTE *file_root, BYTE *debug_root) {
  (void)debug_root;
  return file_root &&
         dwarf_load(&kq_debug_api, file_root, mapped_extent(file_root), nullptr) == LOAD_OK;
}

extern "C" __declspec(dllexport) BOOL PLUGIN_SeekDebugInfo(char *path) {
  return path && dwarf_seek(&kq_debug_api, path, nullptr) == LOAD_OK;
}
