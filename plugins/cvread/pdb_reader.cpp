// A program database, 2.00 or MSF 7.00: the information stream (version, signature, age
// and, in 7.00, a GUID and the named streams), the type stream and the debug-information
// stream with its module list; every module's own stream holds its symbols and line
// section (7.00: C13 line subsections after them).
#include "plugins/cvread/pdb_reader.h"

#include <stdio.h>
#include <string.h>

#include "plugins/cvread/msf7_file.h"
#include "plugins/cvread/pdb7_info.h"
#include "plugins/cvread/pdb_file.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

enum { STREAM_INFO = 1, STREAM_TYPES = 2, STREAM_DEBUG = 3, STREAM_IDS = 4, NO_STREAM = 0xFFFF };

const uint32_t kInfoVersions[] = {19950623, 19950814, 19960307, 19970604, 20000404};
const uint32_t kTypeVersions[] = {19950410, 19951122, 19961031, 19990903, 20040203};
const uint32_t kDebugVersions[] = {0, 19960307, 19970606, 19990903, 20091201};
// Type stream headers after this version are the long form with a header size.
const uint32_t kLongTypeHeaderAfter = 19959999;
// Debug stream header versions after this one have the 64-byte module records.
const uint32_t kLongModuleAfter = 19969999;
const uint32_t kLongDebugHeader = 0xFFFFFFFF;
// The parts of a load, in thousandths: types, then the global symbols, then the modules.
const uint32_t kGlobalsFrom = 500, kModulesFrom = 600, kWhole = 1000;

template <size_t N>
bool is_one_of(uint32_t value, const uint32_t (&values)[N]) {
  for (uint32_t v : values)
    if (v == value) return true;
  return false;
}

// A stream kept until the reader frees its others.
ByteCursor stream_cursor(const PdbFile *pdb, uint32_t n, PdbStream *stream) {
  *stream = pdb_read_stream(pdb, n);
  return cursor_make(stream->bytes, stream->size);
}

// The type records of a type or id stream, read where they lie in its pages (the largest
// streams, whose pages rarely follow one another); false for an unknown version.
bool type_stream(const PdbFile *pdb, uint32_t n, TypeBytes *section, uint32_t *version) {
  PdbPages pages = pdb_stream_pages(pdb, n);
  // The part of the header that says the version and where the records lie.
  uint8_t header[20];
  size_t header_size = pages.size < sizeof header ? pages.size : sizeof header;
  ByteCursor c = cursor_make(pdb_pages_read(&pages, 0, header_size, header), header_size);
  size_t from, size;
  if (!pdb_type_section(c, pages.size, &from, &size, version)) return false;
  *section = TypeBytes{{}, pages, from, size};
  return true;
}

// The sizes of the parts of a module's stream.
struct ModuleParts {
  uint32_t symbols, lines, c13;
};

// One module's stream: its line section (or with names, its C13 lines) after its symbols,
// then its symbols after the stream's 4-byte signature.
void read_module(CvState *state, const PdbFile *pdb, uint32_t stream, ModuleParts parts,
                 ByteCursor names, bool globals_copied) {
  PdbStream bytes;
  ByteCursor c = stream_cursor(pdb, stream, &bytes);
  if (!bytes.bytes) return;
  state->walk.current_source = nullptr;
  uint32_t symbols_size = parts.symbols;
  if (parts.lines) cv_read_lines(state, cursor_window(&c, symbols_size, parts.lines));
  size_t c13_at = (size_t)symbols_size + parts.lines;
  if (parts.c13 && names.ok) pdb7_read_lines(state, cursor_window(&c, c13_at, parts.c13), names);
  if (symbols_size > 4)
    cv_read_symbols(state, cursor_window(&c, 4, symbols_size - 4), globals_copied);
  pdb_stream_free(&bytes);
}

// The module list. Every module has a stream of its own: a stream named again (only a
// forged file does that) is not read again.
void read_modules(CvState *state, const PdbFile *pdb, ByteCursor list, uint32_t version,
                  ByteCursor names, bool globals_copied) {
  uint8_t *read = (uint8_t *)zone_alloc(pdb->stream_count);
  if (read) memset(read, 0, pdb->stream_count);
  size_t start = list.offset;
  PdbModule module;
  while (pdb_next_module(&list, version, &module)) {
    state->counts.modules++;
    const uint64_t share = kWhole - kModulesFrom;
    state->span_from = kModulesFrom + (uint32_t)(share * start / list.size);
    state->span_to = kModulesFrom + (uint32_t)(share * list.offset / list.size);
    start = list.offset;
    if (!cv_progress(state, 0, 1)) break;
    uint16_t stream = module.stream;
    if (stream == NO_STREAM || stream >= pdb->stream_count || !read || read[stream]) continue;
    read[stream] = 1;
    read_module(state, pdb, stream, ModuleParts{module.symbols, module.lines, module.c13}, names,
                globals_copied);
  }
  read = (uint8_t *)zone_free(read);
}

