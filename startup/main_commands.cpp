// The main window's commands: a table of command numbers and their handlers.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/registers.h"
#include "settings/settings.h"
#include "startup/commands.h"
#include "startup/jit_registration_win32.h"
#include "startup/main_window.h"
#include "startup/open_file_win32.h"
#include "startup/program.h"
#include "ui/dialogs/guard_dialog.h"
#include "ui/dialogs/input_prompt_ids.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/dialogs/options_dialog_win32.h"
#include "ui/dialogs/plugin_dialog_win32.h"
#include "ui/keyb.h"
#include "ui/layout.h"
#include "ui/panels/balloon/balloon_win32.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/code/recent_addresses.h"
#include "ui/panels/navigator/navigator_win32.h"
#include "ui/panels/panel_windows.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "util/log.h"

// The product web page of command 10071.
static const char kWebPage[] = "https://kaquin.invalid/debugger/";

static void focus_panel(PanelId id) { layout_focus(g_panels[id]); }

static void message(UINT flags, const char *format, const char *arg) {
  char text[2 * KQ_PATH];
  snprintf(text, sizeof text, format, arg);
  keyb_set_active(false);
  MessageBoxA(g_main.hwnd, text, "Kaquin Debugger", flags);
  keyb_set_active(true);
}

static void open_shell(const char *target, const char *failure) {
  if ((INT_PTR)ShellExecuteA(g_main.hwnd, "open", target, nullptr, nullptr, SW_SHOW) <= 32)
    message(MB_OK | MB_ICONERROR, failure, target);
}

static void cmd_animation() { layout_switch("Animation", "Debug"); }
static void cmd_maximize_panel() { layout_switch("Maximize", "Debug"); }
static void cmd_next_layout() { layout_next_holder(); }
static void cmd_swap_panels() { layout_swap(); }
static void cmd_focus_code() { focus_panel(PANEL_CODE); }
static void cmd_focus_data() { focus_panel(PANEL_DATA); }
static void cmd_focus_log() { focus_panel(PANEL_LOG); }
static void cmd_focus_cpu() { focus_panel(PANEL_REG); }
static void cmd_focus_source() { focus_panel(PANEL_SOURCE); }
static void cmd_focus_watch() { focus_panel(PANEL_WATCH); }
static void cmd_web_page() { open_shell(kWebPage, "Cannot connect to our website '%s'"); }
static void cmd_help_file() {
  char path[KQ_PATH];
  snprintf(path, sizeof path, "%s\\index.htm", g_program.start_dir);
  open_shell(path, "Cannot open help file '%s'");
}
static void cmd_open() { open_file_dialog(); }
static void cmd_quit() { DestroyWindow(g_main.hwnd); }
static void cmd_reload() { debuggee_reload(); }
static void cmd_unload() { debuggee_unload(); }
static void cmd_jit() {
  keyb_set_active(false);
  jit_dialog(g_main.hwnd);
  keyb_set_active(true);
}
// The hot key is given up while the dialog is up, so that the dialog's test of the key
// in force finds it free; the settings listener takes a changed key after.
static void cmd_options() {
  keyb_set_active(false);
  UnregisterHotKey(g_main.hwnd, MAIN_HOTKEY);
  options_dialog(g_main.hwnd, g_program.start_dir);
  keyb_register_hotkey(g_main.hwnd, g_settings.HotKey, MAIN_HOTKEY);
  keyb_set_active(true);
}
static void cmd_plugin_files() { plugin_control_open(PLUGIN_PAGE_FILES, g_main.hwnd); }
static void cmd_plugin_interface() { plugin_control_open(PLUGIN_PAGE_INTERFACE, g_main.hwnd); }
static void cmd_nav_comments() { navigator_open(NAV_COMMENT, g_main.hwnd); }
static void cmd_nav_breakpoints() { navigator_open(NAV_BREAK, g_main.hwnd); }
static void cmd_nav_symbols() { navigator_open(NAV_SYMBOL, g_main.hwnd); }
static void cmd_nav_modules() { navigator_open(NAV_MODULE, g_main.hwnd); }
static void cmd_nav_windows() { navigator_open(NAV_WINDOW, g_main.hwnd); }
static void cmd_nav_threads() { navigator_open(NAV_THREAD, g_main.hwnd); }
static void cmd_nav_processes() { navigator_open(NAV_PROCESS, g_main.hwnd); }
static void cmd_guards() {
  keyb_set_active(false);
  guard_dialog_open(g_main.hwnd, nullptr);
  keyb_set_active(true);
}
// The answer joins the watch list and stays in LastExpression, with the earlier answers.
static void cmd_add_watch() {
  keyb_set_active(false);
  const int accepted = input_prompt(MAKEINTRESOURCEA(IDS_PROMPT_INSERT_EXPRESSION),
                                    g_settings.LastExpression, g_settings.LastExpressionHistory);
  keyb_set_active(true);
  if (accepted) watch_add(g_settings.LastExpression, -1);
}
static void cmd_pause_resume() { execution_pause_or_resume(); }
static void cmd_return() { execution_return(); }
static void cmd_step_into() { execution_step(false); }
static void cmd_step_over() { execution_step(true); }
// The code position follows the restored instruction pointer; the one left is kept in
// its history.
static void cmd_step_back() {
  if (!execution_step_back()) return;
  const uint32_t ip = registers_ip();
  recent_address_enter(ip);
  position_follow(ip, true);
}
static void cmd_console() {
  HWND console = g_panels[PANEL_CONSOLE];
  ShowWindow(console, IsWindowVisible(console) ? SW_HIDE : SW_SHOWNOACTIVATE);
}
static void cmd_trace_focus() { log_console("Focus=%X\n", (unsigned)(uintptr_t)GetFocus()); }
static void cmd_maximize_window() {
  ShowWindow(g_main.hwnd, IsZoomed(g_main.hwnd) ? SW_RESTORE : SW_MAXIMIZE);
}

