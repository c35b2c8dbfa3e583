#include "symbols/entries.h"

#include <ctype.h>
#include <stddef.h>
#include <string.h>

#include <algorithm>

#include "symbols/modules.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "util/zone.h"

EntryStore g_entries;

namespace {

EntrySlot *slot(uint32_t id) { return (EntrySlot *)tab_slot(&g_entries.table, (int)id); }

EntryRecord *record(uint32_t id) { return id == SINDEX_NONE ? nullptr : slot(id)->record; }

// Orders as strcmp does on the first four bytes (unsigned, a shorter name first).
uint32_t name_prefix(const char *name) {
  uint32_t prefix = 0;
  for (int i = 0; i < 4; i++) {
    prefix = prefix << 8 | (unsigned char)*name;
    if (*name) name++;
  }
  return prefix;
}

int compare_address(const void *key, uint32_t, uint32_t id) {
  uint32_t a = *(const uint32_t *)key, b = slot(id)->address;
  return (a > b) - (a < b);
}

int compare_name(const void *key, uint32_t, uint32_t id) {
  uint32_t a = name_prefix((const char *)key), b = slot(id)->prefix;
  if (a != b) return a > b ? 1 : -1;
  return (a & 0xFF) ? strcmp((const char *)key, record(id)->name) : 0;  // a NUL ends both
}

bool ident_char(char c) { return isalnum((unsigned char)c) || c == '_'; }

uint32_t address_bucket(uint32_t address) {
  uint32_t h = address * 2654435761u;
  return (h ^ h >> 16) & g_entries.pending_mask;
}

// The pending entry at the address, or null. A bucket may name an id freed since (an
// entry that could not take a new name): its slot no longer holds the address.
EntryRecord *pending_at(uint32_t address) {
  if (!g_entries.pending_count) return nullptr;
  for (uint32_t b = address_bucket(address);; b = (b + 1) & g_entries.pending_mask) {
    const uint32_t held = g_entries.pending_at[b];
    if (!held) return nullptr;
    if (tab_in_use(&g_entries.table, (int)held - 1) && slot(held - 1)->address == address)
      return record(held - 1);
  }
}

void place_pending(uint32_t *buckets, uint32_t mask, uint32_t id) {
  uint32_t b = address_bucket(slot(id)->address);
  while (buckets[b]) b = (b + 1) & mask;
  buckets[b] = id + 1;
}

// Adds the new entry to the pending ones; false without memory.
bool add_pending(uint32_t id) {
  EntryStore &g = g_entries;
  if ((size_t)g.pending_count * sizeof id >= zone_size(g.pending)) {
    size_t room = (size_t)g.pending_count * 3 / 2 + 64;
    uint32_t *pending = (uint32_t *)zone_resize(g.pending, room * sizeof id);
    if (!pending) return false;
    g.pending = pending;
  }
  // The buckets stay at most half full.
  if (!g.pending_at || (uint32_t)(g.pending_count + 1) * 2 > g.pending_mask + 1) {
    const uint32_t count = g.pending_at ? (g.pending_mask + 1) * 2 : 256;
    uint32_t *buckets = (uint32_t *)zone_alloc_zeroed(count * sizeof(uint32_t));
    if (!buckets) return false;
    zone_free(g.pending_at);
    g.pending_at = buckets;
    g.pending_mask = count - 1;
    for (int i = 0; i < g.pending_count; i++) place_pending(buckets, count - 1, g.pending[i]);
  }
  place_pending(g.pending_at, g.pending_mask, id);
  g.pending[g.pending_count++] = id;
  return true;
}

// An id of the sorting with its key: the address, or four bytes of the name.
struct SortKey {
  uint32_t key;
  uint32_t id;
};

// Sorts by key, eight bits a pass from the lowest, each pass keeping the order of equal
// digits; a pass where every key has the same digit is skipped. scratch has room for
// count keys.
void radix_sort(SortKey *keys, SortKey *scratch, int count) {
  uint32_t counts[4][256] = {};
  for (int i = 0; i < count; i++) {
    const uint32_t k = keys[i].key;
    counts[0][k & 0xFF]++;
    counts[1][k >> 8 & 0xFF]++;
    counts[2][k >> 16 & 0xFF]++;
    counts[3][k >> 24]++;
  }
  SortKey *from = keys, *to = scratch;
  for (int d = 0; d < 4; d++) {
    const uint32_t *c = counts[d];
    if (c[keys[0].key >> 8 * d & 0xFF] == (uint32_t)count) continue;
    uint32_t at[256];
    for (uint32_t b = 0, sum = 0; b < 256; sum += c[b++]) at[b] = sum;
    for (int i = 0; i < count; i++) to[at[from[i].key >> 8 * d & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != keys) memcpy(keys, from, (size_t)count * sizeof *keys);
}

// The keys in index order: by key, then by the rest of the order. For names the keys are
// the four bytes at offset, and a long run that shares them (without a NUL) is sorted
// again by the next four. Many keys take linear passes, a few a comparison sort.
void sort_keys(SortKey *keys, SortKey *scratch, int count, bool by_name, size_t offset = 0) {
  auto below = [by_name, offset](const SortKey &x, const SortKey &y) {
    if (x.key != y.key) return x.key < y.key;
    if (by_name && (x.key & 0xFF))
      if (int c = strcmp(slot(x.id)->record->name + offset, slot(y.id)->record->name + offset))
        return c < 0;
    return x.id < y.id;
  };
  const int kFew = 256;  // below this many the passes' tables cost more than comparisons
  if (count < kFew) {
    std::sort(keys, keys + count, below);
    return;
  }
  radix_sort(keys, scratch, count);
  for (int i = 0, j; i < count; i = j) {
    for (j = i + 1; j < count && keys[j].key == keys[i].key;) j++;
    if (j - i < 2) continue;
    if (!by_name || !(keys[i].key & 0xFF) || j - i < kFew) {
      std::sort(keys + i, keys + j, below);
      continue;
    }
    for (int k = i; k < j; k++) keys[k].key = name_prefix(slot(keys[k].id)->record->name + offset + 4);
    sort_keys(keys + i, scratch, j - i, true, offset + 4);
  }
}

// The ids into the index in its order, each once; false without memory. scratch has
// room for count keys.
bool insert_sorted(SortedIndex *index, SortKey *keys, SortKey *scratch, int count, bool by_name) {
  uint32_t *ids = (uint32_t *)zone_alloc((size_t)count * sizeof(uint32_t));
  const void **at = (const void **)zone_alloc((size_t)count * sizeof(void *));
  bool ok = ids && at;
  if (ok) {
    sort_keys(keys, scratch, count, by_name);
    int n = 0;
    for (int i = 0; i < count; i++) {
      if (n && ids[n - 1] == keys[i].id) continue;
      EntryRecord *e = record(keys[i].id);
      ids[n] = keys[i].id;
      at[n++] = by_name ? (const void *)e->name : (const void *)&e->address;
    }
    ok = sindex_insert_sorted(index, ids, at, n);
  }
  zone_free(at);
  zone_free(ids);
  return ok;
}

}  // namespace

void entries_flush() {
  EntryStore &g = g_entries;
  if (!g.pending_count && !g.pending && !g.pending_at) return;
  g.pending_at = (uint32_t *)zone_free(g.pending_at);  // its room serves the sorting
  g.pending_mask = 0;
  int n = 0;
  for (int i = 0; i < g.pending_count; i++)
    if (tab_in_use(&g.table, (int)g.pending[i])) g.pending[n++] = g.pending[i];
  // A few entries more in a large store go in one by one; a load's thousands in one pass.
  SortKey *keys = n * 8 >= sindex_count(&g.by_address)
                      ? (SortKey *)zone_alloc((size_t)n * 2 * sizeof(SortKey))
                      : nullptr;
  bool sorted = keys != nullptr;
  for (int i = 0; sorted && i < n; i++) keys[i] = SortKey{slot(g.pending[i])->address, g.pending[i]};
  sorted = sorted && insert_sorted(&g.by_address, keys, keys + n, n, false);
  for (int i = 0; sorted && i < n; i++) keys[i] = SortKey{slot(g.pending[i])->prefix, g.pending[i]};
  sorted = sorted && insert_sorted(&g.by_name, keys, keys + n, n, true);
  zone_free(keys);
  // Without memory for the sorting, or for few: ids already held are refused.
  for (int i = 0; !sorted && i < n; i++) {
    EntryRecord *e = record(g.pending[i]);
    sindex_insert(&g.by_address, &e->address, e->id);
    sindex_insert(&g.by_name, e->name, e->id);
  }
  g.pending = (uint32_t *)zone_free(g.pending);
  g.pending_count = 0;
}

void entries_init() {
  tab_init(&g_entries.table, sizeof(EntrySlot));
  arena_init(&g_entries.records);
  sindex_init(&g_entries.by_address);
  sindex_set_compare(&g_entries.by_address, compare_address, 0);
  sindex_init(&g_entries.by_name);
  sindex_set_compare(&g_entries.by_name, compare_name, 0);
  g_entries.pending = g_entries.pending_at = nullptr;
  g_entries.pending_count = 0;
  g_entries.pending_mask = 0;
}

void entries_clear() {
  entries_flush();
  for (int id = -1; tab_prev_used(&g_entries.table, &id);) entry_delete(record((uint32_t)id));
}

void entries_free() {
  entries_clear();
  sindex_destroy(&g_entries.by_address);
  sindex_destroy(&g_entries.by_name);
  arena_release(&g_entries.records);
  tab_free(&g_entries.table);
}

namespace {

// The entry leaves the entry map of its source.
void leave_source(EntryRecord *e) {
  uint32_t id = 0;
  if (!e->source) return;
  if (namemap_find(&e->source->entry_map, e->name, &id) && id == e->id)
    namemap_remove(&e->source->entry_map, e->name);
  e->source->entry_refs--;
}

void join_source(EntryRecord *e, SourceRecord *source) {
  e->source = source;
  if (!source) return;
  namemap_add(&source->entry_map, e->name, e->id);
  source->entry_refs++;
}

// Everything of an entry but its place in the two indexes.
void forget(EntryRecord *e) {
  leave_source(e);
  tab_release(&g_entries.table, (int)e->id);
  arena_free(e);
}

size_t record_size(size_t name_length) { return offsetof(EntryRecord, name) + name_length + 1; }

// The fields of an entry whose record has room for a name of held bytes, grown for the
// name when it must.
EntryRecord *fill(EntryRecord *e, size_t held, const char *name, TypeRecord *type,
                  SourceRecord *source) {
  const size_t len = strlen(name);
  if (held < len)
    e = (EntryRecord *)arena_resize(&g_entries.records, e, record_size(held), record_size(len));
  if (!e) return nullptr;
  e->type = type ? type : type_base(BT_VOID);
  memcpy(e->name, name, len + 1);
  *slot(e->id) = EntrySlot{e, e->address, name_prefix(name)};
  join_source(e, source);
  return e;
}

}  // namespace

int entries_remove_range(uint32_t low, uint32_t high) {
  entries_flush();
  // The range's ids in address order, the order in which their slots are freed.
  uint32_t limit = (uint32_t)tab_count(&g_entries.table);
  uint32_t *ids = (uint32_t *)zone_alloc(limit * sizeof(uint32_t));
  uint8_t *marked = (uint8_t *)zone_alloc_zeroed(limit);
  int removed = 0;
  if (!ids || !marked) {  // no memory for the lists: one by one
    zone_free(ids);
    zone_free(marked);
    for (EntryRecord *e; (e = record(sindex_ceiling(&g_entries.by_address, &low))) &&
                         e->address < high;
         removed++)
      entry_delete(e);
    return removed;
  }
  removed = sindex_between(&g_entries.by_address, &low, &high, ids, (int)limit);
  for (int i = 0; i < removed; i++) marked[ids[i]] = 1;
  // A module's unload takes its thousands of entries at once: one pass over each index
  // costs less than a search for each entry, unless the module holds only a few of them.
  if (removed * 8 >= entries_count()) {
    sindex_remove_marked(&g_entries.by_address, marked, limit);
    sindex_remove_marked(&g_entries.by_name, marked, limit);
    for (int i = 0; i < removed; i++) forget(record(ids[i]));
  } else {
    for (int i = 0; i < removed; i++) entry_delete(record(ids[i]));
  }
  zone_free(marked);
  zone_free(ids);
  return removed;
}

int entries_count() { return tab_used(&g_entries.table); }

void entries_forget_source(const SourceRecord *source) {
  for (int id = -1; tab_prev_used(&g_entries.table, &id);) {
    EntryRecord *e = record((uint32_t)id);
    if (e->source == source) e->source = nullptr;
  }
}

bool entry_name_match(const char *new_name, const char *existing) {
  const char *p = new_name;
  while (*p && !isalnum((unsigned char)*p)) p++;
  const char *start = p;
  for (;;) {
    while (ident_char(*p)) p++;
    if (p[0] == ':' && p[1] == ':' && ident_char(p[2])) p += 2;
    else break;
  }
  size_t len = (size_t)(p - start);
  return len == strlen(existing) && memcmp(start, existing, len) == 0;
}

EntryRecord *entry_define(const char *name, uint32_t address, TypeRecord *type,
                          SourceRecord *source) {
  if (!name) return nullptr;
  // A pending entry is in no index yet: its name and place need no updates there.
  EntryRecord *old = pending_at(address);
  const bool indexed = !old;
  if (indexed && sindex_count(&g_entries.by_address)) {
    old = record(sindex_floor(&g_entries.by_address, &address));
    if (old && old->address != address) old = nullptr;
  }
  if (old) {
    if (type_is_value(old->type) && !type_is_value(type)) return old;
    // The same name again (a public after its procedure) adds nothing; a procedure after
    // its public brings the type and source the public lacks.
    if (entry_name_match(name, old->name) && (old->type || !type) && (old->source || !source))
      return old;
    // The new entry takes the old one's record and place by address: a procedure after
    // the public of the same address does that thousands of times in a load.
    if (indexed) sindex_remove(&g_entries.by_name, old->name, old->id);
    leave_source(old);
    if (EntryRecord *e = fill(old, strlen(old->name), name, type, source)) {
      if (indexed) sindex_insert(&g_entries.by_name, e->name, e->id);
      return e;
    }
    if (indexed) sindex_remove(&g_entries.by_address, &old->address, old->id);
    tab_release(&g_entries.table, (int)old->id);
    return (EntryRecord *)arena_free(old);
  }
  const size_t len = strlen(name);
  EntryRecord *e = (EntryRecord *)arena_alloc(&g_entries.records, record_size(len));
  int id = e ? tab_alloc(&g_entries.table) : -1;
  if (id < 0) return (EntryRecord *)arena_free(e);
  e->id = (uint32_t)id;
  e->address = address;
  *slot((uint32_t)id) = EntrySlot{e, address, 0};
  fill(e, len, name, type, source);
  if (!add_pending(e->id)) {
    sindex_insert(&g_entries.by_address, &e->address, e->id);
    sindex_insert(&g_entries.by_name, e->name, e->id);
  }
  return e;
}

void entry_delete(EntryRecord *e) {
  if (!e) return;
  entries_flush();
  sindex_remove(&g_entries.by_address, &e->address, e->id);
  sindex_remove(&g_entries.by_name, e->name, e->id);
  forget(e);
}

EntryRecord *entry_find(const char *name) {
  entries_flush();
  return name ? record(sindex_find(&g_entries.by_name, name)) : nullptr;
}

EntryRecord *entry_nearest(uint32_t address) {
  entries_flush();
  return record(sindex_floor(&g_entries.by_address, &address));
}

EntryRecord *entry_equal(uint32_t address) {
  EntryRecord *e = entry_nearest(address);
  return e && e->address == address ? e : nullptr;
}

EntryRecord *entry_after(uint32_t address) {
  entries_flush();
  return record(sindex_after(&g_entries.by_address, &address));
}

EntryRecord *entry_find_plain(const char *name) {
  if (!name) return nullptr;
  for (int id = 0; id < tab_count(&g_entries.table); id++)
    if (tab_in_use(&g_entries.table, id) && entry_name_match(record((uint32_t)id)->name, name))
      return record((uint32_t)id);
  return nullptr;
}

uint32_t entry_address_in_module(const char *name, const ModuleRecord *module) {
  if (!name) return 0;
  uint32_t found = 0;
  entries_flush();
  sindex_collect(&g_entries.by_name, name);
  for (uint32_t id; sindex_next(&g_entries.by_name, &id);) {
    uint32_t a = record(id)->address;
    if (!found && (!module || (a >= module->base && a < module->end))) found = a;
  }
  return found;
}
