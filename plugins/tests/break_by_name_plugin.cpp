// A plug-in of the tests, written only from the public header: its command "break NAME"
// sets a code breakpoint at the entry of that name, wherever the debug-information
// plug-ins defined it.
#include "plugin_host/kqplugin.h"

static void break_at(char *name) {
  DWORD address = KQ_GetEntryAddress(KQ_FindEntry(name));
  if (address) KQ_SetBreakpoint(address, TRUE);
  KQ_Printf((char *)"break: %s at %08lX\n", name, address);
}

extern "C" __declspec(dllexport) void PLUGIN_Init(void) {
  KQ_SetTitle((char *)"Breakpoints by name, for the tests");
  KQ_RegisterCommand((char *)"[break] Set a code breakpoint at a named entry", break_at);
}
