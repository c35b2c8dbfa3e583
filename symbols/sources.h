// The source store: source files with their line tables, by address range and by path.
// HSOURCE is the record address.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "util/index.h"
#include "util/namemap.h"
#include "util/record_arena.h"
#include "util/tab.h"

struct SourceLine {
  uint32_t line;
  uint32_t address;
};

struct SourceRecord {
  uint32_t id;
  char *path;         // owned; the file found on disk, or null: read it through source_path
  bool looked_for;    // path holds what the last look for the file found
  char *given_name;   // the name from the debug information, right behind the record
  uint32_t low;       // lowest line address
  uint32_t high;      // highest line address + 1; low == high covers nothing
  int line_count;
  SourceLine *lines;  // record of the store's arena, ascending addresses
  NameMap entry_map;  // entry name -> entry id, for entries defined with this source;
                      // the names borrowed from the entries
  int entry_refs;     // entries whose source this is
};

struct SourceStore {
  SlotTable table;      // SourceRecord pointers
  RecordArena records;  // each record with its name, and the line tables
  SortedIndex by_low;
  SortedIndex by_path;  // without regard to case; only sources with a path
};
extern SourceStore g_sources;

void sources_init();
void sources_free();
void sources_clear();
// Deletes the sources whose low address lies in [low, high); gives how many.
int sources_remove_range(uint32_t low, uint32_t high);
// Empties the entry maps of those sources ahead of their deletion, so that the entries
// deleted with them need not leave the maps one by one.
void sources_empty_entry_maps(uint32_t low, uint32_t high);
int sources_count();

// Copies num (line, address) pairs; the file is looked for on disk when first asked for.
SourceRecord *source_define(const char *name, int num, const uint16_t *lines,
                            const uint32_t *addresses);
void source_delete(SourceRecord *source);
SourceRecord *source_of_address(uint32_t address);
SourceRecord *source_by_name(const char *name);
SourceRecord *source_by_path(const char *path);
// The file of the source found on disk, looked for on the first call (a load defines
// hundreds of sources, few of which are ever shown, and each look costs file system
// calls); null when there is none.
const char *source_path(const SourceRecord *source);
// The line of the pair with the greatest address not above address, inside the
// source's range; 0 outside it.
uint32_t source_line_of(const SourceRecord *source, uint32_t address);
// Whether address is exactly the address of a pair of the source covering it.
bool source_is_line_start(uint32_t address);
// The first line-table address above address, in its source or in the next one; 0 for none
// (the code panel starts a line there).
uint32_t source_next_line(uint32_t address);
// Entry number i of the source's entry map (name order), or null.
struct EntryRecord *source_entry(const SourceRecord *source, int i);
// Finds the file of a name from the debug information (absolute, beside the program,
// in its sub-folders, along the search paths); false when there is none.
bool source_resolve_path(const char *name, char *out, size_t outlen);
// name made absolute: beside the program unless it is absolute already, every "*"
// replaced by the program's base name.
void source_full_path(const char *name, char *out, size_t outlen);
// Has every source's file looked for again when next asked for (the search settings
// changed).
void sources_resolve_again();
// The program whose folder and base name anchor relative source names.
void sources_set_program(const char *path);
