// Record arenas: the small records of the symbol stores (pooled texts, type records,
// member lists, entries) cut from packs of a few KB, each pack one zone block, instead of
// a zone block for each record with its header, bumpers and history. A pack counts its
// live records and goes back to the zone with its last one, so each record is still
// freed on its own and its store keeps its lifetimes.
//
// The price: a pack lives as long as any record in it, so a few long-lived records can
// hold the memory of many freed ones. A leaked record shows as its pack still allocated
// at exit; the guard bytes and the history are the pack's, not the record's.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct RecordPack;

struct RecordArena {
  RecordPack *filling;  // the pack new records are cut from, or null
};

// Data bytes of a pack; a record above an eighth of it has a zone block of its own.
enum { ARENA_PACK_BYTES = 8192 };

void arena_init(RecordArena *arena);
// The filling pack goes back to the zone when it holds no record; one that still does
// stays allocated, and is freed with its last record.
void arena_release(RecordArena *arena);
// Room for size bytes, aligned for pointers, not cleared; null without memory.
void *arena_alloc(RecordArena *arena, size_t size);
// Always null.
void *arena_free(void *record);
// Resizes the record in place to size bytes when it is the last record of the filling
// pack and the pack has room; false (nothing changed) otherwise.
bool arena_resize_in_place(RecordArena *arena, void *record, size_t old_size, size_t size);
// The record with room for size bytes, the first old_size of them kept: grown in place
// while it is the last record of the filling pack, moved otherwise. Null without memory,
// when the old record stays valid.
void *arena_resize(RecordArena *arena, void *record, size_t old_size, size_t size);
