// Hash sets of record ids: the records stay in their slot tables, the owner gives each
// id's hash and, for a look-up, tells whether the record of an id equals the key. For
// look-ups by equality alone, where a sorted index pays a comparison callback at every
// step of its searches.
#pragma once
#include <stdint.h>

const uint32_t IDHASH_NONE = 0xFFFFFFFFu;

struct IdBucket {
  uint32_t hash;
  uint32_t id;  // id + 1, 0 for an empty bucket
};

struct IdHash {
  IdBucket *buckets;  // zone block, at most three quarters full; null when never filled
  uint32_t mask;      // bucket count - 1, a power of two
  int count;
};

// Whether the record of id equals the key.
typedef bool (*IdSame)(const void *key, uint32_t id);

void idhash_init(IdHash *h);
void idhash_destroy(IdHash *h);
// An id of hash whose record equals the key, or IDHASH_NONE.
uint32_t idhash_find(const IdHash *h, uint32_t hash, const void *key, IdSame same);
// False without memory.
bool idhash_insert(IdHash *h, uint32_t hash, uint32_t id);
// False when the id is not held under hash.
bool idhash_remove(IdHash *h, uint32_t hash, uint32_t id);
// Removes every id below limit whose byte in marked is not 0; gives how many went.
int idhash_remove_marked(IdHash *h, const uint8_t *marked, uint32_t limit);