// The paths a search for a database tried, quoted and separated by commas.
struct TriedPaths {
  char text[2 * KQ_PATH + 8];
};

void add_tried(TriedPaths *tried, const char *path) {
  if (!tried) return;
  size_t used = strlen(tried->text);
  snprintf(tried->text + used, sizeof tried->text - used, "%s'%s'", used ? ", " : "", path);
}

// Maps the recorded path, or the file of that name beside the image; tried, when given,
// collects the paths looked at.
const uint8_t *map_database(const DebugApi *api, const char *recorded, const char *image_path,
                            char opened[KQ_PATH], size_t *size, TriedPaths *tried) {
  // A recorded path too long for a path buffer names no file the system could open.
  const uint8_t *data = nullptr;
  if (strlen(recorded) < KQ_PATH) {
    text_copy(opened, KQ_PATH, recorded);
    data = api->map_file(opened, size);
    add_tried(tried, opened);
  }
  if (data || !image_path) return data;
  const char *name = recorded;
  for (const char *p = recorded; *p; p++)
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  size_t folder = strlen(image_path);
  while (folder > 0 && image_path[folder - 1] != '\\' && image_path[folder - 1] != '/' &&
         image_path[folder - 1] != ':')
    folder--;
  if (folder + strlen(name) >= KQ_PATH) return nullptr;
  memcpy(opened, image_path, folder);
  text_copy(opened + folder, KQ_PATH - folder, name);
  add_tried(tried, opened);
  return api->map_file(opened, size);
}

// The information stream: version, signature, age and (7.00) GUID.
struct PdbInfo {
  uint32_t version, signature, age;
  const uint8_t *guid;
  ByteCursor stream;
};

bool read_info(const PdbFile *pdb, PdbStream *kept, PdbInfo *info) {
  ByteCursor c = stream_cursor(pdb, STREAM_INFO, kept);
  info->stream = c;
  info->version = cursor_u32(&c);
  info->signature = cursor_u32(&c);
  info->age = cursor_u32(&c);
  info->guid = pdb->page_width == 4 ? cursor_take(&c, 16) : nullptr;
  return c.ok && is_one_of(info->version, kInfoVersions);
}

// A GUID as the tools print it: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
void guid_text(const uint8_t *guid, char text[40]) {
  ByteCursor c = cursor_make(guid, 16);
  uint32_t first = cursor_u32(&c);
  uint16_t second = cursor_u16(&c), third = cursor_u16(&c);
  snprintf(text, 40, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
           (unsigned long)first, second, third, guid[8], guid[9], guid[10], guid[11], guid[12],
           guid[13], guid[14], guid[15]);
}

// True when the database is the one the image was linked with; else a log line, and the
// same words as the refusal.
bool same_build(const DebugApi *api, const PdbInfo *info, const PdbRecord *record,
                const char *path) {
  char why[KQ_PATH + 160];
  if (record->guid) {
    if (info->guid && !memcmp(info->guid, record->guid, 16) && info->age == record->age)
      return true;
    char found[40] = "none", wanted[40];
    if (info->guid) guid_text(info->guid, found);
    guid_text(record->guid, wanted);
    snprintf(why, sizeof why,
             "PDB file '%s' belongs to another build (GUID %s age %ld, the image wants %s age %ld)",
             path, found, (long)info->age, wanted, (long)record->age);
  } else {
    if (info->signature == record->signature && info->age == record->age) return true;
    snprintf(why, sizeof why,
             "PDB file '%s' belongs to another build (signature %08lX age %ld, the image "
             "wants %08lX age %ld)",
             path, (unsigned long)info->signature, (long)info->age,
             (unsigned long)record->signature, (long)record->age);
  }
  api->printf("%s\n", why);
  load_refuse(api, LOAD_WRONG_BUILD, "%s", why);
  return false;
}

// The string buffer of "/names" (a stream freed with the others); not ok without one.
ByteCursor read_names(const PdbFile *pdb, const PdbInfo *info, PdbStream *kept) {
  uint32_t stream;
  if (!info->guid || !pdb7_named_stream(info->stream, "/names", &stream)) return ByteCursor{};
  return pdb7_string_buffer(stream_cursor(pdb, stream, kept));
}

