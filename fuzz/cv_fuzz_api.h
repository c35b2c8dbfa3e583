// The DebugApi the CodeView fuzz targets hand the reader: handles are distinct non-null
// values, definitions are only counted, and every name and array the reader passes is
// touched in full so that ASan sees a read past its end.
#pragma once
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "plugins/common/load_status.h"

struct CvFuzzRun {
  const uint8_t *file;  // what map_file serves
  size_t file_size;
  int mapped;          // mappings not released
  size_t definitions;  // entries, sources and types other than the primitive ones
  size_t max_pairs;    // no source may carry more pairs than this
  uintptr_t next_handle;
  uint32_t checksum;  // of every line pair, so that each is read
};
inline CvFuzzRun g_cv_fuzz;

inline void *cv_fuzz_handle() { return (void *)(++g_cv_fuzz.next_handle * 16); }
inline void cv_fuzz_name(const char *name) {
  if (strlen(name) > 255) abort();  // names are a length byte long at most
}

inline void cv_fuzz_printf(const char *format, ...) { cv_fuzz_name(format); }
inline const uint8_t *cv_fuzz_map(const char *path, size_t *size) {
  if (strlen(path) >= 260) abort();  // paths fit the program's path buffers
  if (!g_cv_fuzz.file) return nullptr;
  g_cv_fuzz.mapped++;
  *size = g_cv_fuzz.file_size;
  return g_cv_fuzz.file;
}
inline void cv_fuzz_unmap(const uint8_t *root) {
  if (root != g_cv_fuzz.file) abort();
  g_cv_fuzz.mapped--;
}
inline DebugType cv_fuzz_get_type(const char *spec) { return cv_fuzz_handle(); }
inline uint32_t cv_fuzz_address(uint16_t section, uint32_t offset) {
  return section ? 0x400000 + offset : 0;
}
inline DebugType cv_fuzz_pointer(DebugType) { return cv_fuzz_handle(); }
inline DebugType cv_fuzz_array(DebugType, uint32_t) {
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline DebugType cv_fuzz_enum(const char *name, DebugType) {
  cv_fuzz_name(name);
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline DebugType cv_fuzz_struct(const char *name, int) {
  cv_fuzz_name(name);
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline DebugType cv_fuzz_frame(const char *name, DebugType, uint32_t, uint32_t) {
  cv_fuzz_name(name);
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline DebugType cv_fuzz_function(DebugType, DebugType, int) {
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline void cv_fuzz_member(DebugType type, const char *name, int, DebugType) {
  if (!type) abort();  // members only of a structure or the current frame
  cv_fuzz_name(name);
}
inline DebugSource cv_fuzz_source(const char *name, int count, const uint16_t *lines,
                                  const uint32_t *addresses) {
  cv_fuzz_name(name);
  if (count < 0 || (size_t)count > g_cv_fuzz.max_pairs) abort();
  for (int i = 0; i < count; i++) g_cv_fuzz.checksum += lines[i] + addresses[i];
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline DebugEntry cv_fuzz_entry(const char *name, uint32_t, DebugType, DebugSource) {
  cv_fuzz_name(name);
  g_cv_fuzz.definitions++;
  return cv_fuzz_handle();
}
inline DebugEntry cv_fuzz_find(const char *) { return nullptr; }
// A refusal is one line of text; progress stays inside the whole.
inline void cv_fuzz_refuse(const char *reason) {
  if (!*reason || strchr(reason, '\n')) abort();
}
inline bool cv_fuzz_progress(uint32_t done, uint32_t total) {
  if (done > total) abort();
  return true;
}

inline const DebugApi kCvFuzzApi = {
    cv_fuzz_printf,   cv_fuzz_map,    cv_fuzz_unmap,  cv_fuzz_get_type, cv_fuzz_address,
    cv_fuzz_pointer,  cv_fuzz_array,  cv_fuzz_enum,   cv_fuzz_struct,   cv_fuzz_frame,
    cv_fuzz_function, cv_fuzz_member, cv_fuzz_source, cv_fuzz_entry,    cv_fuzz_find,
    cv_fuzz_refuse,   cv_fuzz_progress};

// Loads the debug record at record (naming the database "fuzz.pdb", which is served from
// the file bytes), with no source allowed more than file_size / pair_bytes pairs; aborts
// when a mapping is not released or a refused database defined something.
template <class Load>
void cv_fuzz_database(const uint8_t *record, size_t record_size, const uint8_t *bytes,
                      size_t size, size_t pair_bytes, Load load) {
  // The file in a block of its own size, so a read past its end is caught.
  std::vector<uint8_t> file(bytes, bytes + size);
  g_cv_fuzz = CvFuzzRun{file.empty() ? nullptr : file.data(), file.size(), 0, 0,
                        file.size() / pair_bytes, 0, 0};
  bool ok = load(&kCvFuzzApi, record, record_size, record, nullptr) == LOAD_OK;
  if (g_cv_fuzz.mapped != 0) abort();
  if (!ok && g_cv_fuzz.definitions) abort();
}

// The name the fuzzed records give their database.
inline const char kCvFuzzName[] = "fuzz.pdb";
