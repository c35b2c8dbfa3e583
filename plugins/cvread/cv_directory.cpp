// The NB09/NB11 subsection directory: types, line sections and global symbols of data
// that lies in the image or in a separate debug file.
#include "plugins/common/subsection_directory.h"
#include "plugins/cvread/cv_state.h"

namespace {

// sstGlobalSym and sstGlobalPub open with two WORD hash kinds and the DWORD sizes of the
// records, the name hash and the address hash.
const size_t kGlobalHeader = 16;

void read_types(CvState *state, const ByteCursor *section) {
  TypeBytes bytes = type_bytes(*section);
  cv_read_types(state, &state->types, &bytes);
}

void read_lines(CvState *state, const ByteCursor *section) { cv_read_lines(state, *section); }

// The records of a global symbol or public subsection, as far as its header says.
void read_globals(CvState *state, const ByteCursor *section) {
  ByteCursor c = *section;
  cursor_seek(&c, 4);
  uint32_t records = cursor_u32(&c);
  size_t available = section->size > kGlobalHeader ? section->size - kGlobalHeader : 0;
  if (!c.ok) return;
  cv_read_symbols(state,
                  cursor_window(section, kGlobalHeader, records < available ? records : available),
                  false);
}

struct SectionReader {
  uint16_t kind;
  void (*read)(CvState *state, const ByteCursor *section);
};
const SectionReader kReaders[] = {
    {0x0121, read_types},    // sstTypes
    {0x0127, read_lines},    // sstSrcModule
    {0x0129, read_globals},  // sstGlobalSym
    {0x012A, read_globals},  // sstGlobalPub: the publics of NB09 files
};

const SectionReader *reader_of(uint16_t kind) {
  for (const SectionReader &row : kReaders)
    if (row.kind == kind) return &row;
  return nullptr;
}

}  // namespace

LoadStatus cv_read_directory(CvState *state, ByteCursor data) {
  state->api->printf("Loading OMF directory\n");
  SubsectionDirectory directory;
  // Refused, another reader may know the data.
  if (!directory_open(data, &directory) || !directory.count || !directory_fits(&directory)) {
    state->api->printf("No CodeView debug information: the subsection directory is empty or "
                       "lies outside the file\n");
    return load_refuse(state->api, LOAD_BAD_DIRECTORY,
                       "the subsection directory is empty or lies outside the file");
  }
  // Subsections do not overlap: together they are no larger than the data. Only a forged
  // directory names the same bytes again and again, and that is where reading stops.
  size_t unread = data.size;
  Subsection entry;
  for (uint32_t i = 0; i < directory.count && directory_entry(&directory, i, &entry); i++) {
    state->span_from = (uint32_t)((uint64_t)i * 1000 / directory.count);
    state->span_to = (uint32_t)((uint64_t)(i + 1) * 1000 / directory.count);
    if (!cv_progress(state, 0, 1)) return LOAD_CANCELLED;
    const SectionReader *reader = reader_of(entry.kind);
    if (!reader || !entry.bytes.ok) continue;
    if (entry.size > unread) break;
    unread -= entry.size;
    reader->read(state, &entry.bytes);
  }
  return state->cancelled ? LOAD_CANCELLED : LOAD_OK;
}
