#include "stringpool.h"

#include <string.h>

#include "zone.h"

namespace {

StringPool g_pool;
const uint32_t kFirstBuckets = 64;

PoolEntry *entry(uint32_t id) { return (PoolEntry *)tab_slot(&g_pool.table, (int)id); }

// A pooled text's record: its slot id, then the text.
char *free_text(char *text) { return (char *)arena_free(text - sizeof(uint32_t)); }

uint32_t hash_text(const char *text) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (const unsigned char *p = (const unsigned char *)text; *p; p++) h = (h ^ *p) * 16777619u;
  return h;
}

// The bucket holding text, or the empty bucket where it would go.
uint32_t probe(const char *text, uint32_t hash, bool *found) {
  for (uint32_t b = hash & g_pool.mask;; b = (b + 1) & g_pool.mask) {
    const PoolBucket &held = g_pool.buckets[b];
    *found = held.slot && held.hash == hash && strcmp(held.text, text) == 0;
    if (!held.slot || *found) return b;
  }
}

// Doubles the buckets (the first call makes them); false without memory.
bool grow() {
  uint32_t count = g_pool.buckets ? (g_pool.mask + 1) * 2 : kFirstBuckets;
  PoolBucket *buckets = (PoolBucket *)zone_alloc_zeroed(count * sizeof(PoolBucket));
  if (!buckets) return false;
  PoolBucket *old = g_pool.buckets;
  uint32_t oldcount = old ? g_pool.mask + 1 : 0;
  g_pool.buckets = buckets;
  g_pool.mask = count - 1;
  for (uint32_t b = 0; b < oldcount; b++) {
    if (!old[b].slot) continue;
    uint32_t to = old[b].hash & g_pool.mask;
    while (buckets[to].slot) to = (to + 1) & g_pool.mask;
    buckets[to] = old[b];
  }
  zone_free(old);
  return true;
}

// Empties bucket b and moves later buckets of the same run back into the gap, so that
// every text stays reachable from its home bucket without marks for removed ones.
void empty_bucket(uint32_t b) {
  for (uint32_t next = b;;) {
    next = (next + 1) & g_pool.mask;
    if (!g_pool.buckets[next].slot) break;
    uint32_t home = g_pool.buckets[next].hash & g_pool.mask;
    bool stays = b <= next ? (b < home && home <= next) : (b < home || home <= next);
    if (stays) continue;
    g_pool.buckets[b] = g_pool.buckets[next];
    b = next;
  }
  g_pool.buckets[b].slot = 0;
}

// Texts may be pooled by a library user that never ran the program's start-up.
bool ensure_ready() {
  if (!g_pool.ready) pool_init();
  return g_pool.buckets || grow();
}

// The slot of the pooled text equal to text and its bucket, or -1.
int find(const char *text, uint32_t *bucket) {
  if (!text || !g_pool.ready || !g_pool.buckets) return -1;
  bool found;
  *bucket = probe(text, hash_text(text), &found);
  return found ? (int)g_pool.buckets[*bucket].slot - 1 : -1;
}

// Frees the entry's text and slot and empties its bucket.
void forget(int id, uint32_t bucket) {
  empty_bucket(bucket);
  entry(id)->text = free_text(entry(id)->text);
  tab_release(&g_pool.table, id);
}

}  // namespace

void pool_init() {
  if (g_pool.ready) return;
  tab_init(&g_pool.table, sizeof(PoolEntry));
  arena_init(&g_pool.texts);
  g_pool.buckets = nullptr;
  g_pool.mask = 0;
  g_pool.ready = true;
}

void pool_free() {
  if (!g_pool.ready) return;
  int id = -1;
  while (tab_prev_used(&g_pool.table, &id)) entry(id)->text = free_text(entry(id)->text);
  arena_release(&g_pool.texts);
  g_pool.buckets = (PoolBucket *)zone_free(g_pool.buckets);
  tab_free(&g_pool.table);
  g_pool.ready = false;
}

const char *pool_intern(const char *text) {
  if (!text || !ensure_ready()) return nullptr;
  uint32_t hash = hash_text(text);
  bool found;
  uint32_t b = probe(text, hash, &found);
  if (found) {
    entry(g_pool.buckets[b].slot - 1)->refs++;
    return g_pool.buckets[b].text;
  }
  if ((uint32_t)(tab_used(&g_pool.table) + 1) * 4 > (g_pool.mask + 1) * 3) {
    if (!grow()) return nullptr;
    b = probe(text, hash, &found);
  }
  const size_t size = strlen(text) + 1;
  char *block = (char *)arena_alloc(&g_pool.texts, sizeof(uint32_t) + size);
  int slot = block ? tab_alloc(&g_pool.table) : -1;
  if (slot < 0) return (const char *)arena_free(block);
  const uint32_t id = (uint32_t)slot;
  memcpy(block, &id, sizeof id);
  char *copy = (char *)memcpy(block + sizeof id, text, size);
  *entry(slot) = PoolEntry{copy, 1, hash};
  g_pool.buckets[b] = PoolBucket{(uint32_t)slot + 1, hash, copy};
  return copy;
}

void pool_retain(const char *pooled) {
  uint32_t id;
  memcpy(&id, pooled - sizeof id, sizeof id);
  entry(id)->refs++;
}


bool pool_release(const char *text) {
  uint32_t bucket;
  int id = find(text, &bucket);
  if (id < 0) return false;
  if (--entry(id)->refs <= 0) forget(id, bucket);
  return true;
}

void pool_drop(const char *pooled) {
  uint32_t id;
  memcpy(&id, pooled - sizeof id, sizeof id);
  if (--entry(id)->refs > 0) return;
  uint32_t b = entry(id)->hash & g_pool.mask;
  while (g_pool.buckets[b].slot && g_pool.buckets[b].slot != id + 1) b = (b + 1) & g_pool.mask;
  if (g_pool.buckets[b].slot) forget((int)id, b);
}

int pool_count() { return g_pool.ready ? tab_used(&g_pool.table) : 0; }

const char *pool_find(const char *text) {
  uint32_t bucket;
  return find(text, &bucket) < 0 ? nullptr : g_pool.buckets[bucket].text;
}

int pool_references(const char *text) {
  uint32_t bucket;
  int id = find(text, &bucket);
  return id < 0 ? 0 : entry(id)->refs;
}
