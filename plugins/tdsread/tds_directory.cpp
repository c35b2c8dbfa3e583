// The subsection directory: WORD header size, WORD entry size, DWORD entry count, then the
// entries (WORD kind, WORD module, DWORD offset from the data's start, DWORD size). They
// are visited from the last to the first: the name table, which comes last, is known
// before the subsections that use it, and each module's line subsection is read before
// its symbol subsection.
#include "plugins/common/subsection_directory.h"
#include "plugins/tdsread/tds_state.h"

namespace {

enum : uint16_t {
#define TDS_SUBSECTION(name, kind) name = kind,
#include "plugins/tdsread/tds_kinds.def"
#undef TDS_SUBSECTION
};

void read_subsection(TdsState *state, uint16_t kind, ByteCursor section) {
  if (kind == sstAlignSym) tds_read_symbols(state, section);
  if (kind == sstSrcModule) tds_read_lines(state, section);
  if (kind == sstGlobalTypes) tds_read_types(state, section);
  if (kind == sstNames) tds_read_names(state, section);
}

}  // namespace

uint32_t tds_read_directory(TdsState *state, ByteCursor data) {
  const DebugApi *api = state->api;
  SubsectionDirectory directory;
  if (!directory_open(data, &directory) || !directory.count || !directory_fits(&directory)) {
    api->printf("No Borland debug information: the subsection directory is empty or lies "
                "outside the file\n");
    return 0;
  }
  state->walk.current_source = nullptr;
  uint32_t read = 0;
  Subsection entry;
  for (uint32_t i = directory.count; i-- > 0;) {
    if (!load_progress(api, &state->cancelled, directory.count - 1 - i, directory.count)) break;
    directory_entry(&directory, i, &entry);
    if (!entry.bytes.ok) {
      api->printf("Borland subsection %04X of module %u lies outside the file\n", entry.kind,
                  entry.module);
      continue;
    }
    read_subsection(state, entry.kind, entry.bytes);
    read++;
  }
  if (!read) api->printf("No Borland debug information: no subsection lies inside the file\n");
  state->counts.subsections = read;
  return read;
}
