// Name map: pooled names with two values each, in name order, searched by binary search.
// A map made with borrowed names holds its owner's texts instead, neither pooled nor
// copied: the owner keeps each alive while the map holds it under its value.
// Case-sensitive unless created otherwise; never holds an empty name. The entries are
// split into parts of at most 128, so that adding a name to a map of tens of thousands
// (every function of a large source file) moves a short array.
#pragma once
#include <stdint.h>

struct NameEntry {
  const char *name;  // pooled
  uint32_t aux;
  uint32_t value;
};

struct NamePart {
  int count;
  NameEntry *entries;
};

enum { NAMEMAP_PART_MAX = 128 };

struct NameMap {
  int namebytes;     // sum of the names' lengths plus one each
  uint8_t casesens;  // 1: case-sensitive, 0: without regard to case
  uint8_t borrowed;  // 1: the names are the owner's, not pooled
  int count;
  int partnum;
  NamePart *parts;   // null when empty
  // Where the last namemap_entry call found its entry, so that a walk by position
  // costs one step per entry.
  mutable int seen_part;
  mutable int seen_start;
  // Where the last namemap_find found its name, or would have put it (part + 1, 0 for
  // none), so that the usual find and then remove or add of one name search once.
  mutable int found_part;
  mutable int found_at;
  mutable bool found;
};

void namemap_init(NameMap *m, uint8_t casesens = 1, uint8_t borrowed = 0);
// Releases every pooled name; the map is empty afterwards.
void namemap_destroy(NameMap *m);
// True when the name was there and took the new values (and, borrowed, the new text);
// false for a new name, and for a null or empty name, which is refused.
bool namemap_add(NameMap *m, const char *name, uint32_t value, uint32_t aux = 0);
// As namemap_add, for a name that pool_intern gave: the map takes a reference of its own
// without a search of the pool.
bool namemap_add_pooled(NameMap *m, const char *pooled, uint32_t value, uint32_t aux = 0);
// False when the name is not there; value and aux may be null.
bool namemap_find(const NameMap *m, const char *name, uint32_t *value, uint32_t *aux = nullptr);
bool namemap_remove(NameMap *m, const char *name);
// Removes every entry with this value; gives the number of entries left.
int namemap_remove_value(NameMap *m, uint32_t value);
// Removes every entry whose value is below limit and has a byte in marked that is not 0,
// in one pass over the parts; gives how many went. For taking out thousands of names at
// once, where a search for each would cost more.
int namemap_remove_marked(NameMap *m, const uint8_t *marked, uint32_t limit);
// Entry i in name order; false past the end. Any output may be null.
bool namemap_entry(const NameMap *m, int i, const char **name, uint32_t *value, uint32_t *aux);
inline int namemap_count(const NameMap *m) { return m->count; }
void namemap_dump(const NameMap *m);
