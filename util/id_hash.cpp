#include "id_hash.h"

#include <string.h>

#include "zone.h"

namespace {

const uint32_t kFirstBuckets = 64;

void place(IdBucket *buckets, uint32_t mask, IdBucket held) {
  uint32_t b = held.hash & mask;
  while (buckets[b].id) b = (b + 1) & mask;
  buckets[b] = held;
}

bool gone(IdBucket held, const uint8_t *marked, uint32_t limit) {
  return marked && held.id - 1 < limit && marked[held.id - 1];
}

// The buckets made again with count of them, holding the ids of the old ones that
// stay; false without memory (nothing changed).
bool rebuild(IdHash *h, uint32_t count, const uint8_t *marked, uint32_t limit) {
  IdBucket *buckets = (IdBucket *)zone_alloc_zeroed(count * sizeof(IdBucket));
  if (!buckets) return false;
  int kept = 0;
  for (uint32_t b = 0; h->buckets && b <= h->mask; b++) {
    const IdBucket held = h->buckets[b];
    if (!held.id || gone(held, marked, limit)) continue;
    place(buckets, count - 1, held);
    kept++;
  }
  zone_free(h->buckets);
  h->buckets = buckets;
  h->mask = count - 1;
  h->count = kept;
  return true;
}

}  // namespace

void idhash_init(IdHash *h) { memset(h, 0, sizeof *h); }

void idhash_destroy(IdHash *h) {
  zone_free(h->buckets);
  idhash_init(h);
}

uint32_t idhash_find(const IdHash *h, uint32_t hash, const void *key, IdSame same) {
  if (!h->buckets) return IDHASH_NONE;
  for (uint32_t b = hash & h->mask; h->buckets[b].id; b = (b + 1) & h->mask) {
    const IdBucket &held = h->buckets[b];
    if (held.hash == hash && same(key, held.id - 1)) return held.id - 1;
  }
  return IDHASH_NONE;
}

bool idhash_insert(IdHash *h, uint32_t hash, uint32_t id) {
  if ((uint32_t)(h->count + 1) * 4 > (h->buckets ? h->mask + 1 : 0) * 3 &&
      !rebuild(h, h->buckets ? (h->mask + 1) * 2 : kFirstBuckets, nullptr, 0))
    return false;
  place(h->buckets, h->mask, IdBucket{hash, id + 1});
  h->count++;
  return true;
}

bool idhash_remove(IdHash *h, uint32_t hash, uint32_t id) {
  if (!h->buckets) return false;
  uint32_t b = hash & h->mask;
  while (h->buckets[b].id && (h->buckets[b].id != id + 1 || h->buckets[b].hash != hash))
    b = (b + 1) & h->mask;
  if (!h->buckets[b].id) return false;
  // Later buckets of the run move back into the gap unless their home lies after it, so
  // that every id stays reachable from its home without marks for removed ones.
  for (uint32_t next = b;;) {
    next = (next + 1) & h->mask;
    if (!h->buckets[next].id) break;
    const uint32_t home = h->buckets[next].hash & h->mask;
    if (b <= next ? (b < home && home <= next) : (b < home || home <= next)) continue;
    h->buckets[b] = h->buckets[next];
    b = next;
  }
  h->buckets[b].id = 0;
  h->count--;
  return true;
}

int idhash_remove_marked(IdHash *h, const uint8_t *marked, uint32_t limit) {
  int kept = 0;
  for (uint32_t b = 0; h->buckets && b <= h->mask; b++)
    kept += h->buckets[b].id && !gone(h->buckets[b], marked, limit);
  const int removed = h->count - kept;
  if (!kept) idhash_destroy(h);
  // The buckets shrink with the ids, as a module's unload takes most of them.
  uint32_t count = kFirstBuckets;
  while (count * 3 < (uint32_t)kept * 4) count *= 2;
  if (kept && removed && !rebuild(h, count, marked, limit)) return 0;
  return removed;
}