// The types of a type server (a compiler's database) that the program database imports
// under number; a server from another build is not read, as its indexes would not match.
void read_type_server(CvState *state, uint32_t number, const char *recorded, uint32_t signature,
                      uint32_t age, const char *pdb_path) {
  const DebugApi *api = state->api;
  char path[KQ_PATH];
  size_t size = 0;
  const uint8_t *data = map_database(api, recorded, pdb_path, path, &size, nullptr);
  if (!data) {
    api->printf("Type server '%s' not found, its types are ignored\n", recorded);
    return;
  }
  PdbFile pdb;
  PdbStream info_stream = {};
  PdbInfo info;
  TypeBytes records;
  uint32_t version;
  if (pdb_open(&pdb, data, size) && read_info(&pdb, &info_stream, &info) &&
      info.signature == signature && info.age >= age &&
      type_stream(&pdb, STREAM_TYPES, &records, &version)) {
    if (CvTypes *types = cv_server_types(state, number)) cv_read_types(state, types, &records);
    state->counts.servers++;
    api->printf("Types imported from '%s'\n", path);
  } else {
    api->printf("Type server '%s' belongs to another build, its types are ignored\n", path);
  }
  pdb_stream_free(&info_stream);
  pdb_close(&pdb);
  api->unmap_file(data);
}

// The type-server map: from import number 0 on, two unknown DWORDs, the server's
// signature and age, its path and the object that used it, each padded to 4 bytes.
// Number 0 stands for the database itself.
void read_type_servers(CvState *state, ByteCursor map, const char *pdb_path) {
  for (uint32_t number = 0; map.ok && map.size - map.offset >= 16; number++) {
    size_t start = map.offset;
    cursor_seek(&map, start + 8);
    uint32_t signature = cursor_u32(&map);
    uint32_t age = cursor_u32(&map);
    const char *server = cursor_text_at(&map, start + 16);
    const char *object = server ? cursor_text_at(&map, start + 17 + strlen(server)) : nullptr;
    if (!object) return;
    size_t end = (size_t)(object + strlen(object) + 1 - (const char *)map.data);
    cursor_seek(&map, (end + 3) & ~(size_t)3);
    if (number > 0 && number <= CV_MAX_SERVERS && *server)
      read_type_server(state, number, server, signature, age, pdb_path);
  }
}

// Logs an unknown version (format names the stream) and refuses the file for it.
LoadStatus unknown_version(const DebugApi *api, const char *format, uint32_t version,
                           const char *path) {
  char line[80];
  snprintf(line, sizeof line, format, (long)version);
  api->printf("%s\n", line);
  return load_refuse(api, LOAD_BAD_VERSION, "'%s': %s", path, line);
}

LoadStatus read_database(CvState *state, const PdbFile *pdb, const PdbRecord *record,
                         const char *path, PdbStream streams[3]) {
  const DebugApi *api = state->api;
  PdbInfo info;
  if (!read_info(pdb, &streams[0], &info))
    return unknown_version(api, "Unknown root block version %ld", info.version, path);
  if (!same_build(api, &info, record, path)) return LOAD_WRONG_BUILD;
  TypeBytes records;
  uint32_t version;
  if (!type_stream(pdb, STREAM_TYPES, &records, &version))
    return unknown_version(api, "Unknown type info version %ld", version, path);
  ByteCursor debug = stream_cursor(pdb, STREAM_DEBUG, &streams[1]);
  PdbDebugHeader header;
  if (!pdb_debug_header(debug, &header))
    return unknown_version(api, "Unknown symbol info version %ld", header.version, path);
  state->types.ahead = info.guid != nullptr;
  state->span_from = 0;
  state->span_to = kGlobalsFrom;
  cv_read_types(state, &state->types, &records);
  // The id stream has the type stream's header; without it procedures named by id are
  // typeless.
  TypeBytes ids;
  if (info.guid && type_stream(pdb, STREAM_IDS, &ids, &version))
    cv_index_records(&state->ids, &ids);
  size_t servers_at = header.size + (size_t)header.modules_size + header.contributions_size +
                      header.section_map_size + header.files_size;
  if (header.servers_size)
    read_type_servers(state, cursor_window(&debug, servers_at, header.servers_size), path);
  PdbStream symbols;
  ByteCursor run = stream_cursor(pdb, header.symbols, &symbols);
  state->span_from = kGlobalsFrom;
  state->span_to = kModulesFrom;
  state->holding_publics = true;
  if (!state->walk.current_source && symbols.bytes) cv_read_symbols(state, run, false);
  // The modules' data outside procedures stands in the global symbols of the newer
  // databases: when they have some.
  ByteCursor names = read_names(pdb, &info, &streams[2]);
  bool globals_copied = names.ok && symbols.bytes;
  read_modules(state, pdb, cursor_window(&debug, header.size, header.modules_size), header.version,
               names, globals_copied);
  cv_read_publics(state, run);
  pdb_stream_free(&symbols);
  return state->cancelled ? LOAD_CANCELLED : LOAD_OK;
}

}  // namespace

