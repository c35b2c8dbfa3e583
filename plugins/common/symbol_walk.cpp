#include "plugins/common/symbol_walk.h"

#include "plugins/common/leaf_read.h"

size_t symbol_record_next(const ByteCursor *bytes, size_t start, size_t length,
                          const SymbolLayout *layout) {
  size_t next = start + length;
  // The name behind a reference is padded: (length / 4) * 4 + 4 bytes.
  if (layout && layout->action == SYMBOL_REFERENCE && next < bytes->size)
    next += (size_t)(bytes->data[next] / 4) * 4 + 4;
  return next;
}

const SymbolLayout *symbol_run_next(SymbolRun *run, ByteCursor *record) {
  ByteCursor c = run->bytes;
  while (cursor_seek(&c, run->next) && c.size - c.offset >= run->least_left) {
    size_t start = c.offset;
    size_t length = 2 + (size_t)cursor_u16(&c);
    uint16_t kind = cursor_u16(&c);
    const SymbolLayout *layout = find_row(run->layouts, *run->index, kind);
    run->next = symbol_record_next(&run->bytes, start, length, layout);
    if (!layout) continue;
    *record = cursor_window(&run->bytes, start, length);
    if (record->ok) return layout;
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
