// Entries of the unit being read, by offset, and the names they are shown by: C++ names
// carry their namespaces and classes in front, as a user writes them.
#include <stdio.h>
#include <string.h>

#include "plugins/dwarfread/dwarf_kinds.h"
#include "plugins/dwarfread/dwarf_state.h"
#include "symbols/demangle_itanium.h"
#include "util/zone.h"

namespace {

// A definition names its declaration, which may name another; no real chain is longer.
const int kMaxOrigins = 4;

// The innermost scope that holds offset, or null.
const DwarfScope *scope_at(const DwarfState *state, uint64_t offset) {
  for (uint32_t i = state->scope_count; i-- > 0;) {
    const DwarfScope &s = state->scopes[i];
    if (s.start < offset && offset < s.end) return &s;
  }
  return nullptr;
}

}  // namespace

bool dwarf_die_at(const DwarfState *state, uint64_t offset, DwarfDie *die) {
  if (offset < state->unit.dies || offset >= state->unit.end) return false;
  ByteCursor c = cursor_window(&state->sections.info, 0, (size_t)state->unit.end);
  return cursor_seek(&c, (size_t)offset) && dwarf_read_die(&c, &state->unit, die);
}

const char *dwarf_die_text(const DwarfState *state, const DwarfDie *die, uint16_t name) {
  return dwarf_text(&state->sections, &state->unit, dwarf_attribute(die, name));
}

bool dwarf_die_number(const DwarfState *state, const DwarfDie *die, uint16_t name,
                      uint64_t *number) {
  return dwarf_number(&state->sections, &state->unit, dwarf_attribute(die, name), number);
}

bool dwarf_named_origin(const DwarfState *state, const DwarfDie *die, DwarfDie *origin) {
  *origin = *die;
  for (int i = 0; i < kMaxOrigins && !dwarf_attribute(origin, AT_name); i++) {
    const DwarfValue *link = dwarf_attribute(origin, AT_specification);
    if (!link) link = dwarf_attribute(origin, AT_abstract_origin);
    uint64_t offset = 0;
    DwarfDie next;
    if (!dwarf_reference(&state->unit, link, &offset) || !dwarf_die_at(state, offset, &next) ||
        !next.abbrev)
      return false;
    *origin = next;
  }
  return dwarf_attribute(origin, AT_name) != nullptr;
}

void dwarf_qualified_name(DwarfState *state, const DwarfDie *die, char name[DWARF_NAME_SIZE]) {
  name[0] = 0;
  DwarfDie origin;
  if (!dwarf_named_origin(state, die, &origin)) {
    // A definition that carries only its linkage name is shown by the unmangled one.
    const char *linkage = dwarf_die_text(state, die, AT_linkage_name);
    if (!linkage) linkage = dwarf_die_text(state, die, AT_MIPS_linkage_name);
    if (linkage) demangle_itanium(linkage, name, DWARF_NAME_SIZE);
    return;
  }
  const char *own = dwarf_die_text(state, &origin, AT_name);
  const DwarfScope *scope = scope_at(state, origin.offset);
  if (scope && state->scope_names[scope->name])
    snprintf(name, DWARF_NAME_SIZE, "%s::%s", state->scope_names + scope->name, own ? own : "");
  else
    snprintf(name, DWARF_NAME_SIZE, "%s", own ? own : "");
}

uint32_t dwarf_open_scope(DwarfState *state, const DwarfDie *die) {
  if (state->scope_count % 64 == 0) {
    void *grown = zone_resize(state->scopes, (state->scope_count + 64) * sizeof(DwarfScope));
    if (!grown) return UINT32_MAX;
    state->scopes = (DwarfScope *)grown;
  }
  char name[DWARF_NAME_SIZE];
  dwarf_qualified_name(state, die, name);
  size_t length = strlen(name) + 1;
  void *names = zone_append(state->scope_names, name, length);
  if (!names) return UINT32_MAX;
  state->scope_names = (char *)names;
  uint32_t at = (uint32_t)(zone_size(names) - length);
  state->scopes[state->scope_count] = DwarfScope{die->offset, UINT64_MAX, at};
  return state->scope_count++;
}

void dwarf_close_scope(DwarfState *state, uint32_t index, uint64_t end) {
  if (index < state->scope_count) state->scopes[index].end = end;
}

void dwarf_free_scopes(DwarfState *state) {
  state->scopes = (DwarfScope *)zone_free(state->scopes);
  state->scope_names = (char *)zone_free(state->scope_names);
  state->scope_count = 0;
}
