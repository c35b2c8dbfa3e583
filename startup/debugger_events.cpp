#include "startup/debugger_events.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "bridge/module_refresh_win32.h"
#include "engine/address_eval.h"
#include "engine/debug_string.h"
#include "engine/debuggee.h"
#include "engine/engine.h"
#include "engine/execution.h"
#include "engine/registers.h"
#include "settings/settings.h"
#include "settings/settings_registry_win32.h"
#include "startup/command_line.h"
#include "startup/main_window.h"
#include "startup/resource_ids.h"
#include "startup/workspace.h"
#include "symbols/comments.h"
#include "symbols/eval/expression.h"
#include "symbols/symbols.h"
#include "symbols/user_patches.h"
#include "ui/keyb.h"
#include "ui/layout.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/code/recent_addresses.h"
#include "ui/panels/log/log_panel_win32.h"
#include "ui/panels/start_page/start_page_win32.h"
#include "util/log.h"

static void set_title(const char *text) {
  if (g_main.hwnd) SetWindowTextA(g_main.hwnd, text);
}

// The code panel at the program's entry point, the data panel at its data.
static void show_program_start() {
  MainModuleInfo main_module;
  if (!symbols_main_module(&main_module)) return;
  position_set(&g_positions[POSITION_CODE], main_module.entry);
  position_set(&g_positions[POSITION_DATA], main_module.data);
}

// The program's own options override the global ones from here on; they are announced
// as changed so that the hot key, the menu and the log panel follow them.
static void on_load() {
  log_trace("EVN_Load\n");
  settings_read_debuggee_options(debuggee_path());
  settings_take_snapshot(true);
  workspace_load();
  set_title(debuggee_path());
  start_page_add(debuggee_path());
  log_panel_follow_debuggee();
  debug_output_limit(DEBUG_OUTPUT_LIMIT);
  MainModuleInfo main_module;
  if (symbols_main_module(&main_module)) recent_address_enter(main_module.entry);
  show_program_start();  // attached programs get no EVN_Initiate
  layout_show_group("Debug");
}

static INT_PTR CALLBACK no_debug_info_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

// Where start-up runs to: the run expression, the entry point, or main/WinMain (the
// entry point when neither is known).
static bool start_target(uint32_t *target) {
  if (g_startup_request.run) {
    *target = expression_address(g_startup_request.run_expression);
    if (*target) return true;
    log_warning("Cannot evaluate '%s'", g_startup_request.run_expression);
  }
  MainModuleInfo main_module;
  if (!symbols_main_module(&main_module)) return false;
  *target = g_settings.ExecuteStartupCode ? symbols_start_address() : main_module.entry;
  return *target != 0;
}

static void on_initiate() {
  log_trace("EVN_Initiate\n");
  if (!g_address_eval.have_sources()) {
    char title[2 * KQ_PATH];
    snprintf(title, sizeof title, "%s (no debug information)", debuggee_path());
    set_title(title);
    if (g_settings.ShowFormatWarning) {
      keyb_set_active(false);
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NO_DEBUG_INFO),
                      g_main.hwnd, no_debug_info_proc, 0);
      keyb_set_active(true);
    }
  }
  main_to_front();
  show_program_start();  // a launched program's modules are known from here on
  uint32_t target;
  if (start_target(&target)) execution_run_to(target);
}

static void on_refresh() {
  module_refresh_debuggee();
  engine_refresh();
  comments_reresolve();
  user_patches_reresolve();
}

static void on_pause() {
  uint32_t ip = registers_ip();
  log_trace("EVN_Pause at %X\n", (unsigned)ip);
  main_to_front();
  recent_address_enter(ip);
  position_set(&g_positions[POSITION_CODE], ip);
}

// Where the thread stood when the program ended, when the system still tells; the
// registers shown stay those of the last stop when it does not.
static void on_exit() {
  main_to_front();
  RegisterSet last;
  if (registers_read(&last)) position_set(&g_positions[POSITION_CODE], last.r[REG_EIP]);
}

static void on_unload() {
  log_trace("EVN_Unload\n");
  main_to_front();
  workspace_save();
  settings_save_at_unload(debuggee_path());
  settings_take_snapshot(true);  // the global values are back
  symbols_unload();
  recent_addresses_clear();
  positions_reset();
  g_startup_request.event_handle = 0;
  g_startup_request.run = false;
  g_startup_request.run_expression[0] = 0;
  set_title(KQ_TITLE);
  layout_activate("Cover");
}

void deliver_debugger_event(int event) {
  switch (event) {
    case EVN_Load: on_load(); break;
    case EVN_Initiate: on_initiate(); break;
    case EVN_Refresh: on_refresh(); break;
    case EVN_Pause: on_pause(); break;
    case EVN_Exit: on_exit(); break;
    case EVN_Unload: on_unload(); break;
    default: break;  // EVN_Resume and unknown numbers
  }
}
