// Range lists and location lists: in .debug_ranges and .debug_loc before DWARF 5 (pairs
// of addresses, a base selection, locations with a 2-byte expression length), in
// .debug_rnglists and .debug_loclists since (entry kinds, with addresses given directly
// or by index into .debug_addr).
#pragma once
#include "plugins/dwarfread/dwarf_state.h"

// How a DWARF 5 list entry is laid out: its start, its end (or length), whether it sets
// the base and whether an expression follows. Range and location lists share the kinds
// but for the location lists' default entry, kind 5, which shifts the later ones.
enum ListStart { LIST_END, LIST_BASE_INDEX, LIST_INDEXES, LIST_INDEX_LENGTH, LIST_OFFSETS,
                 LIST_DEFAULT, LIST_BASE, LIST_ADDRESSES, LIST_ADDRESS_LENGTH };

struct DwarfListEntry {
  uint64_t start, end;
  ByteCursor expression;
};

// Reads the next bounded entry of a list at c into entry, updating base; false at the
// end of the list or where it is damaged.
bool dwarf_next_list_entry(DwarfState *state, ByteCursor *c, bool locations, uint64_t *base,
                           DwarfListEntry *entry);
// Where the list that value names starts; false when it lies outside its section.
bool dwarf_list_start(DwarfState *state, const DwarfValue *value, bool locations,
                      ByteCursor *c);

// Calls visit(start, end, expression) for each bounded entry of the range list
// (locations false) or location list (locations true) that value names; unit_base is the
// unit's base address. Ranges carry an empty expression.
template <class Visit>
void dwarf_walk_list(DwarfState *state, const DwarfValue *value, bool locations,
                     uint64_t unit_base, Visit visit) {
  ByteCursor c;
  if (!dwarf_list_start(state, value, locations, &c)) return;
  uint64_t base = unit_base;
  DwarfListEntry entry;
  while (dwarf_next_list_entry(state, &c, locations, &base, &entry))
    visit(entry.start, entry.end, entry.expression);
}
