// The navigator's rows taken from the symbol stores: the symbol page's names and the
// module page's modules and sources.
#pragma once
#include <stdint.h>

#include "ui/panels/navigator/navigator_rows.h"

enum SymbolFilter { SYMBOLS_ALL, SYMBOLS_GLOBAL, SYMBOLS_LOCAL, SYMBOL_FILTERS };

// Module page images: a source without a file on disk, one with a file, a module.
enum { MODULE_IMAGE_SOURCE, MODULE_IMAGE_SOURCE_FILE, MODULE_IMAGE_MODULE };

// One row per named entry that passes the filter: field 0 the name, number 1 and data the
// address, sorted by name. Local entries are those with a source inside the range of the
// source at code_position, else of its module, else anywhere. False without memory.
bool symbol_rows_fill(NavRowSet *rows, int filter, uint32_t code_position);
// The address range the local filter keeps at code_position.
void symbol_local_range(uint32_t code_position, uint32_t *low, uint32_t *high);
// One row per module, then one per source: name without its folder, base, size, comment
// ("%i Locks", "%i Lines"), the path (or name) and the image; data is the base.
bool module_rows_fill(NavRowSet *rows);
