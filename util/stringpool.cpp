#include "stringpool.h"

#include <string.h>

#include "zone.h"

namespace {

StringPool g_pool;
const uint32_t kFirstBuckets = 64;

// What a pooled text's record holds in front of the text.
struct TextHeader {
  uint32_t hash;
  int32_t refs;
};

TextHeader *header_of(const char *pooled) {
  return (TextHeader *)(pooled - sizeof(TextHeader));
}

uint32_t hash_text(const char *text) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (const unsigned char *p = (const unsigned char *)text; *p; p++) h = (h ^ *p) * 16777619u;
  return h;
}

// The bucket holding text, or the empty bucket where it would go.
uint32_t probe(const char *text, uint32_t hash, bool *found) {
  for (uint32_t b = hash & g_pool.mask;; b = (b + 1) & g_pool.mask) {
    const PoolBucket &held = g_pool.buckets[b];
    *found = held.text && held.hash == hash && strcmp(held.text, text) == 0;
    if (!held.text || *found) return b;
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
    if (!old[b].text) continue;
    uint32_t to = old[b].hash & g_pool.mask;
    while (buckets[to].text) to = (to + 1) & g_pool.mask;
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
    if (!g_pool.buckets[next].text) break;
    uint32_t home = g_pool.buckets[next].hash & g_pool.mask;
    bool stays = b <= next ? (b < home && home <= next) : (b < home || home <= next);
    if (stays) continue;
    g_pool.buckets[b] = g_pool.buckets[next];
    b = next;
  }
  g_pool.buckets[b].text = nullptr;
}

// Texts may be pooled by a library user that never ran the program's start-up.
bool ensure_ready() {
  if (!g_pool.ready) pool_init();
  return g_pool.buckets || grow();
}

// The pooled text equal to text and its bucket, or null.
const char *find(const char *text, uint32_t *bucket) {
  if (!text || !g_pool.ready || !g_pool.buckets) return nullptr;
  bool found;
  *bucket = probe(text, hash_text(text), &found);
  return found ? g_pool.buckets[*bucket].text : nullptr;
}

// Frees the text of bucket b and empties the bucket.
void forget(uint32_t b) {
  const char *text = g_pool.buckets[b].text;
  empty_bucket(b);
  arena_free(header_of(text));
  g_pool.count--;
}

}  // namespace

void pool_init() {
  if (g_pool.ready) return;
  arena_init(&g_pool.texts);
  g_pool.buckets = nullptr;
  g_pool.mask = 0;
  g_pool.count = 0;
  g_pool.ready = true;
}

void pool_free() {
  if (!g_pool.ready) return;
  for (uint32_t b = 0; g_pool.buckets && b <= g_pool.mask; b++)
    if (g_pool.buckets[b].text) arena_free(header_of(g_pool.buckets[b].text));
  arena_release(&g_pool.texts);
  g_pool.buckets = (PoolBucket *)zone_free(g_pool.buckets);
  g_pool.count = 0;
  g_pool.ready = false;
}

const char *pool_intern(const char *text) {
  if (!text || !ensure_ready()) return nullptr;
  uint32_t hash = hash_text(text);
  bool found;
  uint32_t b = probe(text, hash, &found);
  if (found) {
    header_of(g_pool.buckets[b].text)->refs++;
    return g_pool.buckets[b].text;
  }
  if ((uint32_t)(g_pool.count + 1) * 4 > (g_pool.mask + 1) * 3) {
    if (!grow()) return nullptr;
    b = probe(text, hash, &found);
  }
  const size_t size = strlen(text) + 1;
  TextHeader *h = (TextHeader *)arena_alloc(&g_pool.texts, sizeof(TextHeader) + size);
  if (!h) return nullptr;
  *h = TextHeader{hash, 1};
  char *copy = (char *)memcpy(h + 1, text, size);
  g_pool.buckets[b] = PoolBucket{hash, copy};
  g_pool.count++;
  return copy;
}

void pool_retain(const char *pooled) { header_of(pooled)->refs++; }

bool pool_release(const char *text) {
  uint32_t bucket;
  const char *pooled = find(text, &bucket);
  if (!pooled) return false;
  if (--header_of(pooled)->refs <= 0) forget(bucket);
  return true;
}

void pool_drop(const char *pooled) {
  TextHeader *h = header_of(pooled);
  if (--h->refs > 0) return;
  uint32_t b = h->hash & g_pool.mask;
  while (g_pool.buckets[b].text && g_pool.buckets[b].text != pooled) b = (b + 1) & g_pool.mask;
  if (g_pool.buckets[b].text) forget(b);
}

int pool_count() { return g_pool.ready ? g_pool.count : 0; }

const char *pool_find(const char *text) {
  uint32_t bucket;
  return find(text, &bucket);
}

int pool_references(const char *text) {
  uint32_t bucket;
  const char *pooled = find(text, &bucket);
  return pooled ? header_of(pooled)->refs : 0;
}
