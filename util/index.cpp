#include "index.h"

#include <string.h>

#include "log.h"
#include "visor.h"
#include "zone.h"

namespace {

// A place in the index: part and position in it; the position may be the part's count.
struct Place {
  int part;
  int at;
};

// Key against the record of other; with an id, equal keys are ordered by id.
int order(const SortedIndex *si, const void *key, const uint32_t *id, uint32_t other) {
  int c = si->compare(key, si->context, other);
  if (c == 0 && id) c = (*id > other) - (*id < other);
  return c;
}

// First place whose id is not below the key (upper: not below and not equal). A run of
// equal keys may begin in the part before the one whose first id equals the key, so
// without an id that part's predecessor is searched. With an id every key is distinct:
// the part is the last whose first id is not above the key, where a new id also goes.
Place locate(const SortedIndex *si, const void *key, const uint32_t *id, bool upper) {
  int lo = 0, hi = si->partnum;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = order(si, key, id, si->parts[mid].ids[0]);
    if ((upper || id) ? c >= 0 : c > 0) lo = mid + 1;
    else hi = mid;
  }
  Place p = {lo > 0 ? lo - 1 : 0, 0};
  const IndexPart *part = &si->parts[p.part];
  lo = 0;
  hi = part->count;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    int c = order(si, key, id, part->ids[mid]);
    if (upper ? c >= 0 : c > 0) lo = mid + 1;
    else hi = mid;
  }
  p.at = lo;
  return p;
}

uint32_t id_at(const SortedIndex *si, Place p) {
  if (p.at < si->parts[p.part].count) return si->parts[p.part].ids[p.at];
  if (p.part + 1 < si->partnum) return si->parts[p.part + 1].ids[0];
  return SINDEX_NONE;
}

uint32_t id_before(const SortedIndex *si, Place p) {
  if (p.at > 0) return si->parts[p.part].ids[p.at - 1];
  if (p.part > 0) return si->parts[p.part - 1].ids[si->parts[p.part - 1].count - 1];
  return SINDEX_NONE;
}

// The part's block keeps room for more ids, so that most inserts move ids without a
// call to the zone (each of which records its caller's history).
bool put_id(IndexPart *part, int at, uint32_t id) {
  uint32_t *ids = part->ids;
  if ((size_t)part->count * sizeof id >= zone_size(ids))
    ids = (uint32_t *)zone_resize(ids, ((size_t)part->count * 3 / 2 + 8) * sizeof id);
  if (!ids) return false;
  memmove(ids + at + 1, ids + at, (part->count - at) * sizeof id);
  ids[at] = id;
  part->ids = ids;
  part->count++;
  return true;
}

// The last count / 2 ids move to a new part right after this one.
void split(SortedIndex *si, int p) {
  int moved = si->parts[p].count / 2;
  int kept = si->parts[p].count - moved;
  uint32_t *ids = (uint32_t *)zone_dup_bytes(moved * sizeof(uint32_t), si->parts[p].ids + kept);
  if (!ids) return;  // an oversized part is still correct, only slower
  IndexPart *parts = (IndexPart *)zone_insert(si->parts, p + 1, 1, sizeof(IndexPart));
  if (zone_size(parts) != (size_t)(si->partnum + 1) * sizeof(IndexPart)) {
    zone_free(ids);
    return;
  }
  si->parts = parts;
  si->partnum++;
  si->parts[p + 1].count = moved;
  si->parts[p + 1].ids = ids;
  si->parts[p].count = kept;
  si->parts[p].ids = (uint32_t *)zone_resize(si->parts[p].ids, kept * sizeof(uint32_t));
}

// A short part is appended to the part before it; the first part takes in the second.
void merge(SortedIndex *si, int p) {
  int dst = p > 0 ? p - 1 : 0;
  IndexPart *to = &si->parts[dst], *from = &si->parts[dst + 1];
  if (from->count) {
    uint32_t *ids = (uint32_t *)zone_resize(to->ids, (to->count + from->count) * sizeof(uint32_t));
    if (!ids) return;  // the short part stays; the order is still right
    memcpy(ids + to->count, from->ids, from->count * sizeof(uint32_t));
    to->ids = ids;
    to->count += from->count;
  }
  from->ids = (uint32_t *)zone_free(from->ids);
  si->parts = (IndexPart *)zone_delete(si->parts, dst + 1, 1, sizeof(IndexPart));
  si->partnum--;
}

// Appends the held ids from *from up to (not including) to; *from becomes to.
int copy_held(const SortedIndex *si, Place *from, Place to, uint32_t *out, int n) {
  for (; from->part < to.part; from->part++, from->at = 0) {
    const IndexPart *part = &si->parts[from->part];
    memcpy(out + n, part->ids + from->at, (size_t)(part->count - from->at) * sizeof(uint32_t));
    n += part->count - from->at;
  }
  const int tail = to.at - from->at;
  memcpy(out + n, si->parts[to.part].ids + from->at, (size_t)tail * sizeof(uint32_t));
  from->at = to.at;
  return n + tail;
}

