// The DWARF reader on a generated program of a few thousand functions (each with a
// structure local, a loop and a global), built with mingw-w64's gcc -g, against
// llvm-dwarfdump parsing the same file (--debug-info --debug-line, output discarded).
// The reader's definitions are only counted (by the fuzz targets' api); best of the
// rounds for each:
//   build/host/bench/dwarf_load_bench [functions [rounds]]
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

bool generate(const std::string &source, int functions) {
  FILE *f = fopen(source.c_str(), "w");
  if (!f) return false;
  fprintf(f, "struct item { int key; short parts[4]; const char *name; struct item *next; };\n");
  for (int i = 0; i < functions; i++)
    fprintf(f,
            "int g_value%d;\n"
            "int step%d(struct item *list, int limit) {\n"
            "  struct item local = {%d, {1, 2, 3, 4}, \"step\", list};\n"
            "  int sum = 0;\n"
            "  for (int i = 0; i < limit; i++)\n"
            "    sum += local.parts[i %% 4] + g_value%d;\n"
            "  return sum;\n"
            "}\n",
            i, i, i, i);
  fprintf(f, "int main(void) { return step0(0, 3); }\n");
  return fclose(f) == 0;
}

}  // namespace

int main(int argc, char **argv) {
  int functions = argc > 1 ? atoi(argv[1]) : 3000;
  int rounds = argc > 2 ? atoi(argv[2]) : 5;
  std::string base = std::string(P_tmpdir) + "/dwarf_load_bench";
  std::string source = base + ".c", image = base + ".exe";
  std::string build = "i686-w64-mingw32-gcc-posix -g -o " + image + " " + source;
  if (functions < 1 || rounds < 1 || !generate(source, functions) || system(build.c_str())) {
    fprintf(stderr, "dwarf_load_bench: cannot build the program (%s)\n", build.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes = read_whole_file(image);
  std::string dump = "llvm-dwarfdump-14 --debug-info --debug-line " + image + " >/dev/null";
  double ours = 0, theirs = 0;
  DwarfCounts counts = {};
  for (int round = 0; round < rounds; round++) {
    g_cv_fuzz = CvFuzzRun{nullptr, 0, 0, 0, bytes.size(), 0, 0};
    double start = now();
    if (!dwarf_load(&kCvFuzzApi, bytes.data(), bytes.size(), &counts)) return 1;
    double took = now() - start;
    if (!ours || took < ours) ours = took;
    start = now();
    if (system(dump.c_str())) return 1;
    took = now() - start;
    if (!theirs || took < theirs) theirs = took;
  }
  printf("%d functions, %zu bytes: %u procedures, %u globals, %u locals, %u line rows\n",
         functions, bytes.size(), counts.procedures, counts.data, counts.locals,
         counts.line_pairs);
  printf("ours %.2f ms, llvm-dwarfdump %.2f ms: llvm-dwarfdump takes %.2f times as long\n",
         ours * 1000, theirs * 1000, theirs / ours);
  return 0;
}
