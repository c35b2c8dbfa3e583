#include "symbols/entries.h"

#include <ctype.h>
#include <stddef.h>
#include <string.h>

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

}  // namespace

void entries_init() {
  tab_init(&g_entries.table, sizeof(EntrySlot));
  sindex_init(&g_entries.by_address);
  sindex_set_compare(&g_entries.by_address, compare_address, 0);
  sindex_init(&g_entries.by_name);
  sindex_set_compare(&g_entries.by_name, compare_name, 0);
}

void entries_clear() {
  for (int id = -1; tab_prev_used(&g_entries.table, &id);) entry_delete(record((uint32_t)id));
}

void entries_free() {
  entries_clear();
  sindex_destroy(&g_entries.by_address);
  sindex_destroy(&g_entries.by_name);
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
  zone_free(e);
}

// The fields of an entry and its name's place, the record grown for the name when it must.
EntryRecord *fill(EntryRecord *e, const char *name, TypeRecord *type, SourceRecord *source) {
  size_t len = strlen(name);
  size_t size = offsetof(EntryRecord, name) + len + 1;
  if (zone_size(e) < size) e = (EntryRecord *)zone_resize(e, size);
  if (!e) return nullptr;
  e->type = type ? type : type_base(BT_VOID);
  memcpy(e->name, name, len + 1);
  *slot(e->id) = EntrySlot{e, e->address, name_prefix(name)};
  sindex_insert(&g_entries.by_name, e->name, e->id);
  join_source(e, source);
  return e;
}

}  // namespace

int entries_remove_range(uint32_t low, uint32_t high) {
  // The range's ids in address order, the order in which their slots are freed.
  uint32_t limit = (uint32_t)tab_count(&g_entries.table);
  uint32_t *ids = (uint32_t *)zone_alloc(limit * sizeof(uint32_t));
  uint8_t *marked = (uint8_t *)zone_alloc(limit);
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
  zone_clear(marked);
  for (EntryRecord *e = record(sindex_ceiling(&g_entries.by_address, &low));
       e && e->address < high; e = record(sindex_after(&g_entries.by_address, &e->address))) {
    ids[removed++] = e->id;
    marked[e->id] = 1;
  }
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
  if (EntryRecord *old = entry_equal(address)) {
    if (type_is_value(old->type) && !type_is_value(type)) return old;
    // The same name again (a public after its procedure) adds nothing; a procedure after
    // its public brings the type and source the public lacks.
    if (entry_name_match(name, old->name) && (old->type || !type) && (old->source || !source))
      return old;
    // The new entry takes the old one's record and place by address: a procedure after
    // the public of the same address does that thousands of times in a load.
    sindex_remove(&g_entries.by_name, old->name, old->id);
    leave_source(old);
    if (EntryRecord *e = fill(old, name, type, source)) return e;
    sindex_remove(&g_entries.by_address, &old->address, old->id);
    tab_release(&g_entries.table, (int)old->id);
    return (EntryRecord *)zone_free(old);
  }
  size_t len = strlen(name);
  EntryRecord *e = (EntryRecord *)zone_alloc(offsetof(EntryRecord, name) + len + 1);
  int id = e ? tab_alloc(&g_entries.table) : -1;
  if (id < 0) return (EntryRecord *)zone_free(e);
  e->id = (uint32_t)id;
  e->address = address;
  *slot((uint32_t)id) = EntrySlot{e, address, 0};
  sindex_insert(&g_entries.by_address, &e->address, e->id);
  return fill(e, name, type, source);
}

void entry_delete(EntryRecord *e) {
  if (!e) return;
  sindex_remove(&g_entries.by_address, &e->address, e->id);
  sindex_remove(&g_entries.by_name, e->name, e->id);
  forget(e);
}

EntryRecord *entry_find(const char *name) {
  return name ? record(sindex_find(&g_entries.by_name, name)) : nullptr;
}

EntryRecord *entry_nearest(uint32_t address) {
  return record(sindex_floor(&g_entries.by_address, &address));
}

EntryRecord *entry_equal(uint32_t address) {
  EntryRecord *e = entry_nearest(address);
  return e && e->address == address ? e : nullptr;
}

EntryRecord *entry_after(uint32_t address) {
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
  sindex_collect(&g_entries.by_name, name);
  for (uint32_t id; sindex_next(&g_entries.by_name, &id);) {
    uint32_t a = record(id)->address;
    if (!found && (!module || (a >= module->base && a < module->end))) found = a;
  }
  return found;
}
