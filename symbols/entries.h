// The entry store: named addresses (symbols) from exports and debug information, at
// most one per address, indexed by address and by name. HENTRY is the record address.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "util/index.h"
#include "util/record_arena.h"
#include "util/tab.h"

struct TypeRecord;
struct SourceRecord;
struct ModuleRecord;

// One record: the fixed fields followed by the name.
struct EntryRecord {
  uint32_t id;
  uint32_t address;
  TypeRecord *type;      // void when none was given
  SourceRecord *source;  // or null
  char name[1];
};

// A slot of the entry table: the record first (what every reader of the table takes),
// then copies of the keys the indexes compare, so that a search reads this compact
// table instead of a record scattered in the heap for each comparison.
struct EntrySlot {
  EntryRecord *record;
  uint32_t address;
  uint32_t prefix;  // the name's first four bytes, big-endian, padded with zeros
};

struct EntryStore {
  SlotTable table;         // EntrySlot
  RecordArena records;
  SortedIndex by_address;  // unsigned, equal addresses by id
  SortedIndex by_name;     // byte-wise, equal names by id
  // The entries defined since the indexes last took them in: a module's load defines
  // thousands in a row, which enter the indexes in one sorted pass when next searched.
  uint32_t *pending;       // ids, zone block
  int pending_count;
  uint32_t *pending_at;    // open-addressed by address: id + 1, 0 for an empty bucket
  uint32_t pending_mask;   // bucket count - 1
};
extern EntryStore g_entries;

void entries_init();
void entries_free();
void entries_clear();
// Deletes the entries whose address lies in [low, high); gives how many.
int entries_remove_range(uint32_t low, uint32_t high);
int entries_count();
// Puts the entries defined since into the indexes; every search by address or name does
// it first, a module's load at its end.
void entries_flush();
// Clears the source of every entry that names it (the source is going).
void entries_forget_source(const SourceRecord *source);

// Defines name at address; gives the entry that stands at the address afterwards (an
// older one is kept when it has a value type and the new one not, or when the new name
// is a decorated form of it). An empty name, that of an unnamed symbol, gives an entry
// that marks its address and type but that no source's name map holds. Null for no name.
EntryRecord *entry_define(const char *name, uint32_t address, TypeRecord *type,
                          SourceRecord *source);
void entry_delete(EntryRecord *entry);
// An entry with exactly that name, or null.
EntryRecord *entry_find(const char *name);
// The entry with the greatest address not above address / exactly at it.
EntryRecord *entry_nearest(uint32_t address);
EntryRecord *entry_equal(uint32_t address);
// The entry with the least address above address (where the code panel must start a line).
EntryRecord *entry_after(uint32_t address);
// The first entry (slot order) whose undecorated name equals name.
EntryRecord *entry_find_plain(const char *name);
// The address of the first entry named name (name order) inside the module (anywhere
// for null); 0 when none.
uint32_t entry_address_in_module(const char *name, const ModuleRecord *module);
// Whether new_name is existing with decoration: leading non-alphanumerics skipped, the
// longest identifier run (through "::") compared whole.
bool entry_name_match(const char *new_name, const char *existing);
