// Symbol records: names stand in the record, type indexes may name a type server, and
// data and publics outside the module's sections are not defined. The newer kinds place
// a local in two records, its name and type first and then the range that says where it
// lies; only places relative to the frame pointer (EBP) make it a member of the frame.
#include <string.h>

#include <algorithm>

#include "plugins/common/leaf_read.h"
#include "plugins/common/symbol_walk.h"
#include "plugins/cvread/cv_state.h"
#include "symbols/demangle_itanium.h"
#include "symbols/undecorate_msvc.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

constexpr SymbolLayout kSymbols[] = {
#define CV_SYMBOL(name, kind, action, type_at, type_width, offset_at, segment_at, name_at, \
                  start_at, end_at)                                                        \
  {kind, action, type_at, type_width, offset_at, segment_at, name_at, start_at, end_at},
#include "plugins/cvread/cv_kinds.def"
#undef CV_SYMBOL
};
constexpr LeafIndex kSymbolIndex = leaf_index(kSymbols, &SymbolLayout::kind);

// Kinds from here on end their names with a NUL.
const uint16_t kFirstTextKind = 0x1100;
const uint16_t kLocal = 0x113E, kFrameProc = 0x1012, kRegisterRelative = 0x1111,
               kRangeRegisterRelative = 0x1145, kBlock = 0x1103, kThunk = 0x1102, kEnd = 0x0006,
               kIdEnd = 0x114F;
const uint16_t kTypedefs[] = {0x0004, 0x1003, 0x1108};
bool is_typedef(uint16_t kind) {
  for (uint16_t k : kTypedefs)
    if (k == kind) return true;
  return false;
}
// Procedures whose type index names an id record.
const uint16_t kLocalProcedureId = 0x1146, kGlobalProcedureId = 0x1147;
// Where the register of the register-relative kinds lies, and the frame pointer's number.
const size_t kRegisterAt = 12, kRangeRegisterAt = 4;
const uint16_t kEbp = 22;
// S_FRAMEPROC's flags: bits 14 and 15 say which register the locals are relative to.
const size_t kFrameFlagsAt = 26;
const uint32_t kLocalBaseEbp = 2;

// A procedure's locals already defined, by name and place: optimised code describes a
// local twice, by its ranges and by a BP-relative record. Up to this many are compared.
enum { SEEN_LOCALS = 64 };

// What the records of a procedure said so far about its locals, and how deep in
// procedures and blocks the run is.
struct LocalState {
  uint32_t depth;
  uint32_t seen_count;
  uint32_t seen[SEEN_LOCALS];  // name hash plus place
  bool frame_on_ebp;
  bool pending;  // an S_LOCAL waits for its range
  char name[LEAF_NAME_SIZE];
  DebugType type;
};

// False for a local of the same name and place as one before it in the procedure.
bool first_sight(LocalState *locals, const ByteCursor *record, const SymbolLayout *layout,
                 const char *name) {
  uint32_t key = record_field(record, layout->offset_at, 4);
  for (const char *p = name; *p; p++) key = key * 31 + (uint8_t)*p;
  for (uint32_t i = 0; i < locals->seen_count; i++)
    if (locals->seen[i] == key) return false;
  if (locals->seen_count < SEEN_LOCALS) locals->seen[locals->seen_count++] = key;
  return true;
}

// True when the record is defined as its layout says; false for the records a local's
// place rules out, and for those that only set state.
bool local_rules(LocalState *locals, const SymbolLayout *layout, const ByteCursor *record,
                 const char *name, DebugType type) {
  switch (layout->kind) {
    case kBlock:
    case kThunk:
      locals->depth++;
      return layout->kind == kThunk;
    case kEnd:
    case kIdEnd:
      if (locals->depth) locals->depth--;
      return false;
    case kLocal:
      locals->pending = true;
      text_copy(locals->name, LEAF_NAME_SIZE, name);
      locals->type = type;
      return false;
    case kFrameProc:
      locals->frame_on_ebp = (record_field(record, kFrameFlagsAt, 4) >> 14 & 3) == kLocalBaseEbp;
      return false;
    case kRegisterRelative:
      if (record_field(record, kRegisterAt, 2) != kEbp) return false;
      break;
    case kRangeRegisterRelative:
      if (record_field(record, kRangeRegisterAt, 2) != kEbp) return false;
      break;
  }
  if (layout->action == SYMBOL_PROCEDURE) {
    locals->depth++;
    locals->frame_on_ebp = true;
    locals->pending = false;
    locals->seen_count = 0;
  }
  return layout->action != SYMBOL_LOCAL || first_sight(locals, record, layout, name);
}

