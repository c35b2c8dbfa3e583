// Program entry of the debugger: global resources, the map file, the protected start-up
// sequence with the message loop, and the leak report at the end.
#include <windows.h>

#include "bridge/evaluator_win32.h"
#include "engine/debuggee.h"
#include "engine/engine.h"
#include "plugin_host/plugins.h"
#include "settings/changes.h"
#include "settings/settings_registry_win32.h"
#include "startup/debugger_events.h"
#include "startup/main_window.h"
#include "startup/program.h"
#include "startup/startup_request_win32.h"
#include "symbols/symbols.h"
#include "ui/dialogs/load_progress_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/layout.h"
#include "ui/panels/code/recent_addresses.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/log.h"
#include "util/path.h"
#include "util/stringpool.h"
#include "util/visor.h"
#include "util/visor_win32.h"
#include "util/zone.h"

ProgramState g_program;

static void message_loop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (keyb_filter_message(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

static void startup_sequence(void *) {
  log_info("Initiating debugger...");
  keyb_init();
  changes_clear();
  settings_startup(g_program.start_dir);
  engine_init();
  recent_addresses_clear();
  symbols_init();
  evaluator_install();
  rich_images_init();
  plugins_init();
  load_progress_install(true);
  layout_init();
  debuggee_set_event_sink(deliver_debugger_event);

  log_info("Creating main window...");
  main_window_create();
  log_info("Starting main loop");
  main_tell_layout_error();
  startup_request_carry_out();
  message_loop();
  log_info("Shutting down the debugger...");

  debuggee_set_event_sink(nullptr);
  layout_shutdown();
  load_progress_install(false);
  plugins_shutdown();
  rich_gdi_pictures_free();
  evaluator_remove();
  symbols_shutdown();
  recent_addresses_clear();
  engine_shutdown();
  changes_free();
  settings_shutdown();
}

int program_main() {
  pool_init();
  log_open();
  GetCurrentDirectoryA(sizeof g_program.start_dir, g_program.start_dir);
  log_info("Allocating global resources...");
  global_resources_create();
  log_info("Loading primary mapfile...");
  visor_load_map(GetModuleHandleA(nullptr));
  protected_run(startup_sequence, nullptr);
  log_info("Freeing global resources...");
  global_resources_delete();
  pool_free();
  zone_block_report();
  zone_status_report();
  log_close();
  return 0;
}
