// The process's string pool: equal texts share one copy, kept alive by a reference
// count. Names of symbols, types and members come from here.
#pragma once
#include <stdint.h>

#include "index.h"
#include "tab.h"

struct PoolEntry {
  char *text;
  int refs;
};

// Slots of PoolEntry, indexed by case-sensitive text.
struct StringPool {
  SlotTable table;
  SortedIndex index;
  bool ready;
};

// Program start and end; pool_free releases every text still pooled.
void pool_init();
void pool_free();
// Gives the pooled copy of text (null for null), one reference more.
const char *pool_intern(const char *text);
// Drops one reference of the pooled text equal to text; the last one frees it. False
// when no such text is pooled.
bool pool_release(const char *text);
// Distinct texts in the pool.
int pool_count();
// References held on the text equal to text, 0 when it is not pooled.
int pool_references(const char *text);
