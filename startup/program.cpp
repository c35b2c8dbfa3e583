// Program entry of the debugger: log, map file, the protected start-up sequence, and
// the leak report at the end.
#include <windows.h>

#include "startup/program.h"
#include "util/log.h"
#include "util/path.h"
#include "util/stringpool.h"
#include "util/visor.h"
#include "util/visor_win32.h"
#include "util/zone.h"

ProgramState g_program;

static void startup_sequence(void *) {
  log_info("Initiating debugger...");
}

int program_main() {
  pool_init();
  log_open();
  GetCurrentDirectoryA(sizeof g_program.start_dir, g_program.start_dir);
  log_info("Loading primary mapfile...");
  visor_load_map(GetModuleHandleA(nullptr));
  protected_run(startup_sequence, nullptr);
  pool_free();
  zone_block_report();
  zone_status_report();
  log_close();
  return 0;
}
