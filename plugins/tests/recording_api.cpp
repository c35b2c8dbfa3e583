#include "plugins/tests/recording_api.h"

#include <stdarg.h>
#include <stdio.h>

namespace {

Recording g_recording;

void rec_printf(const char *format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_recording.log += text;
}

const uint8_t *rec_map_file(const char *path, size_t *size) {
  g_recording.opened.push_back(path);
  if (g_recording.missing.count(path)) return nullptr;
  auto served = g_recording.files.find(path);
  std::vector<uint8_t> bytes =
      served != g_recording.files.end() ? served->second : read_whole_file(path);
  if (bytes.empty()) return nullptr;
  g_recording.mappings.push_back(bytes);
  g_recording.mapped++;
  *size = bytes.size();
  return g_recording.mappings.back().data();
}

void rec_unmap_file(const uint8_t *root) {
  for (const std::vector<uint8_t> &m : g_recording.mappings)
    if (m.data() == root) g_recording.mapped--;
}

DebugType add_type(RecordedType type) {
  g_recording.types.push_back(type);
  return &g_recording.types.back();
}

DebugType rec_get_type(const char *spec) {
  return add_type({REC_BASE, spec, 0, nullptr, 0, 0, 0, {}});
}
uint32_t rec_get_address(uint16_t section, uint32_t offset) {
  return recorded_address(section, offset);
}
DebugType rec_define_pointer(DebugType target) {
  return add_type({REC_POINTER, "", 4, target, 0, 0, 0, {}});
}
DebugType rec_define_array(DebugType element, uint32_t size) {
  return add_type({REC_ARRAY, "", (int)size, element, 0, 0, 0, {}});
}
DebugType rec_define_enum(const char *name, DebugType base) {
  return add_type({REC_ENUM, name, 0, base, 0, 0, 0, {}});
}
DebugType rec_define_struct(const char *name, int size) {
  return add_type({REC_STRUCT, name, size, nullptr, 0, 0, 0, {}});
}
DebugType rec_define_frame(const char *name, DebugType function, uint32_t start, uint32_t end) {
  return add_type({REC_FRAME, name, 0, function, start, end, 0, {}});
}
DebugType rec_define_function(DebugType args, DebugType result, int call) {
  return add_type({REC_FUNCTION, "", 0, result, 0, 0, call, {}});
}
void rec_define_member(DebugType type, const char *name, int shift, DebugType member) {
  ((RecordedType *)type)->members.push_back({name, shift, member});
}
DebugSource rec_define_source(const char *name, int count, const uint16_t *lines,
                              const uint32_t *addresses) {
  g_recording.sources.push_back({name, std::vector<uint16_t>(lines, lines + count),
                                 std::vector<uint32_t>(addresses, addresses + count)});
  return &g_recording.sources.back();
}
DebugEntry rec_define_entry(const char *name, uint32_t address, DebugType type,
                            DebugSource source) {
  g_recording.entries.push_back({name, address, type, source});
  return &g_recording.entries.back();
}
DebugEntry rec_find_entry(const char *name) {
  for (RecordedEntry &entry : g_recording.entries)
    if (entry.name == name) return &entry;
  return nullptr;
}

void rec_refuse(const char *reason) { g_recording.refusals.push_back(reason); }

bool rec_progress(uint32_t done, uint32_t total) {
  g_recording.progress.push_back(total ? (uint32_t)((uint64_t)done * 1000 / total) : 0);
  return g_recording.progress.size() != g_recording.cancel_at;
}

const DebugApi kApi = {
    rec_printf,          rec_map_file,      rec_unmap_file,    rec_get_type,      rec_get_address,
    rec_define_pointer,  rec_define_array,  rec_define_enum,   rec_define_struct, rec_define_frame,
    rec_define_function, rec_define_member, rec_define_source, rec_define_entry,  rec_find_entry,
    rec_refuse,          rec_progress};

}  // namespace

const DebugApi *recording_api() { return &kApi; }
Recording *recording() { return &g_recording; }
void recording_reset() { g_recording = Recording(); }

uint32_t recorded_address(uint16_t section, uint32_t offset) {
  return section >= 1 && section < 32 ? (uint32_t)section * 0x01000000u + offset : 0;
}

const RecordedType *recorded_type(DebugType handle) { return (const RecordedType *)handle; }

std::vector<uint8_t> read_whole_file(const std::string &path) {
  std::vector<uint8_t> bytes;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(f);
  return bytes;
}
