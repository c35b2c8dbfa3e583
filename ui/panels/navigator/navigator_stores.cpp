// Rows of the symbol and module pages from the entry, module and source stores.
#include "ui/panels/navigator/navigator_stores.h"

#include <stdio.h>
#include <string.h>

#include "symbols/entries.h"
#include "symbols/modules.h"
#include "symbols/sources.h"
#include "ui/panels/navigator/navigator_tables.h"

void symbol_local_range(uint32_t code_position, uint32_t *low, uint32_t *high) {
  *low = 0;
  *high = 0xFFFFFFFFu;
  if (const SourceRecord *source = source_of_address(code_position)) {
    *low = source->low;
    *high = source->high;
  } else if (const ModuleRecord *module = module_by_address(code_position)) {
    *low = module->base;
    *high = module->end;
  }
}

bool symbol_rows_fill(NavRowSet *rows, int filter, uint32_t code_position) {
  nav_rows_empty(rows);
  uint32_t low, high;
  symbol_local_range(code_position, &low, &high);
  for (int id = -1; tab_prev_used(&g_entries.table, &id);) {
    const EntryRecord *entry = *(EntryRecord **)tab_slot(&g_entries.table, id);
    if (!entry->name[0]) continue;
    if (filter == SYMBOLS_GLOBAL && entry->source) continue;
    if (filter == SYMBOLS_LOCAL &&
        (!entry->source || entry->address < low || entry->address >= high))
      continue;
    const int row = nav_rows_add(rows);
    if (row < 0 || !nav_rows_set_text(rows, row, 0, entry->name)) return false;
    rows->rows[row].number[1] = rows->rows[row].data = entry->address;
  }
  const NavListTable &table = nav_list_tables[NAV_SYMBOL];
  nav_rows_sort(rows, table.methods, table.method_count, 1);
  return true;
}

static const char *without_folder(const char *path) {
  const char *name = path;
  for (const char *p = path; *p; p++)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  return name;
}

// The texts and numbers of a module or source row.
static bool add_row(NavRowSet *rows, const char *name, const char *path, uint32_t base,
                    uint32_t size, const char *comment, int image) {
  const int row = nav_rows_add(rows);
  if (row < 0) return false;
  char number[16];
  NavRow &r = rows->rows[row];
  r.number[1] = r.data = base;
  r.number[2] = size;
  r.number[MODULE_IMAGE] = (uint32_t)image;
  r.image = image;
  snprintf(number, sizeof number, "%X", base);
  bool ok = nav_rows_set_text(rows, row, 1, number);
  snprintf(number, sizeof number, "%X", size);
  return ok && nav_rows_set_text(rows, row, 2, number) &&
         nav_rows_set_text(rows, row, 0, without_folder(name)) &&
         nav_rows_set_text(rows, row, 3, comment) &&
         nav_rows_set_text(rows, row, MODULE_PATH, path && path[0] ? path : name);
}

bool module_rows_fill(NavRowSet *rows) {
  nav_rows_empty(rows);
  char comment[32];
  for (const ModuleRecord *m = module_next(nullptr); m; m = module_next(m)) {
    snprintf(comment, sizeof comment, "%i Locks", (int)m->usage);
    if (!add_row(rows, m->name ? m->name : "", m->path, m->base, module_size(m), comment,
                 MODULE_IMAGE_MODULE))
      return false;
  }
  for (int id = -1; tab_prev_used(&g_sources.table, &id);) {
    const SourceRecord *s = *(SourceRecord **)tab_slot(&g_sources.table, id);
    snprintf(comment, sizeof comment, "%i Lines", s->line_count);
    const char *path = source_path(s);
    if (!add_row(rows, s->given_name ? s->given_name : "", path, s->low, s->high - s->low,
                 comment, path ? MODULE_IMAGE_SOURCE_FILE : MODULE_IMAGE_SOURCE))
      return false;
  }
  return true;
}
