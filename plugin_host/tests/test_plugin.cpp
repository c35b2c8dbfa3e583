// A plug-in of the tests, written only from the public header: it logs every call the
// debugger makes into it (with its own file name, as copies of it are loaded under
// several names), accepts every debug-directory entry and defines a few things there,
// declines to seek, and brings commands that use the interface on the debuggee.
#include "plugin_host/kqplugin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define PLUGIN_API extern "C" __declspec(dllexport)

static char g_name[MAX_PATH];  // the DLL's file name without folder

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH];
    GetModuleFileNameA(instance, path, sizeof path);
    const char *slash = strrchr(path, '\\');
    snprintf(g_name, sizeof g_name, "%s", slash ? slash + 1 : path);
  }
  return TRUE;
}

static void hex_bytes(const BYTE *bytes, int count, char *out) {
  for (int i = 0; i < count; i++) sprintf(out + 3 * i, " %02X", bytes[i]);
}

// "peek [address]": the memory at address (hex), or at the entry defined during the load.
static void peek(char *parameter) {
  DWORD adr = parameter[0] ? strtoul(parameter, nullptr, 16)
                           : KQ_GetEntryAddress(KQ_FindEntry((char *)"peek_text"));
  BYTE bytes[20], after[20];
  DWORD count = KQ_Read(adr, sizeof bytes, bytes);
  char text[260], path[260] = "", entry[260] = "", hex[64];
  DWORD length = KQ_Disasm(adr, text);
  hex_bytes(bytes, 16, hex);
  KQ_Printf((char *)"peek: %s read %lu at %08lX:%s\n", g_name, count, adr, hex);
  KQ_Printf((char *)"peek: %s first command %lu bytes: %s\n", g_name, length, text);
  KQ_GetModulePath(KQ_GetModule(adr), path);
  KQ_GetEntryName(KQ_FindEqualEntry(adr), entry, sizeof entry);
  KQ_Printf((char *)"peek: %s module %s entry %s\n", g_name, path, entry);
  int shift = -1;
  HTYPE member = nullptr;
  HTYPE pair = KQ_FindType((char *)"peek_pair");
  BOOL found = KQ_FindTypeMember(pair, (char *)"high", &shift, &member);
  KQ_Printf((char *)"peek: %s peek_pair %d bytes, high %d at %d of %d bytes\n", g_name,
            KQ_GetTypeSize(pair), found, shift, KQ_GetTypeSize(member));
  KQ_Printf((char *)"peek: %s dump\n", g_name);
  KQ_Dump(bytes, sizeof bytes);
  DWORD garbage = KQ_Assemble(adr, (char *)"frobnicate eax, [");
  KQ_Read(adr, sizeof after, after);
  KQ_Printf((char *)"peek: %s garbage assembled %lu, bytes %s\n", g_name, garbage,
            memcmp(bytes, after, sizeof bytes) ? "changed" : "unchanged");
  DWORD nop = KQ_Assemble(adr, (char *)"nop");
  KQ_Read(adr, 1, after);
  DWORD restored = KQ_Write(adr, 1, bytes);
  KQ_Printf((char *)"peek: %s nop assembled %lu, byte %02X, restored %lu\n", g_name, nop,
            after[0], restored);
  HBITMAP picture = KQ_LoadGIF((char *)"NO_SUCH_PICTURE");
  KQ_Printf((char *)"peek: %s picture %s\n", g_name, picture ? "found" : "none");
  KQ_Printf((char *)"peek: %s address outside a load %lu\n", g_name, KQ_GetAddress(1, 0));
}

// "ask": a value through the input prompt, then shown in a message box.
static void ask(char *) {
  static char value[260] = "\nfirst", history[260] = "older\n";
  BOOL accepted = KQ_Input((char *)"Peek question\nA value for %s:", value, history, g_name);
  KQ_Printf((char *)"peek: %s asked %d, value '%s'\n", g_name, accepted, value);
  KQ_Message((char *)"%s answered '%s'", g_name, value);
  KQ_Printf((char *)"peek: %s message closed\n", g_name);
}

// "shell text": the text run by the command-line interpreter.
static void shell(char *parameter) {
  KQ_Printf((char *)"peek: %s shell gave %d\n", g_name, KQ_ShellCommand(parameter));
}

// "find name": an entry of the stores, whoever defined it.
static void find(char *parameter) {
  HENTRY entry = KQ_FindEntry(parameter);
  DWORD adr = KQ_GetEntryAddress(entry);
  char nearest[260] = "";
  KQ_GetEntryName(KQ_FindNearestEntry(adr + 1), nearest, sizeof nearest);
  KQ_Printf((char *)"peek: %s found %s at %08lX, nearest to the next byte %s\n", g_name,
            parameter, adr, nearest);
}

