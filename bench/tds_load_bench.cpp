// Symbols (entries) and types loaded per second from the largest .tds file of the corpus
// (the C++Builder 12 DLL's, 3,211,264 bytes) by the Borland reader, against the CodeView
// reader on the largest program database (classs.pdb, Visual C++ 4.2) in the same run.
// The definitions are only counted and the files are read once beforehand. Rounds take
// the readers in turn and the best round of each counts (the one least disturbed by other
// work on the machine):
//   build/HOST/bench/tds_load_bench [rounds [loads per round]]
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <map>
#include <string>
#include <vector>

#include "plugins/cvread/cv_reader.h"
#include "plugins/tdsread/tds_reader.h"

namespace {

const char kTds[] = KQ_CORPUS "/tds/cb12-ota-plugin-dll/Project1.tds";
const char kImage[] = KQ_CORPUS "/pdb2-jg/vc42-classs/classs.exe";
// The image's CodeView (NB10) entry data.
const size_t kCodeViewAt = 0x799d0;

struct Tally {
  unsigned long symbols, types;
};
Tally g_tally;
uintptr_t g_handle;
// Files the reader maps, read once so that no load pays for the disk.
std::map<std::string, std::vector<uint8_t>> g_files;

std::vector<uint8_t> whole(const char *path) {
  std::vector<uint8_t> bytes;
  FILE *f = fopen(path, "rb");
  if (!f) return bytes;
  fseek(f, 0, SEEK_END);
  bytes.resize((size_t)ftell(f));
  fseek(f, 0, SEEK_SET);
  if (fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
  fclose(f);
  return bytes;
}

void *handle() { return (void *)++g_handle; }
void *counted_type() {
  g_tally.types++;
  return handle();
}
void quiet(const char *, ...) {}
const uint8_t *map(const char *path, size_t *size) {
  auto found = g_files.find(path);
  if (found == g_files.end()) found = g_files.insert({path, whole(path)}).first;
  *size = found->second.size();
  return found->second.empty() ? nullptr : found->second.data();
}
void unmap(const uint8_t *) {}
DebugType base_type(const char *) { return handle(); }
uint32_t address(uint16_t section, uint32_t offset) { return section ? 0x400000 + offset : 0; }
DebugType pointer(DebugType) { return counted_type(); }
DebugType array(DebugType, uint32_t) { return counted_type(); }
DebugType enumeration(const char *, DebugType) { return counted_type(); }
DebugType structure(const char *, int) { return counted_type(); }
DebugType frame(const char *, DebugType, uint32_t, uint32_t) { return handle(); }
DebugType function(DebugType, DebugType, int) { return counted_type(); }
void member(DebugType, const char *, int, DebugType) {}
DebugSource source(const char *, int, const uint16_t *, const uint32_t *) { return handle(); }
DebugEntry entry(const char *, uint32_t, DebugType, DebugSource) {
  g_tally.symbols++;
  return handle();
}
DebugEntry no_entry(const char *) { return nullptr; }

const DebugApi kCountingApi = {quiet,     map,       unmap,  base_type, address,
                               pointer,   array,     enumeration, structure, frame,
                               function,  member,    source, entry,     no_entry,
                               nullptr,   nullptr};

double seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

struct Reader {
  const char *label;
  bool (*load)(const std::vector<uint8_t> &file);
  const char *path;
  std::vector<uint8_t> file;
  double best;  // seconds per load
  Tally tally;
};

bool load_tds(const std::vector<uint8_t> &file) {
  return tds_load(&kCountingApi, file.data(), file.size(), file.data(), nullptr) == LOAD_OK;
}
bool load_pdb(const std::vector<uint8_t> &image) {
  return cv_load_debug_info(&kCountingApi, image.data(), image.size(), image.data() + kCodeViewAt,
                            kImage) == LOAD_OK;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  int loads = argc > 2 ? atoi(argv[2]) : 10;
  Reader readers[] = {
      {"Borland reader, Project1.tds (cb12)", load_tds, kTds, {}, 1e9, {}},
      {"CodeView reader, classs.pdb (VC 4.2)", load_pdb, kImage, {}, 1e9, {}},
  };
  for (Reader &r : readers) {
    r.file = whole(r.path);
    if (r.file.empty()) {
      fprintf(stderr, "cannot read %s\n", r.path);
      return 1;
    }
  }
  for (int round = 0; round < rounds; round++) {
    for (Reader &r : readers) {
      g_tally = Tally{0, 0};
      double start = seconds();
      for (int i = 0; i < loads; i++) {
        if (!r.load(r.file)) {
          fprintf(stderr, "%s: load failed\n", r.label);
          return 1;
        }
      }
      double each = (seconds() - start) / loads;
      if (each < r.best) r.best = each;
      r.tally = Tally{g_tally.symbols / loads, g_tally.types / loads};
    }
  }
  for (const Reader &r : readers)
    printf("%-38s %7lu symbols %7lu types  %8.2f ms/load  %10.0f symbols/s  %10.0f types/s\n",
           r.label, r.tally.symbols, r.tally.types, r.best * 1e3, r.tally.symbols / r.best,
           r.tally.types / r.best);
  return 0;
}
