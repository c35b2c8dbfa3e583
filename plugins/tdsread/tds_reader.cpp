// The entry of the Borland reader: the signature check, the per-call state, and where the
// data of an image without a debug directory is found.
#include "plugins/tdsread/tds_reader.h"

#include <string.h>

#include "util/path.h"
#include "util/zone.h"

const char tds_reader_title[] = "Borland C++ symbol loader for FB09, FB0A signatures";

namespace {

const char *const kSignatures[] = {"FB07", "FB08", "FB09", "FB0A"};
// A signature and the DWORD distance from the data's start to the end of the file.
const size_t kTrailerSize = 8;
// A file mapped by pages reads as zeros past its end: the trailer is looked for this far
// back from the end of the mapping.
const size_t kTrailerSearch = 4096;

bool is_signature(const uint8_t *bytes) {
  for (const char *signature : kSignatures)
    if (!memcmp(bytes, signature, 4)) return true;
  return false;
}

// Where appended data starts, from the trailer at the end of the file; 0 when there is
// none.
size_t appended_start(const uint8_t *file, size_t size) {
  if (size < 2 * kTrailerSize) return 0;
  size_t last = size - kTrailerSize;
  size_t first = last > kTrailerSearch ? last - kTrailerSearch : 0;
  for (size_t at = last + 1; at-- > first;) {
    if (!is_signature(file + at)) continue;
    ByteCursor c = cursor_make(file + at + 4, 4);
    uint32_t distance = cursor_u32(&c);
    size_t end = at + kTrailerSize;
    if (distance < kTrailerSize || distance > end) continue;
    size_t start = end - distance;
    if (is_signature(file + start)) return start;
  }
  return 0;
}

}  // namespace

LoadStatus tds_load(const DebugApi *api, const uint8_t *file_root, size_t file_size,
                    const uint8_t *debug_root, TdsCounts *counts) {
  if (!file_root || !debug_root || debug_root < file_root) return LOAD_FOREIGN;
  size_t at = (size_t)(debug_root - file_root);
  if (at > file_size || file_size - at < 4 || !is_signature(debug_root)) return LOAD_FOREIGN;
  api->printf("Borland signature is OK\n");
  TdsState *state = (TdsState *)zone_alloc(sizeof(TdsState));
  if (!state) return load_refuse(api, LOAD_NO_MEMORY, nullptr);
  memset(state, 0, sizeof *state);
  state->api = api;
  state->walk = SymbolWalk{api, &state->counts, false, nullptr, nullptr};
  type_map_init(&state->map, api);
  ByteCursor data = cursor_make(debug_root, file_size - at);
  LoadStatus status = tds_read_directory(state, data) ? LOAD_OK : LOAD_BAD_DIRECTORY;
  if (state->cancelled) status = LOAD_CANCELLED;
  if (status == LOAD_BAD_DIRECTORY)
    load_refuse(api, status, "no Borland subsection lies inside the file");
  else
    load_refuse(api, status, nullptr);
  if (counts) *counts = state->counts;
  type_map_free(&state->map);
  state->name_at = (uint32_t *)zone_free(state->name_at);
  state = (TdsState *)zone_free(state);
  return status;
}

LoadStatus tds_seek(const DebugApi *api, const char *image_path, TdsCounts *counts) {
  char path[KQ_PATH];
  path_replace_extension(path, sizeof path, image_path, ".TDS");
  size_t size = 0;
  // A name cut to the buffer could name another file: then there is no .TDS to look for.
  bool fits = strlen(image_path) + 4 < sizeof path;
  const uint8_t *root = fits ? api->map_file(path, &size) : nullptr;
  if (root) {
    LoadStatus status = tds_load(api, root, size, root, counts);
    api->unmap_file(root);
    if (status == LOAD_FOREIGN)
      return load_refuse(api, LOAD_BAD_SIGNATURE, "'%s' has no Borland signature", path);
    return status;
  }
  root = api->map_file(image_path, &size);
  size_t start = root ? appended_start(root, size) : 0;
  if (start)
    api->printf("Borland debug information appended to the image at %08X\n", (unsigned)start);
  LoadStatus status = start ? tds_load(api, root, size, root + start, counts) : LOAD_NOT_FOUND;
  if (root) api->unmap_file(root);
  if (status == LOAD_NOT_FOUND)
    load_refuse(api, status, "no '%s', nor Borland information appended to the image",
                fits ? path : image_path);
  return status;
}
