// The plug-in interface, group 4: the plug-in's own description and commands, pictures,
// shell commands, messages, prompts, the log and mapped files.
#define KQ_BUILDING_DEBUGGER
#include "plugin/kqplugin.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "plugin/manager.h"
#include "startup/settings.h"
#include "symbols/mapped_files.h"
#include "ui/panels/input_prompt_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/picture_win32.h"

extern "C" {

DBGAPI void KQ_SetTitle(char *title) { plugin_set_title(title); }

DBGAPI void KQ_RegisterCommand(char *title, HPROC proc) {
  plugin_register_command(title, proc);
}

DBGAPI HBITMAP KQ_LoadGIF(char *name) { return picture_load(GetModuleHandleA(nullptr), name); }

// The interpreter setting carries its own switches ("cmd.exe /C"): the text follows it.
DBGAPI BOOL KQ_ShellCommand(char *command) {
  if (!command) return 0;
  char line[SETTING_TEXT + 2 * KQ_PATH];
  snprintf(line, sizeof line, "%s %s", g_settings.CommandLineInterpreter, command);
  char folder[KQ_PATH];
  text_copy(folder, sizeof folder, debuggee_path());
  char *slash = strrchr(folder, '\\');
  if (slash) *slash = 0;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                      slash ? folder : nullptr, &si, &pi)) {
    log_printf("Fail to execute '%s'\n", command);
    return 0;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  log_printf("Executed '%s' with exitcode %i\n", command, (int)code);
  return (BOOL)code;
}

DBGAPI void KQ_Message(char *format, ...) {
  char text[KQ_PATH] = "";
  va_list ap;
  va_start(ap, format);
  if (format) vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  MessageBoxA(GetActiveWindow(), text, "Plug-in message", MB_OK);
}

DBGAPI BOOL KQ_Input(char *titles, char value[], char history[], ...) {
  if (!titles || !value || !history) return FALSE;
  va_list ap;
  va_start(ap, history);
  int accepted = input_prompt_v(titles, value, history, ap);
  va_end(ap);
  return accepted;
}

DBGAPI void KQ_Printf(char *format, ...) {
  if (!format) return;
  char text[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  log_write(text);
}

DBGAPI void KQ_Dump(BYTE *data, DWORD size) {
  if (data) log_hexdump(data, size);
}

DBGAPI BYTE *KQ_MapFile(char *fname) { return (BYTE *)map_file(fname); }

DBGAPI void KQ_UnmapFile(BYTE *root) { unmap_file(root); }
}
