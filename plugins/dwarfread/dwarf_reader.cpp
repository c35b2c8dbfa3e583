// The entry of the DWARF reader: the image's sections, then unit after unit; a damaged
// unit is logged and passed over when the next one can still be found.
#include "plugins/dwarfread/dwarf_reader.h"

#include <string.h>

#include "plugins/dwarfread/dwarf_kinds.h"
#include "util/zone.h"

const char dwarf_reader_title[] = "DWARF 2-5 and COFF symbol loader for mingw-w64 programs";

namespace {

struct SectionName {
  const char *name;
  ByteCursor DwarfSections::*field;
};
const SectionName kSections[] = {
    {".debug_info", &DwarfSections::info},
    {".debug_abbrev", &DwarfSections::abbrev},
    {".debug_str", &DwarfSections::str},
    {".debug_line_str", &DwarfSections::line_str},
    {".debug_str_offsets", &DwarfSections::str_offsets},
    {".debug_addr", &DwarfSections::addr},
    {".debug_ranges", &DwarfSections::ranges},
    {".debug_rnglists", &DwarfSections::rnglists},
    {".debug_loc", &DwarfSections::loc},
    {".debug_loclists", &DwarfSections::loclists},
    {".debug_line", &DwarfSections::line},
};

const PeSectionHeader *section_of(const PeImage *image, uint64_t address, uint32_t *rva) {
  uint64_t base = image->optional.image_base;
  if (address < base || address - base > 0xffffffffu) return nullptr;
  *rva = (uint32_t)(address - base);
  for (int i = 0; i < image->section_count; i++) {
    const PeSectionHeader &s = image->sections[i];
    uint32_t size = s.virtual_size ? s.virtual_size : s.raw_size;
    if (*rva >= s.rva && *rva - s.rva < size) return &s;
  }
  return nullptr;
}

// The unit's own entry first: the bases of its string, address and range tables and its
// folder, then its line program, so that its entries find their sources.
void read_unit(DwarfState *state) {
  DwarfUnit *unit = &state->unit;
  DwarfDie root;
  if (!dwarf_die_at(state, unit->dies, &root) || !root.abbrev) {
    state->api->printf("DWARF: damaged unit at %08X\n", (unsigned)unit->start);
    state->counts.damaged++;
    return;
  }
  struct Base {
    uint16_t attribute;
    uint64_t DwarfUnit::*field;
  };
  static const Base kBases[] = {{AT_str_offsets_base, &DwarfUnit::str_offsets_base},
                                {AT_addr_base, &DwarfUnit::addr_base},
                                {AT_rnglists_base, &DwarfUnit::rnglists_base},
                                {AT_loclists_base, &DwarfUnit::loclists_base}};
  for (const Base &b : kBases)
    if (const DwarfValue *v = dwarf_attribute(&root, b.attribute)) unit->*b.field = v->number;
  state->comp_dir = dwarf_die_text(state, &root, AT_comp_dir);
  const DwarfValue *lines = dwarf_attribute(&root, AT_stmt_list);
  if (lines) dwarf_read_lines(state, lines->number);
  if (root.abbrev->tag == TAG_compile_unit || root.abbrev->tag == TAG_partial_unit)
    dwarf_walk_unit(state);
  dwarf_free_sources(state);
  dwarf_free_scopes(state);
  // Types are kept by their offset in .debug_info, which is unique across units.
}

}  // namespace

uint32_t dwarf_address(const DwarfState *state, uint64_t address) {
  uint32_t rva = 0;
  const PeSectionHeader *s = section_of(&state->image, address, &rva);
  return s ? state->api->get_address((uint16_t)(s - state->image.sections + 1), rva - s->rva) : 0;
}

ByteCursor dwarf_code(const DwarfState *state, uint64_t address, size_t length) {
  uint32_t rva = 0;
  if (!section_of(&state->image, address, &rva)) return ByteCursor{nullptr, 0, 0, false};
  return pe_rva_window(&state->image, rva, (uint32_t)length);
}

LoadStatus dwarf_load(const DebugApi *api, const uint8_t *file, size_t size,
                      DwarfCounts *counts) {
  DwarfState *state = (DwarfState *)zone_alloc(sizeof(DwarfState));
  if (!state) return load_refuse(api, LOAD_NO_MEMORY, nullptr);
  memset(state, 0, sizeof *state);
  state->api = api;
  bool ok = pe_read_image(file, size, &state->image);
  for (const SectionName &n : kSections) {
    const PeSectionHeader *s = ok ? pe_find_section(&state->image, n.name) : nullptr;
    state->sections.*n.field = s ? pe_section_bytes(&state->image, s)
                                 : ByteCursor{nullptr, 0, 0, false};
  }
  if (ok) dwarf_define_coff_symbols(state);
  bool dwarf = ok && state->sections.info.ok && state->sections.abbrev.ok;
  if (dwarf) api->printf("DWARF debug information found\n");
  if (ok && !dwarf && (pe_find_section(&state->image, ".debug_info") ||
                       pe_find_section(&state->image, ".debug_abbrev")))
    api->printf("DWARF: .debug_info or .debug_abbrev lies outside the file\n");
  for (uint64_t at = 0, next = 0; dwarf && at < state->sections.info.size; at = next) {
    if (!load_progress(api, &state->cancelled, (uint32_t)at, (uint32_t)state->sections.info.size))
      break;
    if (!dwarf_read_unit(&state->sections, at, &state->unit, &next)) {
      api->printf("DWARF: damaged unit at %08X\n", (unsigned)at);
      state->counts.damaged++;
      dwarf_free_abbrevs(&state->unit.abbrevs);
      if (next <= at) break;
      continue;
    }
    state->counts.units++;
    read_unit(state);
    dwarf_free_abbrevs(&state->unit.abbrevs);
  }
  LoadStatus status = LOAD_OK;
  if (!ok) status = load_refuse(api, LOAD_BAD_SIGNATURE, "not a PE image");
  else if (state->cancelled) status = load_refuse(api, LOAD_CANCELLED, nullptr);
  else if (!dwarf && !state->counts.coff_symbols)
    status = load_refuse(api, LOAD_NOT_FOUND, "no DWARF sections and no COFF symbols in the image");
  if (counts) *counts = state->counts;
  dwarf_free_types(state);
  zone_free(state);
  return status;
}

LoadStatus dwarf_seek(const DebugApi *api, const char *image_path, DwarfCounts *counts) {
  size_t size = 0;
  const uint8_t *root = api->map_file(image_path, &size);
  if (!root) return load_refuse(api, LOAD_NOT_FOUND, "cannot open '%s'", image_path);
  LoadStatus status = dwarf_load(api, root, size, counts);
  api->unmap_file(root);
  return status;
}
