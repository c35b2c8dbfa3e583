#include "plugins/common/symbol_walk.h"

#include "plugins/common/leaf_read.h"

const SymbolLayout *symbol_run_next(SymbolRun *run, ByteCursor *record) {
  const ByteCursor *bytes = &run->bytes;
  // Every record of a run passes here: its length and kind are read without a cursor, as
  // least_left leaves room for both.
  while (bytes->ok && run->next <= bytes->size && bytes->size - run->next >= run->least_left) {
    size_t start = run->next;
    const uint8_t *p = bytes->data + start;
    size_t length = 2 + (size_t)(p[0] | p[1] << 8);
    const SymbolLayout *layout = find_row(run->layouts, *run->index, (uint16_t)(p[2] | p[3] << 8));
    run->next = symbol_record_next(bytes, start, length, layout);
    if (!layout) continue;
    // A record that overruns the run ends it.
    if (length > bytes->size - start) return nullptr;
    *record = ByteCursor{p, length, 0, true};
    return layout;
  }
  return nullptr;
}

uint32_t symbol_address(const SymbolWalk *walk, const SymbolLayout *layout,
                        const ByteCursor *record) {
  if (!layout->segment_at) return 0;
  return walk->api->get_address((uint16_t)record_field(record, layout->segment_at, 2),
                                record_field(record, layout->offset_at, 4));
}

uint32_t symbol_define(SymbolWalk *walk, const SymbolLayout *layout, const ByteCursor *record,
                       const char *name, DebugType type) {
  const DebugApi *api = walk->api;
  DefinitionCounts *counts = walk->counts;
  uint32_t address = symbol_address(walk, layout, record);
  switch (layout->action) {
    case SYMBOL_LOCAL:
      if (!walk->current_frame) return 0;
      api->define_member(walk->current_frame, name, (int)record_field(record, layout->offset_at, 4),
                         type);
      counts->locals++;
      return 0;
    case SYMBOL_DATA:
    case SYMBOL_PUBLIC:
      if (!address && walk->unplaced_dropped) return 0;
      api->define_entry(name, address, type, walk->current_source);
      if (layout->action == SYMBOL_PUBLIC)
        counts->publics++;
      else
        counts->data++;
      return address;
    case SYMBOL_PROCEDURE: {
      uint32_t start = record_field(record, layout->start_at, 4);
      uint32_t end = record_field(record, layout->end_at, 4);
      walk->current_frame = api->define_frame(name, type, address + start, address + end);
      api->define_entry(name, address, walk->current_frame, walk->current_source);
      counts->procedures++;
      return address;
    }
    case SYMBOL_THUNK:
      api->define_entry(name, address, nullptr, nullptr);
      counts->thunks++;
      return address;
    case SYMBOL_OBJECT:
    case SYMBOL_REFERENCE:
      return 0;
  }
  return 0;
}