// "misc address": the rest of the interface, one logged line per function group.
static void misc(char *parameter) {
  DWORD adr = strtoul(parameter, nullptr, 16);
  char text[260] = "", path[260] = "";
  KQ_GetFullPath((char *)"*.ini", text);
  KQ_GetModulePath(nullptr, path);
  BYTE *file = KQ_MapFile(path);
  KQ_Printf((char *)"peek: %s misc paths %s %.2s\n", g_name, text, file ? (char *)file : "--");
  KQ_UnmapFile(file);

  HTYPE lng = KQ_GetType((char *)"long"), pointer = KQ_DefinePointer(lng);
  HTYPE array = KQ_DefineArray(lng, 16), function = KQ_DefineFunction(nullptr, lng, 0);
  HTYPE enumeration = KQ_DefineEnum((char *)"peek_enum", lng);
  HTYPE frame = KQ_DefineFrame((char *)"peek_frame", function, adr, adr + 16);
  KQ_DefineMember(frame, (char *)"local", -4, lng);
  char name[260] = "";
  KQ_GetTypeName(enumeration, name);
  int shift = 0;
  char *member = KQ_EnumTypeMember(frame, 0, &shift, nullptr);
  KQ_Printf((char *)"peek: %s misc types %X %X %X %X %X %d %d %d %s %s %d %d\n", g_name,
            KQ_GetTypeServer(lng), KQ_GetTypeServer(pointer), KQ_GetTypeServer(array),
            KQ_GetTypeServer(function), KQ_GetTypeServer(frame), KQ_GetTypeSize(array),
            KQ_DerefType(pointer) == lng, KQ_FindType((char *)"peek_enum") == enumeration, name,
            member ? member : "-", shift, KQ_GetTypeServer(nullptr));

  WORD lines[2] = {10, 12};
  DWORD adrs[2] = {adr, adr + 2};
  HSOURCE source = KQ_DefineSource((char *)"peek_source.c", 2, lines, adrs);
  HENTRY entry = KQ_DefineEntry((char *)"peek_line", adr + 2, lng, source);
  KQ_Printf((char *)"peek: %s misc symbols %d %d %d\n", g_name, source != nullptr,
            KQ_FindEqualEntry(adr + 2) == entry, KQ_GetEntryType(entry) == lng);

  BYTE before[2], after[2];
  KQ_Read(adr, 2, before);
  KQ_SetBreakpoint(adr, TRUE);
  KQ_Read(adr, 2, after);
  KQ_SetBreakpoint(adr, FALSE);
  DWORD low = 1, high = 1;
  BOOL selected = KQ_GetSelection(&low, &high);
  KQ_Goto(adr);
  KQ_Printf((char *)"peek: %s misc control %d %d %lu %lu %lu %d\n", g_name,
            memcmp(before, after, 2) == 0, selected, low, high, KQ_GetPosition(), KQ_Pause());
}

// "unload", "reload", "load path", "run": the debuggee through the document and control
// groups.
static void unload(char *) {
  KQ_Printf((char *)"peek: %s unloaded %d\n", g_name, KQ_UnloadProgram());
}
static void reload(char *) {
  KQ_Printf((char *)"peek: %s reloaded %d\n", g_name, KQ_ReloadProgram());
}
static void load(char *parameter) {
  KQ_Printf((char *)"peek: %s loaded %d\n", g_name, KQ_LoadProgram(parameter));
}
static void run(char *) { KQ_Printf((char *)"peek: %s ran %d\n", g_name, KQ_Run()); }

// "title text": the plug-in's description from a command.
static void retitle(char *parameter) { KQ_SetTitle(parameter); }

PLUGIN_API void PLUGIN_Init(void) {
  char title[MAX_PATH];
  snprintf(title, sizeof title, "Peek test plug-in %s", g_name);
  KQ_SetTitle(title);
  KQ_RegisterCommand((char *)"[peek]  Read and disassemble debuggee memory", peek);
  KQ_RegisterCommand((char *)"[title] Set the description of this plug-in", retitle);
  KQ_RegisterCommand((char *)"[ask] Ask for a value and show it", ask);
  KQ_RegisterCommand((char *)"[shell] Run a command-line interpreter", shell);
  KQ_RegisterCommand((char *)"[find] Find a symbol by name", find);
  KQ_RegisterCommand((char *)"[misc] Paths, types, symbols and control", misc);
  KQ_RegisterCommand((char *)"[unload] Unload the debuggee", unload);
  KQ_RegisterCommand((char *)"[reload] Load the debuggee again", reload);
  KQ_RegisterCommand((char *)"[load] Load a program as the debuggee", load);
  KQ_RegisterCommand((char *)"[run] Let the debuggee run", run);
  KQ_Printf((char *)"peek: %s init, address outside a load %lu\n", g_name, KQ_GetAddress(1, 0));
}

PLUGIN_API void PLUGIN_Shutdown(void) { KQ_Printf((char *)"peek: %s shutdown\n", g_name); }

PLUGIN_API void PLUGIN_Prop(HWND main_window) {
  char name[64] = "";
  GetClassNameA(main_window, name, sizeof name);
  KQ_Printf((char *)"peek: %s properties over '%s'\n", g_name, name);
}

PLUGIN_API BOOL PLUGIN_LoadDebugInfo(BYTE *FileRoot, BYTE *DebugRoot) {
  DWORD text = KQ_GetAddress(1, 0);
  KQ_Printf((char *)"peek: %s load '%.4s' from %.2s, section 1 at %08lX\n", g_name,
            (char *)DebugRoot, (char *)FileRoot, text);
  HTYPE pair = KQ_DefineStruct((char *)"peek_pair", 8);
  KQ_DefineMember(pair, (char *)"low", 0, KQ_GetType((char *)"long"));
  KQ_DefineMember(pair, (char *)"high", 4, KQ_GetType((char *)"long"));
  KQ_DefineEntry((char *)"peek_text", text, pair, nullptr);
  return TRUE;
}

PLUGIN_API BOOL PLUGIN_SeekDebugInfo(char *path) {
  KQ_Printf((char *)"peek: %s seek %s\n", g_name, path);
  return FALSE;
}
