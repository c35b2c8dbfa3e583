#include "ui/panels/start_page/start_page_list.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "util/zone.h"

int recent_find(const RecentFiles *list, const char *path) {
  for (int i = 0; i < list->count; i++)
    if (!strcasecmp(list->items[i].path, path)) return i;
  return -1;
}

void recent_add(RecentFiles *list, const char *path) {
  int at = recent_find(list, path);
  if (at < 0) {
    if (list->count == list->capacity) {
      list->capacity = list->capacity ? list->capacity * 2 : 8;
      RecentFile *grown = (RecentFile *)zone_alloc(list->capacity * sizeof *grown);
      if (list->count) memcpy(grown, list->items, list->count * sizeof *grown);
      list->items = (RecentFile *)zone_free(list->items);
      list->items = grown;
    }
    at = list->count++;
    list->items[at] = RecentFile();
    list->items[at].path = zone_strdup(path);
  }
  const RecentFile moved = list->items[at];
  memmove(list->items + 1, list->items, at * sizeof *list->items);
  list->items[0] = moved;
}

bool recent_remove(RecentFiles *list, int index) {
  if (index < 0 || index >= list->count) return false;
  zone_free(list->items[index].path);
  list->count--;
  memmove(list->items + index, list->items + index + 1,
          (list->count - index) * sizeof *list->items);
  return true;
}

void recent_free(RecentFiles *list) {
  while (list->count) recent_remove(list, list->count - 1);
  list->items = (RecentFile *)zone_free(list->items);
  list->capacity = 0;
}

char *recent_encode(const RecentFiles *list, size_t *size) {
  size_t total = 1;
  for (int i = 0; i < list->count; i++) total += strlen(list->items[i].path) + 1;
  char *data = (char *)zone_alloc(total);
  char *p = data;
  for (int i = list->count - 1; i >= 0; i--) {
    const size_t n = strlen(list->items[i].path) + 1;
    memcpy(p, list->items[i].path, n);
    p += n;
  }
  *p = 0;
  *size = total;
  return data;
}

void recent_decode(RecentFiles *list, const char *data, size_t size) {
  size_t at = 0;
  while (at < size && data[at]) {
    const char *end = (const char *)memchr(data + at, 0, size - at);
    if (!end) return;
    recent_add(list, data + at);
    at = end - data + 1;
  }
}

void recent_columns(const RecentFile *f, RecentDateText date, char size[RECENT_COLUMN],
                    char when[RECENT_COLUMN]) {
  size[0] = 0;
  snprintf(when, RECENT_COLUMN, "Not found");
  if (!f->exists) return;
  snprintf(size, RECENT_COLUMN, "%u", f->size);
  date(f->write_time, when, RECENT_COLUMN);
}

char *recent_list_text(const RecentFiles *list, RecentDateText date) {
  size_t total = 1;
  for (int i = 0; i < list->count; i++) total += strlen(list->items[i].path) + 3 * RECENT_COLUMN;
  char *text = (char *)zone_alloc(total), *end = text;
  *end = 0;
  for (int i = 0; i < list->count; i++) {
    char size[RECENT_COLUMN], when[RECENT_COLUMN];
    recent_columns(&list->items[i], date, size, when);
    const int n = snprintf(end, total - (end - text), "%s\t%s\t%s\n", list->items[i].path, size, when);
    if (n > 0) end += n;
  }
  return text;
}

bool recent_refresh(RecentFiles *list, const RecentLookup *lookup) {
  bool changed = false;
  for (int i = 0; i < list->count; i++) {
    RecentFile &f = list->items[i];
    uint64_t time = 0;
    uint32_t size = 0;
    const uint8_t exists = lookup->look(lookup->context, f.path, &time, &size) ? 1 : 0;
    if (exists == f.exists && time == f.write_time && size == f.size) continue;
    f.exists = exists;
    f.write_time = time;
    f.size = size;
    changed = true;
  }
  return changed;
}
