// Entry of the installer: the log, the command line, the mode chosen from the program's own
// file and run under the crash handler, and the program that takes over at the end.
#include <windows.h>
#include <objbase.h>
#include <stdio.h>

#include "setup/installer.h"
#include "util/log.h"
#include "util/visor.h"
#include "util/visor_win32.h"
#include "util/zone.h"

static void run_mode(void *) {
  char temp[MAX_PATH];
  if (!GetTempPathA(sizeof temp, temp)) temp[0] = 0;
  switch (setup_choose_mode(&g_setup_files, g_setup.own_path, temp)) {
    case MODE_COMPILE: mode_compile(); break;
    case MODE_INSTALL: mode_install(); break;
    case MODE_CONFIRM: mode_confirm_uninstall(); break;
    case MODE_UNINSTALL: mode_uninstall(); break;
    case MODE_NONE: break;
  }
}

// The arguments after the program's own name.
static const char *own_arguments() {
  const char *line = GetCommandLineA();
  bool quoted = false;
  for (; *line && (quoted || (*line != ' ' && *line != '\t')); line++)
    if (*line == '"') quoted = !quoted;
  while (*line == ' ' || *line == '\t') line++;
  return line;
}

// Starts the program with this one's arguments in the current folder.
static void hand_over(const char *program) {
  char command[KQ_PATH * 4];
  snprintf(command, sizeof command, "\"%s\" %s", program, own_arguments());
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_setup.instance = instance;
  g_setup.font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
  CoInitialize(nullptr);
  log_open();
  visor_load_map(GetModuleHandleA(nullptr));
  GetModuleFileNameA(nullptr, g_setup.own_path, sizeof g_setup.own_path);
  setup_parse_arguments(GetCommandLineA(), &g_setup.options);
  protected_run(run_mode, nullptr);
  package_free(&g_setup.info);
  variables_free(&g_setup.vars);
  if (g_setup.logo) DeleteObject(g_setup.logo);
  if (g_setup.picture) DeleteObject(g_setup.picture);
  zone_block_report();
  zone_status_report();
  log_close();
  CoUninitialize();
  if (g_setup.launch[0]) hand_over(g_setup.launch);
  return g_setup.exit_code;
}
