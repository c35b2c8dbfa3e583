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

#ifdef __cplusplus
}
#endif

#endif
