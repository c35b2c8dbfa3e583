// Names to indexes for the lookups of a load (a forward reference to its definition): an
// open-addressed table of 64-bit name hashes, so no name is kept. Two names with the same
// hash are taken as one.
#pragma once
#include <stdint.h>

struct NameTable {
  uint64_t *hashes;  // zone block; 0 marks a free slot
  uint32_t *indexes;
  uint32_t mask;
  uint32_t count;
};

// Room for count names before the table grows; false for no memory.
bool name_table_make(NameTable *table, uint32_t count);
// Adds name under index (not 0); the first index given for a name stays. The table doubles
// when half full; without memory for that the name is left out, and false.
bool name_table_add(NameTable *table, const char *name, uint32_t index);
// The index of name, or 0.
uint32_t name_table_find(const NameTable *table, const char *name);
void name_table_free(NameTable *table);
