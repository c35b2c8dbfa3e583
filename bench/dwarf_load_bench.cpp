// The DWARF reader on a generated program of a few thousand functions
// (bench/dwarf_bench_program.cmake, built with mingw-w64's gcc -gdwarf-4) against llvm-dwarfdump
// parsing the same file (--debug-info --debug-line, output discarded). The reader's
// definitions are only counted (by the fuzz targets' api); best of the rounds for each:
//   build/host/bench/dwarf_load_bench [rounds]
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "fuzz/cv_fuzz_api.h"
#include "plugins/dwarfread/dwarf_reader.h"
#include "plugins/tests/recording_api.h"

namespace {

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  const std::string image = DWARF_BENCH_PROGRAM;
  std::vector<uint8_t> bytes = read_whole_file(image);
  if (rounds < 1 || bytes.empty()) {
    fprintf(stderr, "dwarf_load_bench: cannot read %s\n", image.c_str());
    return 1;
  }
  std::string dump = "llvm-dwarfdump-14 --debug-info --debug-line " + image + " >/dev/null";
  double ours = 0, theirs = 0;
  DwarfCounts counts = {};
  for (int round = 0; round < rounds; round++) {
    g_cv_fuzz = CvFuzzRun{nullptr, 0, 0, 0, bytes.size(), 0, 0};
    double start = now();
    if (dwarf_load(&kCvFuzzApi, bytes.data(), bytes.size(), &counts) != LOAD_OK) return 1;
    double took = now() - start;
    if (!ours || took < ours) ours = took;
    start = now();
    if (system(dump.c_str())) return 1;
    took = now() - start;
    if (!theirs || took < theirs) theirs = took;
  }
  printf("%s, %zu bytes: %u procedures, %u globals, %u locals, %u line rows\n", image.c_str(),
         bytes.size(), counts.procedures, counts.data, counts.locals, counts.line_pairs);
  printf("ours %.2f ms, llvm-dwarfdump %.2f ms: llvm-dwarfdump takes %.2f times as long\n",
         ours * 1000, theirs * 1000, theirs / ours);
  return 0;
}
