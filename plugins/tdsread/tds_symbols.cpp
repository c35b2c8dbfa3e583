// Symbol records: names come from the name table, entry names with at-signs for percent
// signs, and a procedure whose name is taken already goes by the second name it carries.
#include "plugins/common/symbol_walk.h"
#include "plugins/tdsread/tds_state.h"
#include "util/path.h"

namespace {

constexpr SymbolLayout kSymbols[] = {
#define TDS_SYMBOL(name, kind, action, type_at, offset_at, segment_at, name_at, start_at, end_at) \
  {kind, action, type_at, (uint8_t)(type_at ? 4 : 0), offset_at, segment_at, name_at, start_at,  \
   end_at},
#include "plugins/tdsread/tds_kinds.def"
#undef TDS_SYMBOL
};
constexpr LeafIndex kSymbolIndex = leaf_index(kSymbols, &SymbolLayout::kind);

// The name a procedure goes by when its own is taken already.
const size_t kSecondNameAt = 48;

// Records without the second name keep their own.
void rename_procedure(TdsState *state, const ByteCursor *record, char name[LEAF_NAME_SIZE]) {
  if (!state->api->find_entry(name)) return;
  char second[LEAF_NAME_SIZE];
  if (!leaf_name_at(record, kSecondNameAt, second, false) || !second[0]) return;
  tds_at_signs(second);
  text_copy(name, LEAF_NAME_SIZE, second);
  state->counts.renamed++;
}

}  // namespace

void tds_read_symbols(TdsState *state, ByteCursor section) {
  // The records follow the subsection's signature DWORD.
  SymbolRun records = symbol_run(&state->walk, kSymbols, &kSymbolIndex, section, 4, 5);
  ByteCursor record;
  while (const SymbolLayout *layout = symbol_run_next(&records, &record)) {
    char name[LEAF_NAME_SIZE];
    // Locals are frame members: their names stay as written.
    tds_name(state, record_field(&record, layout->name_at, 4), name,
             layout->action != SYMBOL_LOCAL);
    if (layout->action == SYMBOL_PROCEDURE) rename_procedure(state, &record, name);
    uint32_t index;
    symbol_define(&state->walk, layout, &record, name,
                  symbol_type_index(layout, &record, &index) ? type_map_resolve(&state->map, index)
                                                             : nullptr);
  }
}
