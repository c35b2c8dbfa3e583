// The utility, control and machine-code groups of the plug-in interface.
#define KQ_BUILDING_DEBUGGER
#include "plugin/kqplugin.h"

#include <stdarg.h>
#include <stdio.h>

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/memory.h"
#include "plugin/plugins.h"
#include "util/log.h"
#include "util/picture_win32.h"
#include "x86/assemble.h"
#include "x86/disasm.h"

namespace {
KQGotoHandler g_goto_handler;
}

void kq_set_goto_handler(KQGotoHandler handler) { g_goto_handler = handler; }

extern "C" {

DBGAPI void KQ_SetTitle(char *title) {
  plugin_set_title(title);
}

DBGAPI void KQ_Printf(char *format, ...) {
  char text[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  log_write(text);
}

DBGAPI void KQ_Dump(BYTE *data, DWORD size) { log_hexdump(data, size); }

DBGAPI HBITMAP KQ_LoadGIF(char *name) { return picture_load(GetModuleHandleA(nullptr), name); }

DBGAPI BOOL KQ_Pause(void) {
  if (debuggee_state() != DS_RUNNING) return FALSE;
  execution_pause_or_resume();
  return TRUE;
}

DBGAPI BOOL KQ_Run(void) { return debuggee_resume(); }

DBGAPI BOOL KQ_RunTo(DWORD adr) { return execution_run_to(adr); }

DBGAPI void KQ_Goto(DWORD adr) {
  if (g_goto_handler) g_goto_handler(adr);
}

DBGAPI void KQ_SetBreakpoint(DWORD adr, BOOL enable) {
  if ((breakpoint_at(adr) >= 0) != (enable != FALSE)) breakpoint_toggle(adr);
}

DBGAPI DWORD KQ_Disasm(DWORD adr, char text[]) {
  return (DWORD)disasm_text_at(adr, text, memory_reader);
}

DBGAPI DWORD KQ_Assemble(DWORD adr, char *text) {
  return text ? (DWORD)assemble_and_write(adr, text, memory_writer) : 0;
}
}
