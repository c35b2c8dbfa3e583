/* Kaquin Debugger plug-in interface.

   A plug-in is a DLL that imports the KQ_ functions below by name from kq.exe and may
   export these entry points (each optional, looked up by name, C calling convention):

     void PLUGIN_Init(void);      once after loading: register commands, set the title
     void PLUGIN_Shutdown(void);  once before unloading: release everything
     void PLUGIN_Prop(HWND);      the plug-in's own settings, over the main window
     BOOL PLUGIN_LoadDebugInfo(BYTE *FileRoot, BYTE *DebugRoot);
                                  one debug-directory entry of a newly loaded module:
                                  define its symbols and return TRUE when understood

   Every call happens on the debugger's window thread. Texts are ANSI, NUL-terminated.
   Buffers marked [] take at least 260 characters unless a length is passed.
   HTYPE, HENTRY and HSOURCE stay valid until the module whose load made them, or the
   debuggee, is unloaded. Addresses are addresses in the debuggee. */
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
typedef void (*HPROC)(char *params);

/* 1. Document */
DBGAPI BOOL KQ_LoadProgram(char *path);
DBGAPI BOOL KQ_ReloadProgram(void);
DBGAPI BOOL KQ_UnloadProgram(void);
DBGAPI void KQ_GetFullPath(char *filename, char path[]);
DBGAPI HMODULE KQ_GetModule(DWORD adr);
DBGAPI BOOL KQ_GetModulePath(HMODULE module, char path[]);
DBGAPI BOOL KQ_GetSelection(DWORD *L, DWORD *R);
DBGAPI DWORD KQ_GetPosition(void);
DBGAPI DWORD KQ_Assemble(DWORD adr, char *text);
DBGAPI DWORD KQ_Disasm(DWORD adr, char text[]);
DBGAPI DWORD KQ_Write(DWORD adr, DWORD size, BYTE *data);
DBGAPI DWORD KQ_Read(DWORD adr, DWORD size, BYTE data[]);

/* 2. Debug information (the Define functions only during PLUGIN_LoadDebugInfo) */
DBGAPI HSOURCE KQ_DefineSource(char *fname, int num, WORD *lines, DWORD *adrs);
DBGAPI HENTRY KQ_DefineEntry(char *name, DWORD adr, HTYPE type, HSOURCE source);
DBGAPI HTYPE KQ_DefinePointer(HTYPE target);
DBGAPI HTYPE KQ_DefineArray(HTYPE element, DWORD size);
DBGAPI HTYPE KQ_DefineEnum(char *name, HTYPE base);
DBGAPI HTYPE KQ_DefineStruct(char *name, int size);
DBGAPI HTYPE KQ_DefineFrame(char *name, HTYPE func, DWORD start, DWORD end);
DBGAPI HTYPE KQ_DefineFunction(HTYPE args, HTYPE rettype, int call);
DBGAPI void KQ_DefineMember(HTYPE type, char *name, int shift, HTYPE member);
DBGAPI char *KQ_EnumTypeMember(HTYPE type, int index, int *shift, HTYPE *member);
DBGAPI BOOL KQ_FindTypeMember(HTYPE type, char *name, int *shift, HTYPE *member);
DBGAPI HTYPE KQ_FindType(char *name);
DBGAPI HENTRY KQ_FindEntry(char *name);
DBGAPI HTYPE KQ_DerefType(HTYPE type);
DBGAPI int KQ_GetTypeSize(HTYPE type);
DBGAPI int KQ_GetTypeServer(HTYPE type);
DBGAPI BOOL KQ_GetTypeName(HTYPE type, char name[]);
DBGAPI HTYPE KQ_GetType(char *spec);
DBGAPI DWORD KQ_GetAddress(WORD section, DWORD offset);
DBGAPI HENTRY KQ_FindNearestEntry(DWORD adr);
DBGAPI HENTRY KQ_FindEqualEntry(DWORD adr);
DBGAPI DWORD KQ_GetEntryAddress(HENTRY entry);
DBGAPI HTYPE KQ_GetEntryType(HENTRY entry);
DBGAPI BOOL KQ_GetEntryName(HENTRY entry, char name[], int len);
/* Declared for completeness; not exported, so a plug-in cannot bind to it. */
BOOL KQ_GetSourcePath(HSOURCE source, char path[], int len);

/* 3. Control */
DBGAPI BOOL KQ_Pause(void);
DBGAPI BOOL KQ_Run(void);
DBGAPI BOOL KQ_RunTo(DWORD adr);
DBGAPI void KQ_Goto(DWORD adr);
DBGAPI void KQ_SetBreakpoint(DWORD adr, BOOL enable);

/* 4. Utilities */
DBGAPI void KQ_SetTitle(char *title);
DBGAPI void KQ_RegisterCommand(char *title, HPROC proc);
DBGAPI HBITMAP KQ_LoadGIF(char *name);
DBGAPI BOOL KQ_ShellCommand(char *command);
DBGAPI void KQ_Message(char *format, ...);
DBGAPI BOOL KQ_Input(char *titles, char value[], char history[], ...);
DBGAPI void KQ_Printf(char *format, ...);
DBGAPI void KQ_Dump(BYTE *data, DWORD size);
DBGAPI BYTE *KQ_MapFile(char *fname);
DBGAPI void KQ_UnmapFile(BYTE *root);

/* 5. Long debug-information loads (during PLUGIN_LoadDebugInfo and PLUGIN_SeekDebugInfo;
   a plug-in that imports them needs a debugger that exports them) */
/* Why the data offered was not read, one line without a line break: the debugger says
   it when the module ends up without symbols. */
DBGAPI void KQ_RefuseDebugInfo(char *reason);
/* done of total of the load; a load that takes a while shows a progress window. FALSE
   once the user has cancelled: stop reading and return FALSE; the debugger takes back
   what was defined. */
DBGAPI BOOL KQ_LoadProgress(DWORD done, DWORD total);

#ifdef __cplusplus
}
#endif

#endif
