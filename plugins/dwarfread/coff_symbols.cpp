// The COFF symbol table of an image: its functions and globals as entries, named as the
// source wrote them (the C compilers' leading underscore removed, C++ names unmangled).
// They are defined before the DWARF units, so that a unit's richer definition at the same
// address takes the place of the plain one.
#include <string.h>

#include "plugins/dwarfread/dwarf_state.h"
#include "symbols/demangle_itanium.h"

namespace {

enum { kStorageExternal = 2, kStorageStatic = 3 };

}  // namespace

void dwarf_define_coff_symbols(DwarfState *state) {
  const PeImage *image = &state->image;
  PeSymbol symbol;
  for (uint32_t i = 0; i < image->header.symbol_count && pe_read_symbol(image, i, &symbol);
       i += 1u + symbol.aux_count) {
    bool kept = symbol.storage == kStorageExternal || symbol.storage == kStorageStatic;
    // Section symbols carry the section's own name, starting with a dot.
    if (!kept || symbol.section < 1 || symbol.section > image->section_count ||
        symbol.name[0] == '.' || !symbol.name[0])
      continue;
    uint32_t address = state->api->get_address((uint16_t)symbol.section, symbol.value);
    if (!address) continue;
    const char *name = symbol.name[0] == '_' && symbol.name[1] ? symbol.name + 1 : symbol.name;
    char source[DWARF_NAME_SIZE];
    if (demangle_itanium(symbol.name, source, sizeof source)) name = source;
    state->api->define_entry(name, address, nullptr, nullptr);
    state->counts.coff_symbols++;
  }
}