// Parts of at most 128 ids, as even as the count allows, holding the ids in turn; null
// without memory.
IndexPart *cut_parts(const uint32_t *ids, int count, int *partnum) {
  const int parts = (count + 127) / 128;
  IndexPart *cut = (IndexPart *)zone_alloc((size_t)parts * sizeof(IndexPart));
  for (int p = 0, at = 0; cut && p < parts; p++) {
    cut[p].count = count / parts + (p < count % parts);
    cut[p].ids = (uint32_t *)zone_dup_bytes((size_t)cut[p].count * sizeof(uint32_t), ids + at);
    at += cut[p].count;
    if (cut[p].ids) continue;
    while (p--) zone_free(cut[p].ids);
    cut = (IndexPart *)zone_free(cut);
  }
  *partnum = cut ? parts : 0;
  return cut;
}

}  // namespace

void sindex_init(SortedIndex *si) {
  memset(si, 0, sizeof *si);
}

void sindex_set_compare(SortedIndex *si, IndexCompare compare, uint32_t context) {
  KQ_ASSERT_AT(!si->partnum, "index", 60, "!dd->partnum");
  si->compare = compare;
  si->context = context;
}

void sindex_destroy(SortedIndex *si) {
  for (int p = 0; p < si->partnum; p++) si->parts[p].ids = (uint32_t *)zone_free(si->parts[p].ids);
  si->parts = (IndexPart *)zone_free(si->parts);
  si->partnum = si->num = 0;
  sindex_reset(si);
}

bool sindex_insert(SortedIndex *si, const void *key, uint32_t id) {
  if (!si->partnum) {
    IndexPart *parts = (IndexPart *)zone_alloc(sizeof(IndexPart));
    uint32_t *ids = (uint32_t *)zone_dup_bytes(sizeof id, &id);
    if (!parts || !ids) {
      zone_free(parts);
      zone_free(ids);
      return true;
    }
    parts[0].count = 1;
    parts[0].ids = ids;
    si->parts = parts;
    si->partnum = 1;
    si->num = 1;
    return false;
  }
  // Debug information mostly comes in address order: a key above the last id goes to
  // the end without a search.
  IndexPart *last = &si->parts[si->partnum - 1];
  Place p = {si->partnum - 1, last->count};
  if (order(si, key, &id, last->ids[last->count - 1]) <= 0) p = locate(si, key, &id, false);
  IndexPart *part = &si->parts[p.part];
  if (p.at < part->count && order(si, key, &id, part->ids[p.at]) == 0) return true;
  if (!put_id(part, p.at, id)) return true;
  si->num++;
  if (part->count > SINDEX_PART_MAX) split(si, p.part);
  return false;
}

bool sindex_insert_sorted(SortedIndex *si, const uint32_t *ids, const void *const *keys,
                          int count) {
  if (count <= 0) return true;
  uint32_t *all = (uint32_t *)zone_alloc((size_t)(si->num + count) * sizeof(uint32_t));
  if (!all) return false;
  int n = 0;
  Place from = {0, 0};
  for (int i = 0; i < count; i++) {
    if (si->partnum) {
      Place to = locate(si, keys[i], &ids[i], false);
      n = copy_held(si, &from, to, all, n);
      const IndexPart *part = &si->parts[to.part];
      if (to.at < part->count && order(si, keys[i], &ids[i], part->ids[to.at]) == 0) continue;
    }
    all[n++] = ids[i];
  }
  if (si->partnum) {
    const Place end = {si->partnum - 1, si->parts[si->partnum - 1].count};
    n = copy_held(si, &from, end, all, n);
  }
  int partnum = 0;
  IndexPart *parts = cut_parts(all, n, &partnum);
  zone_free(all);
  if (!parts) return false;
  for (int p = 0; p < si->partnum; p++) zone_free(si->parts[p].ids);
  zone_free(si->parts);
  si->parts = parts;
  si->partnum = partnum;
  si->num = n;
  return true;
}

bool sindex_remove(SortedIndex *si, const void *key, uint32_t id) {
  if (!si->partnum) return false;
  Place p = locate(si, key, &id, false);
  IndexPart *part = &si->parts[p.part];
  if (p.at >= part->count || order(si, key, &id, part->ids[p.at]) != 0) return false;
  part->ids = (uint32_t *)zone_delete(part->ids, p.at, 1, sizeof(uint32_t));
  part->count--;
  si->num--;
  if (si->partnum >= 2 && part->count < SINDEX_PART_MIN) merge(si, p.part);
  else if (!part->count) {
    part->ids = (uint32_t *)zone_free(part->ids);  // it kept room for more
    si->parts = (IndexPart *)zone_free(si->parts);
    si->partnum = 0;
  }
  return true;
}