// Without memory for the list the value is left out, and false.
bool list_add(WordList *list, uint32_t value) {
  if (list->count == list->room) {
    uint32_t room = list->count * 2 + 256;
    uint32_t *grown = (uint32_t *)zone_resize(list->items, room * sizeof value);
    if (!grown) return false;
    list->items = grown;
    list->room = room;
  }
  list->items[list->count++] = value;
  return true;
}

void read_record(CvState *state, const SymbolLayout *layout, const ByteCursor *record,
                 LocalState *locals, bool globals_copied) {
  char buffer[LEAF_NAME_SIZE];
  const char *name = "";
  ByteCursor c = *record;
  if (layout->name_at) {
    cursor_seek(&c, layout->name_at);
    name = leaf_any_name(&c, layout->kind >= kFirstTextKind, buffer, true);
    if (!c.ok) return;
  }
  // Publics carry the linker's decorated names (clang's for mingw targets are mangled as gcc
  // mangles them), and some procedures the compiler's: entries take the names a user reads.
  char plain[LEAF_NAME_SIZE];
  bool decorated =
      layout->action == SYMBOL_PUBLIC || (layout->action == SYMBOL_PROCEDURE && name[0] == '?');
  if (decorated && (demangle_itanium_name(name, plain, sizeof plain) ||
                    undecorate_msvc(name, UNDECORATE_NAME, plain, sizeof plain)))
    name = plain;
  uint32_t index;
  bool typed = symbol_type_index(layout, record, &index);
  bool by_id = layout->kind == kLocalProcedureId || layout->kind == kGlobalProcedureId;
  DebugType type = !typed ? nullptr
                   : by_id ? cv_resolve_id(state, index, &name, buffer)
                           : cv_resolve_type(state, index);
  // A range defines the local that waits for it, under its name and type.
  bool range = layout->action == SYMBOL_LOCAL && !layout->name_at;
  if (range) {
    // The first range relative to the frame pointer places the local.
    if (!locals->pending || (layout->kind != kRangeRegisterRelative && !locals->frame_on_ebp))
      return;
    name = locals->name;
    type = locals->type;
  }
  // Typedefs stand in the global symbols too.
  bool typedef_kind = layout->action == SYMBOL_OBJECT && is_typedef(layout->kind);
  if (globals_copied && !locals->depth && (layout->action == SYMBOL_DATA || typedef_kind)) return;
  if (typedef_kind) return cv_define_typedef(state, index, name);
  bool defined = local_rules(locals, layout, record, name, type);
  if (range && (defined || layout->kind != kRangeRegisterRelative)) locals->pending = false;
  if (!defined) return;
  uint32_t address = symbol_define(&state->walk, layout, record, name, type);
  if (address && state->holding_publics) list_add(&state->taken, address);
}

}  // namespace

void cv_read_symbols(CvState *state, ByteCursor run, bool globals_copied) {
  SymbolRun records = symbol_run(&state->walk, kSymbols, &kSymbolIndex, run, 0, 4);
  LocalState locals = {};
  locals.frame_on_ebp = true;
  ByteCursor record;
  uint32_t seen = 0;
  while (const SymbolLayout *layout = symbol_run_next(&records, &record)) {
    if (++seen % CV_PROGRESS_EVERY == 0 && !cv_progress(state, records.next, run.size)) return;
    // A public that cannot be held is defined in place.
    if (layout->action == SYMBOL_PUBLIC && state->holding_publics &&
        list_add(&state->held, (uint32_t)(record.data - run.data)))
      continue;
    read_record(state, layout, &record, &locals, globals_copied);
  }
}

void cv_read_publics(CvState *state, ByteCursor run) {
  state->holding_publics = false;
  if (state->cancelled) return;
  std::sort(state->taken.items, state->taken.items + state->taken.count);
  SymbolRun records = symbol_run(&state->walk, kSymbols, &kSymbolIndex, run, 0, 4);
  state->walk.current_source = nullptr;
  LocalState locals = {};
  ByteCursor record;
  for (uint32_t i = 0; i < state->held.count; i++) {
    records.next = state->held.items[i];
    const SymbolLayout *layout = symbol_run_next(&records, &record);
    if (!layout) continue;
    uint32_t address = symbol_address(&state->walk, layout, &record);
    if (std::binary_search(state->taken.items, state->taken.items + state->taken.count, address))
      state->counts.covered++;
    else
      read_record(state, layout, &record, &locals, false);
  }
}
