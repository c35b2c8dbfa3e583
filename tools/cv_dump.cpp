// Records are printed one a line:
//   type INDEX KIND [target T] [list L] [size S] [name N]
//   symbol MODULE KIND [type T] [at SEGMENT:OFFSET] [name N]   (MODULE "global" for the
//                                                               global records)
//   source MODULE NAME pairs COUNT, then line MODULE LINE at SEGMENT:OFFSET
// Kinds the reader's tables do not name are printed by number with the whole record in hex.
#include "tools/cv_dump.h"

#include <string.h>

#include "plugins/common/leaf_read.h"
#include "plugins/common/subsection_directory.h"
#include "plugins/common/symbol_walk.h"
#include "plugins/cvread/cv_state.h"
#include "plugins/cvread/msf7_file.h"
#include "plugins/cvread/pdb7_info.h"
#include "plugins/cvread/pdb_file.h"
#include "plugins/cvread/pdb_reader.h"
#include "symbols/pe_image.h"
#include "util/zone.h"

namespace {

struct TypeRow {
  uint16_t leaf;
  const char *name;
  uint8_t width, target_at, list_at, size_at, name_at;
};
const TypeRow kTypes[] = {
#define CV_TYPE(name, leaf, action, width, target_at, list_at, size_at, name_at, call_at) \
  {leaf, #name, width, target_at, list_at, size_at, name_at},
#include "plugins/cvread/cv_kinds.def"
#undef CV_TYPE
};

struct SymbolRow {
  const char *name;
  SymbolLayout layout;
};
const SymbolRow kSymbols[] = {
#define CV_SYMBOL(name, kind, action, type_at, type_width, offset_at, segment_at, name_at, \
                  start_at, end_at)                                                        \
  {#name, {kind, action, type_at, type_width, offset_at, segment_at, name_at, start_at, end_at}},
#include "plugins/cvread/cv_kinds.def"
#undef CV_SYMBOL
};

// Type leaves and symbol kinds from here on end their names with a NUL.
const uint16_t kFirstTextLeaf = 0x1500, kFirstTextKind = 0x1100;
const uint32_t kFirstIndex = 0x1000;
const char kMsf7[] = "Microsoft C/C++ MSF 7.00\r\n\x1a";
const char kPdb2[] = "Microsoft C/C++ program database 2.00\r\n";
enum : uint16_t { kTypesSection = 0x0121, kLinesSection = 0x0127, kGlobalsSection = 0x0129,
                  kPublicsSection = 0x012A };
// sstGlobalSym and sstGlobalPub open with a 16-byte header (the reader's directory walk
// says why).
const size_t kGlobalHeader = 16;
const uint32_t kDebugTypeCodeView = 2;
const size_t kEntrySize = 28;
// A separate debug file starts with "DI"; its header holds the counts from byte 24.
const size_t kSeparateHeader = 48, kSeparateCountsAt = 24, kSectionHeader = 40;

FILE *g_out;
const char *g_module;  // the module whose lines the reader is walking

void print_hex(const ByteCursor *record) {
  fputc(' ', g_out);
  for (size_t i = 0; i < record->size; i++) fprintf(g_out, "%02X", record->data[i]);
  fputc('\n', g_out);
}

void dump_types(ByteCursor records) {
  uint32_t index = kFirstIndex;
  while (records.ok && records.size - records.offset >= 4) {
    size_t start = records.offset;
    size_t length = 2 + (size_t)cursor_u16(&records);
    ByteCursor record = cursor_window(&records, start, length);
    if (!record.ok) {
      fprintf(g_out, "overrun type %X at %zu\n", index, start);
      return;
    }
    cursor_seek(&records, start + length);
    uint16_t leaf = (uint16_t)record_field(&record, 2, 2);
    const TypeRow *row = nullptr;
    for (const TypeRow &r : kTypes)
      if (r.leaf == leaf) row = &r;
    if (!row) {
      fprintf(g_out, "type %X %04X", index++, leaf);
      print_hex(&record);
      continue;
    }
    fprintf(g_out, "type %X %s", index++, row->name);
    if (row->target_at)
      fprintf(g_out, " target %X", (unsigned)record_field(&record, row->target_at, row->width));
    if (row->list_at)
      fprintf(g_out, " list %X", (unsigned)record_field(&record, row->list_at, row->width));
    ByteCursor c = record;
    char buffer[LEAF_NAME_SIZE];
    const char *name = "";
    if (row->size_at) {
      cursor_seek(&c, row->size_at);
      fprintf(g_out, " size %u", (unsigned)leaf_numeric(&c));
      name = leaf_any_name(&c, leaf >= kFirstTextLeaf, buffer, false);
    } else if (row->name_at) {
      cursor_seek(&c, row->name_at);
      name = leaf_any_name(&c, leaf >= kFirstTextLeaf, buffer, false);
    }
    if (row->size_at || row->name_at) fprintf(g_out, " name %s", name);
    fputc('\n', g_out);
  }
}

const SymbolRow *symbol_row(uint16_t kind) {
  for (const SymbolRow &row : kSymbols)
    if (row.layout.kind == kind) return &row;
  return nullptr;
}

void dump_symbols(ByteCursor run, const char *module) {
  for (size_t at = 0; run.ok && at < run.size && run.size - at >= 4;) {
    ByteCursor c = run;
    cursor_seek(&c, at);
    size_t length = 2 + (size_t)cursor_u16(&c);
    ByteCursor record = cursor_window(&run, at, length);
    if (!record.ok || length < 4) {
      fprintf(g_out, "overrun symbol %s at %zu\n", module, at);
      return;
    }
    uint16_t kind = (uint16_t)record_field(&record, 2, 2);
    const SymbolRow *row = symbol_row(kind);
    at = symbol_record_next(&run, at, length, row ? &row->layout : nullptr);
    if (!row) {
      fprintf(g_out, "symbol %s %04X", module, kind);
      print_hex(&record);
      continue;
    }
    const SymbolLayout &l = row->layout;
    fprintf(g_out, "symbol %s %s", module, row->name);
    uint32_t index;
    if (symbol_type_index(&l, &record, &index)) fprintf(g_out, " type %X", (unsigned)index);
    if (l.segment_at)
      fprintf(g_out, " at %04X:%08X", (unsigned)record_field(&record, l.segment_at, 2),
              (unsigned)record_field(&record, l.offset_at, 4));
    if (l.name_at) {
      char buffer[LEAF_NAME_SIZE];
      ByteCursor n = record;
      cursor_seek(&n, l.name_at);
      fprintf(g_out, " name %s", leaf_any_name(&n, kind >= kFirstTextKind, buffer, false));
    }
    fputc('\n', g_out);
  }
}

// The line walks are the reader's own: its definitions come here and are printed.
uint32_t section_address(uint16_t section, uint32_t offset) {
  return (uint32_t)section << 24 | (offset & 0xFFFFFF);
}
DebugSource print_source(const char *name, int count, const uint16_t *lines,
                         const uint32_t *addresses) {
  fprintf(g_out, "source %s %s pairs %d\n", g_module, name, count);
  for (int i = 0; i < count; i++)
    fprintf(g_out, "line %s %u at %04X:%08X\n", g_module, lines[i], addresses[i] >> 24,
            addresses[i] & 0xFFFFFF);
  return (DebugSource)&g_out;
}
void quiet(const char *, ...) {}
const uint8_t *no_file(const char *, size_t *size) {
  *size = 0;
  return nullptr;
}
void no_unmap(const uint8_t *) {}
DebugType some_type(const char *) { return (DebugType)&g_out; }
DebugType pointer(DebugType) { return nullptr; }
DebugType array(DebugType, uint32_t) { return nullptr; }
DebugType enumeration(const char *, DebugType) { return nullptr; }
DebugType structure(const char *, int) { return nullptr; }
DebugType frame(const char *, DebugType, uint32_t, uint32_t) { return nullptr; }
DebugType function(DebugType, DebugType, int) { return nullptr; }
void member(DebugType, const char *, int, DebugType) {}
DebugEntry entry(const char *, uint32_t, DebugType, DebugSource) { return nullptr; }
DebugEntry find(const char *) { return nullptr; }
const DebugApi kLinesApi = {quiet,     no_file,  no_unmap, some_type, section_address,
                            pointer,   array,    enumeration, structure, frame,
                            function,  member,   print_source, entry,  find,
                            nullptr,   nullptr};

struct LineWalk {
  CvState *state;
  explicit LineWalk(const char *module) {
    g_module = module;
    state = (CvState *)zone_alloc(sizeof(CvState));
    if (state) cv_state_init(state, &kLinesApi);
  }
  ~LineWalk() {
    if (state) cv_state_free(state);
    zone_free(state);
  }
};

// A stream that goes with the scope.
struct Stream {
  PdbStream stream;
  const uint8_t *bytes;
  ByteCursor c;
  Stream(const PdbFile *pdb, uint32_t n) {
    stream = pdb_read_stream(pdb, n);
    bytes = stream.bytes;
    c = cursor_make(bytes, stream.size);
  }
  ~Stream() { pdb_stream_free(&stream); }
};

void dump_modules(const PdbFile *pdb, ByteCursor list, uint32_t version, ByteCursor names) {
  PdbModule module;
  for (uint32_t number = 1; pdb_next_module(&list, version, &module); number++) {
    fprintf(g_out, "module %u stream %u symbols %u lines %u c13 %u name %s object %s\n", number,
            module.stream, module.symbols, module.lines, module.c13, module.name, module.object);
    Stream s(pdb, module.stream);
    if (!s.bytes) continue;
    char label[16];
    snprintf(label, sizeof label, "%u", number);
    if (module.symbols > 4) dump_symbols(cursor_window(&s.c, 4, module.symbols - 4), label);
    LineWalk walk(label);
    if (!walk.state) continue;
    if (module.lines) cv_read_lines(walk.state, cursor_window(&s.c, module.symbols, module.lines));
    size_t c13_at = (size_t)module.symbols + module.lines;
    if (module.c13 && names.ok)
      pdb7_read_lines(walk.state, cursor_window(&s.c, c13_at, module.c13), names);
  }
}

bool dump_database(const uint8_t *data, size_t size, bool msf7) {
  PdbFile pdb;
  if (!(msf7 ? msf7_open(&pdb, data, size) : pdb_open(&pdb, data, size))) {
    fprintf(g_out, "not a program database: its root stream does not fit the file\n");
    pdb_close(&pdb);
    return false;
  }
  fprintf(g_out, "pdb %s page %u streams %u\n", msf7 ? "7.00" : "2.00", pdb.page_size,
          pdb.stream_count);
  Stream info(&pdb, 1);
  ByteCursor c = info.c;
  uint32_t version = cursor_u32(&c), signature = cursor_u32(&c), age = cursor_u32(&c);
  fprintf(g_out, "info version %u signature %08X age %u\n", version, signature, age);
  uint32_t names_stream = 0;
  bool has_names = msf7 && pdb7_named_stream(info.c, "/names", &names_stream);
  Stream names(&pdb, has_names ? names_stream : 0xFFFFFFFF);
  ByteCursor buffer = has_names ? pdb7_string_buffer(names.c) : ByteCursor{};
  Stream types(&pdb, 2);
  ByteCursor records;
  if (pdb_type_records(types.c, &records, &version)) {
    fprintf(g_out, "types version %u size %zu\n", version, records.size);
    dump_types(records);
  } else {
    fprintf(g_out, "types: unknown version %u\n", version);
  }
  Stream debug(&pdb, 3);
  PdbDebugHeader header;
  if (pdb_debug_header(debug.c, &header)) {
    fprintf(g_out, "debug version %u globals stream %u modules size %u\n", header.version,
            header.symbols, header.modules_size);
    Stream globals(&pdb, header.symbols);
    if (globals.bytes) dump_symbols(globals.c, "global");
    dump_modules(&pdb, cursor_window(&debug.c, header.size, header.modules_size), header.version,
                 buffer);
  } else {
    fprintf(g_out, "debug: unknown version %u\n", header.version);
  }
  pdb_close(&pdb);
  return true;
}

void dump_subsections(ByteCursor data) {
  SubsectionDirectory directory;
  if (!directory_open(data, &directory) || !directory_fits(&directory)) {
    fprintf(g_out, "subsection directory outside the data\n");
    return;
  }
  Subsection entry;
  for (uint32_t i = 0; i < directory.count && directory_entry(&directory, i, &entry); i++) {
    fprintf(g_out, "subsection %04X module %u size %u%s\n", entry.kind, entry.module, entry.size,
            entry.bytes.ok ? "" : " outside the data");
    if (!entry.bytes.ok) continue;
    char label[16];
    snprintf(label, sizeof label, "%u", entry.module);
    if (entry.kind == kTypesSection) {
      dump_types(cursor_window(&entry.bytes, 4, entry.size > 4 ? entry.size - 4 : 0));
    } else if (entry.kind == kGlobalsSection || entry.kind == kPublicsSection) {
      ByteCursor c = entry.bytes;
      cursor_seek(&c, 4);
      uint32_t size = cursor_u32(&c);
      dump_symbols(cursor_window(&entry.bytes, kGlobalHeader, size), "global");
    } else if (entry.kind == kLinesSection) {
      LineWalk walk(label);
      if (walk.state) cv_read_lines(walk.state, entry.bytes);
    }
  }
}

// The CodeView entries of a debug directory (entries, inside the file data[0..size)).
bool dump_entries(const uint8_t *data, size_t size, ByteCursor entries) {
  bool found = false;
  for (size_t at = 0; entries.ok && at + kEntrySize <= entries.size; at += kEntrySize) {
    cursor_seek(&entries, at + 12);
    uint32_t type = cursor_u32(&entries);
    cursor_seek(&entries, at + 24);
    uint32_t offset = cursor_u32(&entries);
    ByteCursor file = cursor_make(data, size);
    ByteCursor cv = cursor_window(&file, offset, offset < size ? size - offset : 0);
    if (!entries.ok || type != kDebugTypeCodeView || !cv.ok || cv.size < 4) continue;
    found = true;
    fprintf(g_out, "codeview %.4s at %X\n", (const char *)cv.data, offset);
    if (!memcmp(cv.data, "NB09", 4) || !memcmp(cv.data, "NB11", 4)) {
      dump_subsections(cv);
    } else if (!memcmp(cv.data, "RSDS", 4) || !memcmp(cv.data, "NB10", 4)) {
      bool rsds = !memcmp(cv.data, "RSDS", 4);
      ByteCursor c = cv;
      cursor_seek(&c, rsds ? 20 : 12);
      uint32_t age = cursor_u32(&c);
      const char *path = cursor_text_at(&cv, rsds ? 24 : 16);
      fprintf(g_out, "pdb age %u path %s\n", age, path ? path : "(outside the data)");
    }
  }
  if (!found) fprintf(g_out, "no CodeView entry in the debug directory\n");
  return found;
}

// A separate debug file: its header, the image's section headers and exports, then its
// debug directory.
bool dump_separate(const uint8_t *data, size_t size) {
  ByteCursor file = cursor_make(data, size);
  ByteCursor header = cursor_window(&file, 0, kSeparateHeader);
  cursor_seek(&header, kSeparateCountsAt);
  uint32_t sections = cursor_u32(&header), exported = cursor_u32(&header);
  uint32_t debug_size = cursor_u32(&header);
  uint64_t start = kSeparateHeader + (uint64_t)sections * kSectionHeader + exported;
  ByteCursor entries =
      start < size ? cursor_window(&file, (size_t)start, debug_size) : ByteCursor{};
  if (!header.ok || !entries.ok) {
    fprintf(g_out, "debug file whose debug directory lies outside it\n");
    return false;
  }
  fprintf(g_out, "debug file sections %u debug directory at %X\n", sections, (unsigned)start);
  return dump_entries(data, size, entries);
}

// The CodeView data of an image, from its debug directory.
bool dump_image(const uint8_t *data, size_t size) {
  PeImage image;
  if (!pe_read_image(data, size, &image)) {
    fprintf(g_out, "neither a program database, a debug file nor a PE image\n");
    return false;
  }
  const PeDirectory &d = image.optional.directories[PE_DIR_DEBUG];
  if (image.header.characteristics & PE_DEBUG_STRIPPED)
    fprintf(g_out, "stripped: the debug information is in a debug file\n");
  return dump_entries(data, size, pe_rva_window(&image, d.rva, d.size));
}

}  // namespace

bool cv_dump(const uint8_t *data, size_t size, FILE *out) {
  g_out = out;
  if (size >= sizeof kMsf7 - 1 && !memcmp(data, kMsf7, sizeof kMsf7 - 1))
    return dump_database(data, size, true);
  if (size >= sizeof kPdb2 - 1 && !memcmp(data, kPdb2, sizeof kPdb2 - 1))
    return dump_database(data, size, false);
  if (size >= 2 && !memcmp(data, "DI", 2)) return dump_separate(data, size);
  return dump_image(data, size);
}
