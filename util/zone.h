// Memory zones: every dynamic block of the program, with guard bytes ("bumpers") around
// it, the call history of its last allocation, and a chain of all live blocks so that
// the leaks are listed at exit. Release always gives null: assign it back.
#pragma once
#include <stddef.h>
#include <stdint.h>

// A block's header has room for ten callers; the innermost six that are recorded tell the
// path that allocated a leaked block at about half the cost of ten for each block.
enum { ZONE_HISTORY = 10, ZONE_HISTORY_DEPTH = 6, ZONE_BUMPER = 20 };
// A ceiling for runaway growth, not for real loads: the stores of a program database of
// tens of megabytes take about twice its size.
const uint32_t MAXHEAPSIZE = 512000000;

void *zone_alloc(size_t size);                    // size 0 gives null
// As zone_alloc, with the data zeroed instead of filled: for tables that start empty,
// which would otherwise be filled and then zeroed.
void *zone_alloc_zeroed(size_t size);
void *zone_resize(void *data, size_t size);       // null: allocate; 0: release
void *zone_grow(void *data, size_t added);        // 40 % slack when it must move
void *zone_append(void *data, const void *bytes, size_t count);
void *zone_free(void *data);                      // always null
void *zone_dup_bytes(size_t count, const void *src);
void *zone_dup(const void *data);
char *zone_strdup(const char *text);
void zone_clear(void *data);
size_t zone_size(const void *data);               // 0 for null
size_t zone_capacity(const void *data);
size_t zone_use_capacity(void *data);
void *zone_insert(void *array, int index, int count, int width);
void *zone_delete(void *array, int index, int count, int width);

size_t zone_total_size();
size_t zone_total_extent();
int zone_block_count();

void zone_status_report();
void zone_block_report();
void zone_heap_check(const char *label);
void zone_report_block(const void *data);
