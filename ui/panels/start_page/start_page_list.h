// The start page's list of recently debugged executables, most recent first, with each
// file's size and last-write time as last seen; kept in the registry as one binary value.
// Free of windows: the file look-up is a seam.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct RecentFile {
  char *path;           // zone block
  uint64_t write_time;  // file time
  uint32_t size;
  uint8_t exists;
};

struct RecentFiles {
  RecentFile *items;  // zone block
  int count, capacity;
};

// Reads a file's size and last-write time; false when it is missing.
struct RecentLookup {
  void *context;
  bool (*look)(void *context, const char *path, uint64_t *write_time, uint32_t *size);
};

// A new path goes to the front (not seen yet); a known one (any case) moves there.
void recent_add(RecentFiles *list, const char *path);
// Removes entry index; false when there is none.
bool recent_remove(RecentFiles *list, int index);
// The index of path (any case), -1 for none.
int recent_find(const RecentFiles *list, const char *path);
void recent_free(RecentFiles *list);

// The registry form: the paths from the last to the first, each ended by a zero, then one
// more zero. A zone block of *size bytes.
char *recent_encode(const RecentFiles *list, size_t *size);
// Adds each path of the registry form in turn, which restores the stored order; a value
// cut short keeps the paths that ended inside it.
void recent_decode(RecentFiles *list, const char *data, size_t size);

// Writes a file time as a date; the seam that keeps the local time zone out of here.
typedef void (*RecentDateText)(uint64_t write_time, char *out, size_t outlen);
enum { RECENT_COLUMN = 32 };
// The size and date columns of one entry: empty and "Not found" for a missing file.
void recent_columns(const RecentFile *f, RecentDateText date, char size[RECENT_COLUMN],
                    char when[RECENT_COLUMN]);
// The whole list as text, a row a line with its columns after tabs, however long the
// stored paths are. A zone block.
char *recent_list_text(const RecentFiles *list, RecentDateText date);

// Looks every file up again; true when an entry's existence, size or time changed.
bool recent_refresh(RecentFiles *list, const RecentLookup *lookup);
