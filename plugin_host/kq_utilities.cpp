// The plug-in interface, groups 4 and 5: the plug-in's own description and commands,
// pictures, shell commands, messages, prompts, the log and mapped files; the refusals and
// progress of long debug-information loads.
#define KQ_BUILDING_DEBUGGER
#include "plugin_host/kqplugin.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "plugin_host/manager.h"
#include "settings/settings.h"
#include "symbols/debug_info.h"
#include "symbols/mapped_files.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/panels/command_line/cmdline_panel_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/picture_win32.h"

extern "C" {

DBGAPI void KQ_SetTitle(char *title) { plugin_set_title(title); }

DBGAPI void KQ_RegisterCommand(char *title, HPROC proc) {
  plugin_register_command(title, proc);
}

DBGAPI HBITMAP KQ_LoadGIF(char *name) { return picture_load(GetModuleHandleA(nullptr), name); }

// The command line panel's routine, waiting for the exit code.
DBGAPI BOOL KQ_ShellCommand(char *command) {
  int code = 0;
  return command && cmdline_run(command, &code) ? (BOOL)code : 0;
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

// The manager puts the reason under the plug-in's name; the progress runs on the
// system's tick.
DBGAPI void KQ_RefuseDebugInfo(char *reason) { plugin_refused(reason ? reason : ""); }

DBGAPI BOOL KQ_LoadProgress(DWORD done, DWORD total) {
  return debug_info_progress(done, total, GetTickCount());
}
}
