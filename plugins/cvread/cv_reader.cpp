// The entry of the CodeView reader: the signature chooses between the subsection
// directory in the file (NB09, NB11) and a program database named by the record (NB10).
#include "plugins/cvread/cv_reader.h"

#include <string.h>

#include "plugins/cvread/cv_load.h"
#include "plugins/cvread/pdb_reader.h"
#include "util/zone.h"

const char cv_reader_title[] = "Visual C++ symbol loader for NB09, NB10, NB11 signatures";

namespace {

// Signature, offset, time stamp (the program database's signature) and age.
const size_t kNb10PathAt = 16;
// Signature, GUID and age.
const size_t kRsdsPathAt = 24;

}  // namespace

void cv_state_init(CvState *state, const DebugApi *api) {
  memset(state, 0, sizeof *state);
  state->api = api;
  state->walk = SymbolWalk{api, &state->counts, true, nullptr, nullptr};
  type_map_init(&state->types.map, api);
}

CvTypes *cv_server_types(CvState *state, uint32_t number) {
  if (number < 1 || number > CV_MAX_SERVERS) return nullptr;
  CvTypes *&types = state->servers[number - 1];
  if (types) return types;
  types = (CvTypes *)zone_alloc(sizeof(CvTypes));
  if (!types) return nullptr;
  memset(types, 0, sizeof *types);
  memcpy(types->map.primitive, state->types.map.primitive, sizeof types->map.primitive);
  return types;
}

void cv_state_free(CvState *state) {
  type_map_free(&state->types.map);
  for (CvTypes *&server : state->servers) {
    if (server) type_map_free(&server->map);
    server = (CvTypes *)zone_free(server);
  }
  type_records_free(&state->ids);
  type_records_free(&state->types.records);
  name_table_free(&state->types.typedef_names);
  state->held.items = (uint32_t *)zone_free(state->held.items);
  state->taken.items = (uint32_t *)zone_free(state->taken.items);
}

DebugType cv_resolve_type(const CvState *state, uint32_t index) {
  uint32_t server = index >> 24;
  if (server == 0) return type_map_resolve(&state->types.map, index);
  if (server > CV_MAX_SERVERS) return nullptr;
  const CvTypes *types = state->servers[server - 1];
  index &= 0x00FFFFFF;
  // A server that was not read still names the primitive types.
  if (!types && index >= TYPE_FIRST_DEFINED) return nullptr;
  return type_map_resolve(types ? &types->map : &state->types.map, index);
}

bool cv_progress(CvState *state, size_t done, size_t total) {
  uint64_t span = state->span_to - state->span_from;
  uint64_t part = total ? span * (done < total ? done : total) / total : 0;
  uint32_t at = state->span_from + (uint32_t)part;
  return load_progress(state->api, &state->cancelled, at, 1000);
}

LoadStatus cv_load(const DebugApi *api, const uint8_t *file_root, size_t file_size,
                   const uint8_t *debug_root, const char *image_path, CvCounts *counts) {
  if (!file_root || !debug_root || debug_root < file_root ||
      (size_t)(debug_root - file_root) >= file_size)
    return LOAD_FOREIGN;
  ByteCursor data = cursor_make(debug_root, file_size - (size_t)(debug_root - file_root));
  const uint8_t *signature = cursor_take(&data, 4);
  bool nb10 = signature && !memcmp(signature, "NB10", 4);
  bool rsds = signature && !memcmp(signature, "RSDS", 4);
  if (!signature) return LOAD_FOREIGN;
  if (!nb10 && !rsds && memcmp(signature, "NB11", 4) && memcmp(signature, "NB09", 4)) {
    // The other CodeView versions (NB00 to NB08) are known, but not read.
    bool codeview = !memcmp(signature, "NB0", 3) && signature[3] >= '0' && signature[3] <= '8';
    if (!codeview) return LOAD_FOREIGN;
    return load_refuse(api, LOAD_UNSUPPORTED, "CodeView %.4s data", (const char *)signature);
  }
  api->printf("CodeView signature is OK\n");
  CvState *state = (CvState *)zone_alloc(sizeof(CvState));
  if (!state) return load_refuse(api, LOAD_NO_MEMORY, nullptr);
  cv_state_init(state, api);
  LoadStatus status = LOAD_OK;
  if (nb10) {
    cursor_seek(&data, 8);
    PdbRecord record;
    record.guid = nullptr;
    record.signature = cursor_u32(&data);
    record.age = cursor_u32(&data);
    record.path = cursor_text_at(&data, kNb10PathAt);
    status = record.path ? pdb_read(state, &record, image_path) : LOAD_TRUNCATED;
  } else if (rsds) {
    PdbRecord record;
    record.guid = cursor_take(&data, 16);
    record.signature = 0;
    record.age = cursor_u32(&data);
    record.path = cursor_text_at(&data, kRsdsPathAt);
    status = record.path ? pdb_read(state, &record, image_path) : LOAD_TRUNCATED;
  } else {
    status = cv_read_directory(state, cursor_make(debug_root, data.size));
  }
  if (status == LOAD_TRUNCATED)
    load_refuse(api, status, "the PDB record ends before its file name");
  if (status == LOAD_CANCELLED) load_refuse(api, status, nullptr);
  if (counts) *counts = state->counts;
  cv_state_free(state);
  state = (CvState *)zone_free(state);
  return status;
}

LoadStatus cv_load_debug_info(const DebugApi *api, const uint8_t *file_root, size_t file_size,
                              const uint8_t *debug_root, const char *image_path) {
  return cv_load(api, file_root, file_size, debug_root, image_path, nullptr);
}
