// Symbol records: procedures become frames and entries, their stack-relative locals the
// frame's members; data, publics and thunks become entries.
#include "plugins/common/leaf_read.h"
#include "plugins/cvread/cv_state.h"

namespace {

enum SymbolAction {
  SYMBOL_OBJECT,     // read for its name only
  SYMBOL_LOCAL,      // a member of the current frame
  SYMBOL_DATA,       // an entry, when its address is in the module
  SYMBOL_PUBLIC,     // the same, counted apart
  SYMBOL_PROCEDURE,  // a frame and an entry; the frame becomes current
  SYMBOL_THUNK,      // an entry without type or source
  SYMBOL_REFERENCE,  // followed by a length-prefixed name outside its length
};

struct SymbolLayout {
  uint16_t kind;
  SymbolAction action;
  uint8_t type_at, type_width, offset_at, segment_at, name_at, start_at, end_at;
};

const SymbolLayout kSymbols[] = {
#define CV_SYMBOL(name, kind, action, type_at, type_width, offset_at, segment_at, name_at, \
                  start_at, end_at)                                                        \
  {kind, action, type_at, type_width, offset_at, segment_at, name_at, start_at, end_at},
#include "plugins/cvread/cv_kinds.def"
#undef CV_SYMBOL
};

const SymbolLayout *symbol_layout(uint16_t kind) {
  for (const SymbolLayout &row : kSymbols)
    if (row.kind == kind) return &row;
  return nullptr;
}

uint32_t field(const ByteCursor *record, size_t at, int width) {
  ByteCursor c = *record;
  cursor_seek(&c, at);
  return width == 4 ? cursor_u32(&c) : width == 2 ? cursor_u16(&c) : cursor_u8(&c);
}

void read_symbol(CvState *state, const SymbolLayout *layout, const ByteCursor *record) {
  const DebugApi *api = state->api;
  char name[LEAF_NAME_SIZE];
  ByteCursor c = *record;
  cursor_seek(&c, layout->name_at);
  leaf_name(&c, name, true);
  if (!c.ok) return;
  DebugType type = layout->type_width
                       ? cv_resolve_type(state, field(record, layout->type_at, layout->type_width))
                       : nullptr;
  uint32_t offset = field(record, layout->offset_at, 4);
  uint32_t address = layout->segment_at
                         ? api->get_address((uint16_t)field(record, layout->segment_at, 2), offset)
                         : 0;
  switch (layout->action) {
    case SYMBOL_LOCAL:
      if (!state->current_frame) return;
      api->define_member(state->current_frame, name, (int)offset, type);
      state->counts.locals++;
      return;
    case SYMBOL_DATA:
    case SYMBOL_PUBLIC:
      if (!address) return;
      api->define_entry(name, address, type, state->current_source);
      if (layout->action == SYMBOL_PUBLIC)
        state->counts.publics++;
      else
        state->counts.data++;
      return;
    case SYMBOL_PROCEDURE: {
      uint32_t start = field(record, layout->start_at, 4);
      uint32_t end = field(record, layout->end_at, 4);
      state->current_frame = api->define_frame(name, type, address + start, address + end);
      api->define_entry(name, address, state->current_frame, state->current_source);
      state->counts.procedures++;
      return;
    }
    case SYMBOL_THUNK:
      api->define_entry(name, address, nullptr, nullptr);
      state->counts.thunks++;
      return;
    case SYMBOL_OBJECT:
    case SYMBOL_REFERENCE:
      return;
  }
}

}  // namespace

void cv_read_symbols(CvState *state, ByteCursor run) {
  state->current_frame = nullptr;
  ByteCursor c = run;
  while (c.ok && c.size - c.offset >= 4) {
    size_t start = c.offset;
    size_t length = 2 + (size_t)cursor_u16(&c);
    uint16_t kind = cursor_u16(&c);
    ByteCursor record = cursor_window(&run, start, length);
    const SymbolLayout *layout = symbol_layout(kind);
    if (layout && record.ok) read_symbol(state, layout, &record);
    size_t next = start + length;
    if (layout && layout->action == SYMBOL_REFERENCE && next < run.size)
      next += (size_t)(run.data[next] / 4) * 4 + 4;
    cursor_seek(&c, next);
  }
}
