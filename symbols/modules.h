// The debuggee's modules: one record per executable image mapped into it, kept in line
// with the system's module list at every refresh. HMODULE of the plug-in interface is a
// record address.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "symbols/module_text.h"
#include "util/tab.h"

struct PeImage;

struct SectionInfo {
  char name[9];  // the 8 name bytes and a NUL
  uint32_t address;  // base + VirtualAddress
  uint32_t size;     // SizeOfRawData
  uint32_t characteristics;
};

// The same shape as a source's line table: the panel shows ModuleText with these.
struct ExportLine {
  uint32_t line;     // 1-based line of the export in the module text
  uint32_t address;
};

struct ModuleRecord {
  uint32_t slot;
  uint8_t console;     // subsystem NATIVE or CONSOLE: the start symbol is "main"
  uint8_t present;     // mark of the refresh
  uint32_t base;       // load address from the system
  uint32_t end;        // base + size of image from the system
  uint32_t entry;      // base + AddressOfEntryPoint
  uint32_t data;       // base + BaseOfData
  uint32_t image_base; // ImageBase of the file (where it wanted to load)
  uint32_t subsystem;
  uint32_t usage;      // process usage count from the snapshot
  char *name;          // owned
  char *path;          // owned
  int section_count;
  SectionInfo *sections;  // zone block
  ModuleText text;
  int export_count;
  ExportLine *exports;    // zone block, ascending addresses
};

// One module of a system snapshot.
struct ModuleSnapshotEntry {
  const char *name;
  const char *path;
  uint32_t base;
  uint32_t size;
  uint32_t usage;
};

struct ModuleTable {
  SlotTable table;  // ModuleRecord pointers
  // The module whose debug information is being loaded (types get it as owner).
  ModuleRecord *current;
};
extern ModuleTable g_modules;

void modules_init();
// Unloads every module (shut-down).
void modules_free();
// Brings the table in line with the snapshot: new paths are loaded, missing ones
// unloaded. Raises CHG_MODULES and gives true when anything changed.
bool modules_refresh_from(const ModuleSnapshotEntry *list, int count);
// The same from the system's snapshot of the process (Win32 only), plus the announced
// modules it does not list yet (libraries of load events the snapshot lags behind); no
// process, no modules.
bool modules_refresh(uint32_t process_id, const ModuleSnapshotEntry *announced = nullptr,
                     int announced_count = 0);
// Loads one module (a new record from the image file); null without memory.
ModuleRecord *module_load(const ModuleSnapshotEntry *entry);
void module_unload(ModuleRecord *module);
// Reads the image file of a new record: PE dump, exports, sections, debug information.
// A file that cannot be mapped or is no PE image leaves the record without them.
void module_parse_image(ModuleRecord *module);
// The same over the image's bytes.
void module_parse_bytes(ModuleRecord *module, const uint8_t *data, size_t size);
// Defines the image's exports as entries of the module (again, after a cancelled
// debug-information load took back what it had defined).
void module_define_exports(ModuleRecord *module, const PeImage *image);

ModuleRecord *module_by_address(uint32_t address);
ModuleRecord *module_by_name(const char *name);
// The record after module in slot order (the first for null), or null.
ModuleRecord *module_next(const ModuleRecord *module);
uint32_t module_size(const ModuleRecord *module);
int modules_count();
ModuleRecord *module_current();
void module_set_current(ModuleRecord *module);
// Section-relative address in the current module; 0 outside a load or for a bad section.
uint32_t module_section_address(uint32_t section, uint32_t offset);
// The section flag names of characteristics joined by " | ".
void section_flags_text(uint32_t characteristics, char *out, size_t outlen);
