#include "bridge/module_refresh_win32.h"

#include <string.h>

#include "engine/debuggee.h"
#include "engine/loaded_images.h"
#include "symbols/modules.h"
#include "symbols/symbols.h"
#include "util/zone.h"

bool module_refresh_debuggee() {
  symbols_set_program(debuggee_path());
  int count = 0;
  const LoadedImage *images = loaded_images(&count);
  ModuleSnapshotEntry *announced =
      count ? (ModuleSnapshotEntry *)zone_alloc(count * sizeof *announced) : nullptr;
  if (!announced) count = 0;
  for (int i = 0; i < count; i++) {
    const char *name = strrchr(images[i].path, '\\');
    announced[i] = ModuleSnapshotEntry{name ? name + 1 : images[i].path, images[i].path,
                                       images[i].base, images[i].size, 1};
  }
  bool changed = modules_refresh(debuggee_process_id(), announced, count);
  zone_free(announced);
  return changed;
}
