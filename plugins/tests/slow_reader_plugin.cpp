// A debug-information reader of the tests, written only from the public header, whose load
// never ends on its own: it reports progress until the user cancels it (two minutes at
// most), so that the progress window and its Escape are driven whatever the machine's speed.
#include "plugin_host/kqplugin.h"

extern "C" __declspec(dllexport) void PLUGIN_Init(void) {
  KQ_SetTitle((char *)"A load that waits for the user, for the tests");
}

extern "C" __declspec(dllexport) BOOL PLUGIN_LoadDebugInfo(BYTE *file_root, BYTE *debug_root) {
  (void)file_root;
  (void)debug_root;
  const DWORD steps = 1200;
  for (DWORD i = 0; i < steps && KQ_LoadProgress(i, steps); i++) Sleep(100);
  return FALSE;
}
