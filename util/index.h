// Sorted index of record ids. The records stay in their slot tables; the owner installs
// a comparator that orders a key against the record of an id. Ids with equal keys are
// kept in ascending id order. The ids are split into parts of at most 150, so that an
// insertion moves a short array even with tens of thousands of ids.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Negative, zero or positive for key below, equal to or above the record of id.
typedef int (*IndexCompare)(const void *key, uint32_t context, uint32_t id);

const uint32_t SINDEX_NONE = 0xFFFFFFFFu;
enum { SINDEX_PART_MAX = 150, SINDEX_PART_MIN = 51 };

struct IndexPart {
  int count;
  uint32_t *ids;
};

struct SortedIndex {
  int num;             // total count
  int partnum;
  IndexPart *parts;    // null when empty
  IndexCompare compare;
  uint32_t context;    // passed to the comparator
  // Result list of sindex_collect and sindex_iterate.
  int resnum;
  int respos;
  uint32_t *res;
};

void sindex_init(SortedIndex *si);
// Only while the index is empty.
void sindex_set_compare(SortedIndex *si, IndexCompare compare, uint32_t context);
void sindex_destroy(SortedIndex *si);

// True when nothing changed: the id is already there under an equal key (or there was
// no memory). False when the id was inserted.
bool sindex_insert(SortedIndex *si, const void *key, uint32_t id);
// Adds count ids, given in index order (by key, equal keys by id) with a key for each, in
// one pass: the held ids and the new ones are merged and cut into parts again. For the
// thousands of ids of a module's load, where an insertion each costs a search and a move.
// An id already held under its key is skipped. False without memory (nothing changed).
bool sindex_insert_sorted(SortedIndex *si, const uint32_t *ids, const void *const *keys,
                          int count);
// False when the id is not found under the key.
bool sindex_remove(SortedIndex *si, const void *key, uint32_t id);

// Removes every id below limit whose byte in marked is not 0, in one pass over the
// parts (short parts merged as by sindex_remove); gives how many went. For taking out
// thousands of ids at once, where a search for each would cost more.
int sindex_remove_marked(SortedIndex *si, const uint8_t *marked, uint32_t limit);

// The look-ups give SINDEX_NONE when there is no such id.
// The first id whose record equals the key.
uint32_t sindex_find(const SortedIndex *si, const void *key);
// The last id not above the key / the first id not below it.
uint32_t sindex_floor(const SortedIndex *si, const void *key);
uint32_t sindex_ceiling(const SortedIndex *si, const void *key);
// The last id below the key / the first id above it.
uint32_t sindex_before(const SortedIndex *si, const void *key);
uint32_t sindex_after(const SortedIndex *si, const void *key);
// The ids from the first not below low up to the first not below high, in index order,
// into out (room for max); gives how many there are.
int sindex_between(const SortedIndex *si, const void *low, const void *high, uint32_t *out,
                   int max);
uint32_t sindex_first(const SortedIndex *si);
uint32_t sindex_last(const SortedIndex *si);
inline int sindex_count(const SortedIndex *si) { return si->num; }

// Fills the result list with the ids equal to the key, in index order; gives the count.
int sindex_collect(SortedIndex *si, const void *key);
// Gives the next id of the result list; at the end clears the list and gives false.
bool sindex_next(SortedIndex *si, uint32_t *id);
// The first call copies every id into the result list and gives the first one; later
// calls go on as sindex_next. The copy lets the caller remove ids while iterating.
bool sindex_iterate(SortedIndex *si, uint32_t *id);
// Drops an unfinished result list.
void sindex_reset(SortedIndex *si);

void sindex_dump(const SortedIndex *si);
// Reports an id above 10000 as an internal error; gives the number of ids checked.
int sindex_check(const SortedIndex *si);
