#include "startup/debugger_events.h"

#include <windows.h>

#include "engine/debuggee.h"
#include "startup/command_line.h"
#include "startup/main_window.h"
#include "startup/recent_addresses.h"
#include "startup/settings_registry_win32.h"
#include "startup/workspace.h"
#include "ui/layout.h"
#include "util/log.h"

static void on_load() {
  log_trace("EVN_Load\n");
  settings_read_debuggee_options(debuggee_path());
  workspace_load();
  if (g_main.hwnd) SetWindowTextA(g_main.hwnd, debuggee_path());
  layout_activate("Debug");
}

static void on_initiate() {
  log_trace("EVN_Initiate\n");
  main_to_front();
  // Until the run-to of the start-up code exists the debuggee simply runs on.
  debuggee_resume();
}

static void on_pause() {
  log_trace("EVN_Pause\n");
  main_to_front();
}

static void on_unload() {
  log_trace("EVN_Unload\n");
  main_to_front();
  workspace_save();
  settings_save_at_unload(debuggee_path());
  recent_addresses_clear();
  g_startup_request.event_handle = 0;
  g_startup_request.run = false;
  g_startup_request.run_expression[0] = 0;
  if (g_main.hwnd) SetWindowTextA(g_main.hwnd, KQ_TITLE);
  layout_activate("Cover");
}

void deliver_debugger_event(int event) {
  switch (event) {
    case EVN_Load: on_load(); break;
    case EVN_Initiate: on_initiate(); break;
    case EVN_Pause: on_pause(); break;
    case EVN_Exit: main_to_front(); break;
    case EVN_Unload: on_unload(); break;
    default: break;  // EVN_Refresh, EVN_Resume and unknown numbers
  }
}
