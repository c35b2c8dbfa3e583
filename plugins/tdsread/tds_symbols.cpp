// Symbol records: procedures become frames and entries, their stack-relative locals the
// frame's members; data, publics and thunks become entries. Names come from the name
// table, entry names with at-signs for percent signs.
#include "plugins/tdsread/tds_state.h"
#include "util/path.h"

namespace {

enum SymbolAction {
  SYMBOL_OBJECT,     // read for its name only
  SYMBOL_LOCAL,      // a member of the current frame
  SYMBOL_DATA,       // an entry
  SYMBOL_PUBLIC,     // the same, counted apart
  SYMBOL_PROCEDURE,  // a frame and an entry; the frame becomes current
  SYMBOL_THUNK,      // an entry without type or source
  SYMBOL_REFERENCE,  // followed by a length-prefixed name outside its length
};

struct SymbolLayout {
  uint16_t kind;
  SymbolAction action;
  uint8_t offset_at, segment_at, type_at, name_at;
};

const SymbolLayout kSymbols[] = {
#define TDS_SYMBOL(name, kind, action, offset_at, segment_at, type_at, name_at) \
  {kind, action, offset_at, segment_at, type_at, name_at},
#include "plugins/tdsread/tds_kinds.def"
#undef TDS_SYMBOL
};

// A procedure's debug range, and the name it goes by when its own is taken already.
const size_t kDebugStartAt = 20, kDebugEndAt = 24, kSecondNameAt = 48;

const SymbolLayout *symbol_layout(uint16_t kind) {
  for (const SymbolLayout &row : kSymbols)
    if (row.kind == kind) return &row;
  return nullptr;
}

void read_procedure(TdsState *state, const ByteCursor *record,
                    char name[LEAF_NAME_SIZE], DebugType type, uint32_t address) {
  const DebugApi *api = state->api;
  if (api->find_entry(name)) {
    char second[LEAF_NAME_SIZE];
    ByteCursor c = *record;
    cursor_seek(&c, kSecondNameAt);
    leaf_name(&c, second, false);
    // Records without the second name keep their own.
    if (c.ok && second[0]) {
      tds_at_signs(second);
      text_copy(name, LEAF_NAME_SIZE, second);
      state->counts.renamed++;
    }
  }
  uint32_t start = tds_field(record, kDebugStartAt, 4);
  uint32_t end = tds_field(record, kDebugEndAt, 4);
  state->current_frame = api->define_frame(name, type, address + start, address + end);
  api->define_entry(name, address, state->current_frame, state->current_source);
  state->counts.procedures++;
}

void read_symbol(TdsState *state, const SymbolLayout *layout, const ByteCursor *record) {
  if (layout->action == SYMBOL_OBJECT || layout->action == SYMBOL_REFERENCE) return;
  const DebugApi *api = state->api;
  char name[LEAF_NAME_SIZE];
  // Locals are frame members: their names stay as written.
  tds_name(state, tds_field(record, layout->name_at, 4), name, layout->action != SYMBOL_LOCAL);
  DebugType type =
      layout->type_at ? type_map_resolve(&state->map, tds_field(record, layout->type_at, 4))
                      : nullptr;
  uint32_t offset = tds_field(record, layout->offset_at, 4);
  uint32_t address =
      layout->segment_at
          ? api->get_address((uint16_t)tds_field(record, layout->segment_at, 2), offset)
          : 0;
  switch (layout->action) {
    case SYMBOL_LOCAL:
      if (!state->current_frame) return;
      api->define_member(state->current_frame, name, (int)offset, type);
      state->counts.locals++;
      return;
    case SYMBOL_DATA:
    case SYMBOL_PUBLIC:
      api->define_entry(name, address, type, state->current_source);
      if (layout->action == SYMBOL_PUBLIC)
        state->counts.publics++;
      else
        state->counts.data++;
      return;
    case SYMBOL_PROCEDURE:
      read_procedure(state, record, name, type, address);
      return;
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

void tds_read_symbols(TdsState *state, ByteCursor section) {
  state->current_frame = nullptr;
  // The records follow the subsection's signature DWORD.
  ByteCursor c = section;
  cursor_seek(&c, 4);
  while (c.ok && c.offset + 4 < section.size) {
    size_t start = c.offset;
    size_t length = 2 + (size_t)cursor_u16(&c);
    uint16_t kind = cursor_u16(&c);
    ByteCursor record = cursor_window(&section, start, length);
    const SymbolLayout *layout = symbol_layout(kind);
    if (layout && record.ok) read_symbol(state, layout, &record);
    size_t next = start + length;
    if (layout && layout->action == SYMBOL_REFERENCE && next < section.size)
      next += (size_t)(section.data[next] + 4) / 4 * 4;
    cursor_seek(&c, next);
  }
}
