// Symbol records: names stand in the record, type indexes may name a type server, and
// data and publics outside the module's sections are not defined.
#include "plugins/common/leaf_read.h"
#include "plugins/common/symbol_walk.h"
#include "plugins/cvread/cv_state.h"

namespace {

const SymbolLayout kSymbols[] = {
#define CV_SYMBOL(name, kind, action, type_at, type_width, offset_at, segment_at, name_at, \
                  start_at, end_at)                                                        \
  {kind, action, type_at, type_width, offset_at, segment_at, name_at, start_at, end_at},
#include "plugins/cvread/cv_kinds.def"
#undef CV_SYMBOL
};

}  // namespace

void cv_read_symbols(CvState *state, ByteCursor run) {
  SymbolRun records = symbol_run(&state->walk, kSymbols, run, 0, 4);
  ByteCursor record;
  while (const SymbolLayout *layout = symbol_run_next(&records, &record)) {
    char name[LEAF_NAME_SIZE];
    if (!leaf_name_at(&record, layout->name_at, name, true)) continue;
    uint32_t index;
    DebugType type =
        symbol_type_index(layout, &record, &index) ? cv_resolve_type(state, index) : nullptr;
    symbol_define(&state->walk, layout, &record, name, type);
  }
}
