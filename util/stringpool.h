// The process's string pool: equal texts share one copy, kept alive by a reference
// count. Names of symbols, types and members come from here.
#pragma once
#include <stdint.h>

#include "record_arena.h"

// A bucket holds the text's hash beside the text, so that most probes read no text.
struct PoolBucket {
  uint32_t hash;
  const char *text;  // null for an empty bucket
};

// Each text in a record behind its hash and reference count (the hash finds its bucket
// when the last reference goes, without reading the text), found by the text's hash in
// an open-addressed table of buckets at most three quarters full (each probe compares a
// hash, not a text). Interning runs for every name a module's debug information
// defines, so a look-up must not depend on the pool's size.
struct StringPool {
  RecordArena texts;
  PoolBucket *buckets;
  uint32_t mask;  // bucket count - 1, a power of two
  int count;      // texts pooled
  bool ready;
};

// Program start and end; pool_free releases every text still pooled.
void pool_init();
void pool_free();
// Gives the pooled copy of text (null for null), one reference more.
const char *pool_intern(const char *text);
// One reference more on a text that pool_intern gave, without a search of the pool.
void pool_retain(const char *pooled);
// Drops one reference of the pooled text equal to text; the last one frees it. False
// when no such text is pooled.
bool pool_release(const char *text);
// As pool_release, for a text that pool_intern gave: no search of the pool but for its
// last reference.
void pool_drop(const char *pooled);
// The pooled copy of text without a reference more, or null when it is not pooled.
const char *pool_find(const char *text);
// Distinct texts in the pool.
int pool_count();
// References held on the text equal to text, 0 when it is not pooled.
int pool_references(const char *text);
