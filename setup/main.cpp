// Entry of the installer.
#include <windows.h>

#include "util/log.h"
#include "util/visor_win32.h"
#include "util/zone.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  log_open();
  visor_load_map(GetModuleHandleA(nullptr));
  zone_block_report();
  zone_status_report();
  log_close();
  return 0;
}
