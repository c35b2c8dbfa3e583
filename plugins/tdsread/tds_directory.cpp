// The subsection directory: WORD header size, WORD entry size, DWORD entry count, then the
// entries (WORD kind, WORD module, DWORD offset from the data's start, DWORD size). They
// are visited from the last to the first: the name table, which comes last, is known
// before the subsections that use it, and each module's line subsection is read before
// its symbol subsection.
#include "plugins/tdsread/tds_state.h"

namespace {

enum : uint16_t {
#define TDS_SUBSECTION(name, kind) name = kind,
#include "plugins/tdsread/tds_kinds.def"
#undef TDS_SUBSECTION
};

const uint16_t kEntrySize = 12;

void read_subsection(TdsState *state, uint16_t kind, ByteCursor section) {
  if (kind == sstAlignSym) tds_read_symbols(state, section);
  if (kind == sstSrcModule) tds_read_lines(state, section);
  if (kind == sstGlobalTypes) tds_read_types(state, section);
  if (kind == sstNames) tds_read_names(state, section);
}

}  // namespace

uint32_t tds_read_directory(TdsState *state, ByteCursor data) {
  const DebugApi *api = state->api;
  ByteCursor c = data;
  cursor_seek(&c, 4);
  cursor_seek(&c, cursor_u32(&c));
  size_t header_at = c.offset;
  uint16_t header_size = cursor_u16(&c);
  uint16_t entry_size = cursor_u16(&c);
  uint32_t count = cursor_u32(&c);
  ByteCursor entries = cursor_window(&data, header_at + header_size, (size_t)count * entry_size);
  if (!c.ok || !count || entry_size < kEntrySize || !entries.ok) {
    api->printf("No Borland debug information: the subsection directory is empty or lies "
                "outside the file\n");
    return 0;
  }
  state->walk.current_source = nullptr;
  uint32_t read = 0;
  for (uint32_t i = count; i-- > 0;) {
    ByteCursor entry = cursor_window(&entries, (size_t)i * entry_size, kEntrySize);
    uint16_t kind = cursor_u16(&entry);
    uint16_t module = cursor_u16(&entry);
    uint32_t offset = cursor_u32(&entry);
    uint32_t size = cursor_u32(&entry);
    ByteCursor section = cursor_window(&data, offset, size);
    if (!section.ok) {
      api->printf("Borland subsection %04X of module %u lies outside the file\n", kind, module);
      continue;
    }
    read_subsection(state, kind, section);
    read++;
  }
  if (!read) api->printf("No Borland debug information: no subsection lies inside the file\n");
  state->counts.subsections = read;
  return read;
}