namespace {

// The decoder has a CommandRow of its own: this one stays inside this file.
struct CommandRow {
  int id;
  void (*handler)();
};

const CommandRow kCommands[] = {
    {CMD_ANIMATION, cmd_animation},
    {CMD_FOCUS_CODE, cmd_focus_code},
    {CMD_FOCUS_DATA, cmd_focus_data},
    {CMD_FOCUS_LOG, cmd_focus_log},
    {CMD_FOCUS_CPU, cmd_focus_cpu},
    {CMD_FOCUS_SOURCE, cmd_focus_source},
    {CMD_FOCUS_WATCH, cmd_focus_watch},
    {CMD_GUARDS, cmd_guards},
    {CMD_KEY_LIST, balloon_show_all},
    {CMD_WEB_PAGE, cmd_web_page},
    {CMD_HELP_FILE, cmd_help_file},
    {CMD_OPEN, cmd_open},
    {CMD_PAUSE_RESUME, cmd_pause_resume},
    {CMD_QUIT, cmd_quit},
    {CMD_RELOAD, cmd_reload},
    {CMD_RETURN, cmd_return},
    {CMD_JIT, cmd_jit},
    {CMD_LAYOUT, cmd_next_layout},
    {CMD_SWAP_PANELS, cmd_swap_panels},
    {CMD_STEP_BACK, cmd_step_back},
    {CMD_STEP_INTO, cmd_step_into},
    {CMD_STEP_OVER, cmd_step_over},
    {CMD_CONSOLE, cmd_console},
    {CMD_TRACE_FOCUS, cmd_trace_focus},
    {CMD_UNLOAD, cmd_unload},
    {CMD_MAXIMIZE_PANEL, cmd_maximize_panel},
    {CMD_MAXIMIZE_WINDOW, cmd_maximize_window},
    {CMD_ADD_WATCH, cmd_add_watch},
    {CMD_OPTIONS, cmd_options},
    {CMD_PLUGINS, cmd_plugin_files},
    {CMD_PLUGIN_API, cmd_plugin_interface},
    {CMD_NAV_BREAKPOINTS, cmd_nav_breakpoints},
    {CMD_NAV_COMMENTS, cmd_nav_comments},
    {CMD_NAV_MODULES, cmd_nav_modules},
    {CMD_NAV_PROCESSES, cmd_nav_processes},
    {CMD_NAV_SYMBOLS, cmd_nav_symbols},
    {CMD_NAV_THREADS, cmd_nav_threads},
    {CMD_NAV_WINDOWS, cmd_nav_windows},
};

}  // namespace

bool main_command(int command) {
  for (const CommandRow &row : kCommands)
    if (row.id == command) {
      row.handler();
      return true;
    }
  return false;
}
