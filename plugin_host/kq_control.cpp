// The plug-in interface, group 3: running the debuggee and placing the code view.
#define KQ_BUILDING_DEBUGGER
#include "plugin_host/kqplugin.h"

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "plugin_host/plugins.h"

extern "C" {

DBGAPI BOOL KQ_Pause(void) {
  if (debuggee_state() != DS_RUNNING) return FALSE;
  execution_pause_or_resume();
  return TRUE;
}

DBGAPI BOOL KQ_Run(void) { return debuggee_resume(); }

DBGAPI BOOL KQ_RunTo(DWORD adr) { return execution_run_to(adr); }

DBGAPI void KQ_Goto(DWORD adr) {
  const PluginViewHooks *hooks = plugins_view_hooks();
  if (hooks->go_to) hooks->go_to(adr);
}

DBGAPI void KQ_SetBreakpoint(DWORD adr, BOOL enable) {
  if ((breakpoint_at(adr) >= 0) != (enable != FALSE)) breakpoint_toggle(adr);
}
}
