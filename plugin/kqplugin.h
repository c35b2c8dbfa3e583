/* The debugger's plug-in interface: functions exported by kq.exe (prefix KQ_) and the
   entry points a plug-in may export (prefix PLUGIN_). Plain C, cdecl, ANSI texts. */
#ifndef KQPLUGIN_H
#define KQPLUGIN_H

#include <windows.h>

#ifdef KQ_BUILDING_DEBUGGER
#define DBGAPI __declspec(dllexport)
#else
#define DBGAPI __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *HTYPE;
typedef void *HENTRY;
typedef void *HSOURCE;
typedef void (*HPROC)(char *);

/* Utilities */
DBGAPI void KQ_SetTitle(char *title);
DBGAPI void KQ_Printf(char *format, ...);
DBGAPI void KQ_Dump(BYTE *data, DWORD size);
/* A GIF picture of the debugger's resources, by name or by a number below 65536. */
DBGAPI HBITMAP KQ_LoadGIF(char *name);

/* Control of the debuggee */
DBGAPI BOOL KQ_Pause(void);
DBGAPI BOOL KQ_Run(void);
DBGAPI BOOL KQ_RunTo(DWORD adr);
DBGAPI void KQ_Goto(DWORD adr);
DBGAPI void KQ_SetBreakpoint(DWORD adr, BOOL enable);

/* Machine code: text is at least 256 characters */
DBGAPI DWORD KQ_Disasm(DWORD adr, char text[]);
DBGAPI DWORD KQ_Assemble(DWORD adr, char *text);

#ifdef __cplusplus
}
#endif

#ifdef KQ_BUILDING_DEBUGGER
/* Inside the debugger: the code panel takes KQ_Goto's address through this hook; none
   installed, KQ_Goto does nothing. */
typedef void (*KQGotoHandler)(DWORD adr);
void kq_set_goto_handler(KQGotoHandler handler);
#endif

#endif
