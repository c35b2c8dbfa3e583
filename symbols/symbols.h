// The symbol subsystem as the rest of the program calls it: start-up and shut-down, the
// debugger events, and the plain questions of breakpoints, stepping and start-up.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct ModuleRecord;
struct SourceRecord;

// Program start: the type store with its base types, the entry and source stores, the
// module table, the settings listener and the decoder's address names.
void symbols_init();
// Program end: every module unloaded, every store freed.
void symbols_shutdown();
// Before each module refresh (the first of a session comes before EVN_Load): the program
// whose folder and name anchor source file names.
void symbols_set_program(const char *path);
// EVN_Refresh: modules_refresh(process id) (modules.h, Win32).
// EVN_Unload: all entries and sources, then all module-owned types, go.
void symbols_unload();

// The decoder's namer: exact symbol addresses only, by the symbol's name alone.
int symbols_name_exact(uint32_t address, char *buffer, int buflen);

// A symbol name, "<module>+/symbol+/0x12" or "0x401000" as an address; false when it
// names nothing.
bool symbol_address(const char *name, uint32_t *address);
// The source and line of an address; false (null, 0) without debug information there.
bool symbol_source_line(uint32_t address, SourceRecord **source, uint32_t *line);
bool symbol_has_debug_info(uint32_t address);
ModuleRecord *symbol_module(uint32_t address);

// The program's own module and what start-up shows of it.
struct MainModuleInfo {
  uint32_t entry;
  uint32_t image_base;  // the file's ImageBase
  uint32_t base;        // where it is loaded
  uint32_t data;
  uint32_t subsystem;
  bool console;
};
// The module of the program set by symbols_set_program (by path), else the first
// module; false when there is none.
bool symbols_main_module(MainModuleInfo *info);
// Where start-up runs to: "main" (console) or "WinMain" in the program's module, by
// exact and then undecorated name; the entry point when there is neither. 0 without a
// main module.
uint32_t symbols_start_address();
