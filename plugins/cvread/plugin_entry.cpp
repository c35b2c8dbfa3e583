// Entry points of the CodeView and PDB reader: the platform-free reader fed with the
// debugger's KQ_ functions.
#include "plugin_host/kqplugin.h"
#include "plugins/common/kq_debug_api.h"
#include "plugins/common/mapped_extent.h"
#include "plugins/cvread/cv_reader.h"

extern "C" __declspec(dllexport) void PLUGIN_Init(void) { KQ_SetTitle((char *)cv_reader_title); }

extern "C" __declspec(dllexport) BOOL PLUGIN_LoadDebugInfo(BYTE *file_root, BYTE *debug_root) {
  size_t size = mapped_extent(file_root);
  if (!size || debug_root < file_root || (size_t)(debug_root - file_root) >= size) return FALSE;
  // The image's path lets the reader find a PDB beside the image when the path recorded
  // at link time does not exist here.
  char image[KQ_PATH];
  const char *image_path = kq_current_module_path(image) ? image : nullptr;
  return cv_load_debug_info(&kq_debug_api, file_root, size, debug_root, image_path) == LOAD_OK;
}
