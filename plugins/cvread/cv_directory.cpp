// The NB09/NB11 subsection directory: types, line sections and global symbols of data
// that lies in the image or in a separate debug file.
#include "plugins/cvread/cv_state.h"

namespace {

enum : uint16_t {
  SST_TYPES = 0x0121,
  SST_SRC_MODULE = 0x0127,
  SST_GLOBAL_SYM = 0x0129,
  SST_GLOBAL_PUB = 0x012A,
};
// sstGlobalSym and sstGlobalPub open with two WORD hash kinds and the DWORD sizes of the
// records, the name hash and the address hash.
const size_t kGlobalHeader = 16;
// Kind, module index, offset, size.
const uint16_t kEntrySize = 12;

// The records of a global symbol or public subsection, as far as its header says.
void read_globals(CvState *state, const ByteCursor *section) {
  ByteCursor c = *section;
  cursor_seek(&c, 4);
  uint32_t records = cursor_u32(&c);
  size_t available = section->size > kGlobalHeader ? section->size - kGlobalHeader : 0;
  if (!c.ok) return;
  cv_read_symbols(state,
                  cursor_window(section, kGlobalHeader, records < available ? records : available));
}

}  // namespace

void cv_read_directory(CvState *state, ByteCursor data) {
  state->api->printf("Loading OMF directory\n");
  ByteCursor c = data;
  cursor_seek(&c, 4);
  cursor_seek(&c, cursor_u32(&c));
  size_t header_at = c.offset;
  uint16_t header_size = cursor_u16(&c);
  uint16_t entry_size = cursor_u16(&c);
  uint32_t count = cursor_u32(&c);
  if (!c.ok || entry_size < kEntrySize) return;
  for (uint32_t i = 0; i < count; i++) {
    ByteCursor entry =
        cursor_window(&data, header_at + header_size + (size_t)i * entry_size, kEntrySize);
    if (!entry.ok) return;
    uint16_t kind = cursor_u16(&entry);
    cursor_u16(&entry);  // module index
    uint32_t offset = cursor_u32(&entry);
    uint32_t size = cursor_u32(&entry);
    ByteCursor section = cursor_window(&data, offset, size);
    if (!section.ok) continue;
    if (kind == SST_TYPES) cv_read_types(state, &state->types, section);
    if (kind == SST_SRC_MODULE) cv_read_lines(state, section);
    if (kind == SST_GLOBAL_SYM || kind == SST_GLOBAL_PUB) read_globals(state, &section);
  }
}