bool pdb_debug_header(ByteCursor c, PdbDebugHeader *header) {
  memset(header, 0, sizeof *header);
  if (cursor_u32(&c) == kLongDebugHeader) {
    header->version = cursor_u32(&c);
    cursor_seek(&c, 20);
    header->symbols = cursor_u16(&c);
    cursor_seek(&c, 24);
    header->modules_size = cursor_u32(&c);
    header->contributions_size = cursor_u32(&c);
    header->section_map_size = cursor_u32(&c);
    header->files_size = cursor_u32(&c);
    header->servers_size = cursor_u32(&c);
    header->size = 64;
  } else {
    cursor_seek(&c, 4);
    header->symbols = cursor_u16(&c);
    cursor_seek(&c, 8);
    header->modules_size = cursor_u32(&c);
    header->contributions_size = cursor_u32(&c);
    header->section_map_size = cursor_u32(&c);
    header->files_size = cursor_u32(&c);
    header->size = 24;
  }
  return c.ok && c.size >= header->size && is_one_of(header->version, kDebugVersions);
}

bool pdb_type_records(ByteCursor stream, ByteCursor *records, uint32_t *version) {
  size_t from, size;
  if (!pdb_type_section(stream, stream.size, &from, &size, version)) return false;
  *records = cursor_window(&stream, from, size);
  return true;
}

bool pdb_type_section(ByteCursor header, size_t stream_size, size_t *from, size_t *size,
                      uint32_t *version) {
  ByteCursor c = header;
  *version = cursor_u32(&c);
  size_t header_size = 16;
  uint32_t records_size;
  if (*version > kLongTypeHeaderAfter) {
    header_size = cursor_u32(&c);
    cursor_seek(&c, 16);
    records_size = cursor_u32(&c);
  } else {
    cursor_seek(&c, 8);
    records_size = cursor_u32(&c);
  }
  if (!c.ok || !is_one_of(*version, kTypeVersions)) return false;
  size_t available = stream_size > header_size ? stream_size - header_size : 0;
  *from = header_size;
  *size = records_size < available ? records_size : available;
  return true;
}

bool pdb_next_module(ByteCursor *list, uint32_t version, PdbModule *module) {
  bool long_form = version > kLongModuleAfter;
  size_t fixed = long_form ? 64 : 48;
  size_t stream_at = long_form ? 34 : 26;
  if (!list->ok || list->size - list->offset < fixed) return false;
  size_t start = list->offset;
  cursor_seek(list, start + stream_at);
  module->stream = cursor_u16(list);
  module->symbols = cursor_u32(list);
  module->lines = cursor_u32(list);
  module->c13 = long_form ? cursor_u32(list) : 0;
  module->name = cursor_text_at(list, start + fixed);
  module->object = module->name ? cursor_text_at(list, start + fixed + strlen(module->name) + 1)
                                : nullptr;
  if (!module->object) return false;
  size_t end = (size_t)(module->object + strlen(module->object) + 1 - (const char *)list->data);
  cursor_seek(list, (end + 3) & ~(size_t)3);
  return true;
}

LoadStatus pdb_read(CvState *state, const PdbRecord *record, const char *image_path) {
  const DebugApi *api = state->api;
  char path[KQ_PATH];
  size_t size = 0;
  TriedPaths tried = {};
  const uint8_t *data = map_database(api, record->path, image_path, path, &size, &tried);
  if (!data) {
    text_copy(path, KQ_PATH, record->path);
    api->printf("Unable to open PDB file '%s'\n", path);
    return load_refuse(api, LOAD_NOT_FOUND, "PDB file tried at %s",
                       *tried.text ? tried.text : "no path (the recorded name is too long)");
  }
  api->printf("Processing .PDB file '%s'\n", path);
  PdbFile pdb;
  PdbStream streams[3] = {};
  const char *format = record->guid ? "7.00" : "2.00";
  LoadStatus status = LOAD_OK;
  if (!(record->guid ? msf7_open(&pdb, data, size) : pdb_open(&pdb, data, size))) {
    api->printf("'%s' is not a program database %s\n", path, format);
    status = load_refuse(api, LOAD_BAD_SIGNATURE, "'%s' is not a program database %s", path,
                         format);
  } else {
    status = read_database(state, &pdb, record, path, streams);
  }
  if (status == LOAD_OK) api->printf("File '%s' successfully parsed\n", path);
  for (PdbStream &stream : streams) pdb_stream_free(&stream);
  pdb_close(&pdb);
  api->unmap_file(data);
  return status;
}