int sindex_remove_marked(SortedIndex *si, const uint8_t *marked, uint32_t limit) {
  int removed = 0;
  for (int p = 0; p < si->partnum;) {
    IndexPart *part = &si->parts[p];
    int kept = 0;
    for (int i = 0; i < part->count; i++)
      if (part->ids[i] >= limit || !marked[part->ids[i]]) part->ids[kept++] = part->ids[i];
    removed += part->count - kept;
    if (kept < part->count) {
      part->count = kept;
      part->ids = (uint32_t *)zone_resize(part->ids, kept * sizeof(uint32_t));  // 0 frees
    }
    if (!kept) {
      si->parts = (IndexPart *)zone_delete(si->parts, p, 1, sizeof(IndexPart));
      si->partnum--;  // the last part's removal freed the array
      continue;
    }
    int parts = si->partnum;
    // A merge into the part before leaves p at the next part; the first part takes in
    // the second, unfiltered, and is filtered again.
    if (parts >= 2 && kept < SINDEX_PART_MIN) merge(si, p);
    if (si->partnum == parts) p++;
  }
  si->num -= removed;
  return removed;
}

uint32_t sindex_find(const SortedIndex *si, const void *key) {
  if (!si->partnum) return SINDEX_NONE;
  uint32_t id = id_at(si, locate(si, key, nullptr, false));
  if (id != SINDEX_NONE && si->compare(key, si->context, id) != 0) return SINDEX_NONE;
  return id;
}

uint32_t sindex_floor(const SortedIndex *si, const void *key) {
  if (!si->partnum) return SINDEX_NONE;
  return id_before(si, locate(si, key, nullptr, true));
}

uint32_t sindex_ceiling(const SortedIndex *si, const void *key) {
  if (!si->partnum) return SINDEX_NONE;
  return id_at(si, locate(si, key, nullptr, false));
}

uint32_t sindex_before(const SortedIndex *si, const void *key) {
  if (!si->partnum) return SINDEX_NONE;
  return id_before(si, locate(si, key, nullptr, false));
}

uint32_t sindex_after(const SortedIndex *si, const void *key) {
  if (!si->partnum) return SINDEX_NONE;
  return id_at(si, locate(si, key, nullptr, true));
}

int sindex_between(const SortedIndex *si, const void *low, const void *high, uint32_t *out,
                   int max) {
  if (!si->partnum) return 0;
  const Place end = locate(si, high, nullptr, false);
  int n = 0;
  Place p = locate(si, low, nullptr, false);
  while (p.part < end.part || (p.part == end.part && p.at < end.at)) {
    if (p.at == si->parts[p.part].count) {
      p = Place{p.part + 1, 0};
      continue;
    }
    if (n < max) out[n] = si->parts[p.part].ids[p.at];
    n++;
    p.at++;
  }
  return n;
}

uint32_t sindex_first(const SortedIndex *si) {
  return si->partnum ? si->parts[0].ids[0] : SINDEX_NONE;
}

uint32_t sindex_last(const SortedIndex *si) {
  if (!si->partnum) return SINDEX_NONE;
  const IndexPart *part = &si->parts[si->partnum - 1];
  return part->ids[part->count - 1];
}

int sindex_collect(SortedIndex *si, const void *key) {
  sindex_reset(si);
  if (!si->partnum) return 0;
  Place p = locate(si, key, nullptr, false);
  for (; p.part < si->partnum; p.part++, p.at = 0) {
    const IndexPart *part = &si->parts[p.part];
    for (; p.at < part->count; p.at++) {
      uint32_t id = part->ids[p.at];
      if (si->compare(key, si->context, id) != 0) return si->resnum;
      uint32_t *res = (uint32_t *)zone_grow(si->res, sizeof id);
      if (!res) return si->resnum;
      si->res = res;
      si->res[si->resnum++] = id;
    }
  }
  return si->resnum;
}

bool sindex_next(SortedIndex *si, uint32_t *id) {
  if (si->respos < si->resnum) {
    *id = si->res[si->respos++];
    return true;
  }
  sindex_reset(si);
  return false;
}

bool sindex_iterate(SortedIndex *si, uint32_t *id) {
  if (!si->res && si->num) {
    si->res = (uint32_t *)zone_alloc(si->num * sizeof(uint32_t));
    if (si->res) {
      for (int p = 0; p < si->partnum; p++) {
        memcpy(si->res + si->resnum, si->parts[p].ids, si->parts[p].count * sizeof(uint32_t));
        si->resnum += si->parts[p].count;
      }
    }
  }
  return sindex_next(si, id);
}

void sindex_reset(SortedIndex *si) {
  si->res = (uint32_t *)zone_free(si->res);
  si->resnum = si->respos = 0;
}

void sindex_dump(const SortedIndex *si) {
  log_printf("\n ====== Index dump 0x%X num=%u =====\n", (unsigned)(uintptr_t)si, (unsigned)si->num);
  for (int p = 0; p < si->partnum; p++) {
    log_info("\tPart %i", p);
    for (int i = 0; i < si->parts[p].count; i++) log_info("\t\t[%i] = %i", i, (int)si->parts[p].ids[i]);
  }
}

int sindex_check(const SortedIndex *si) {
  int checked = 0;
  for (int p = 0; p < si->partnum; p++)
    for (int i = 0; i < si->parts[p].count; i++, checked++)
      if (si->parts[p].ids[i] > 10000)
        fatal_error("Found invalid index in %X t=%i i=%i (%i)", (unsigned)(uintptr_t)si, p, i,
                    (int)si->parts[p].ids[i]);
  return checked;
}
