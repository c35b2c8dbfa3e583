// The DWARF reader on a generated program of a few thousand functions (each with a
// structure local, a loop and a global), built with mingw-w64's gcc -g, against
// llvm-dwarfdump parsing the same file (--debug-info --debug-line, output discarded).
// The reader's definitions are only counted here; best of the rounds for each:
//   build/host/bench/dwarf_load_bench [functions [rounds]]
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "plugins/dwarfread/dwarf_reader.h"
#include "plugins/tests/recording_api.h"

namespace {

unsigned long g_definitions, g_rows;
uintptr_t g_handle;

void *handle() { return (void *)++g_handle; }
void quiet(const char *, ...) {}
DebugType any_type(const char *) { return handle(); }
uint32_t any_address(uint16_t section, uint32_t offset) { return section ? 0x400000 + offset : 0; }
DebugType any_pointer(DebugType) { return handle(); }
DebugType any_array(DebugType, uint32_t) { return handle(); }
DebugType any_enum(const char *, DebugType) { return handle(); }
DebugType any_struct(const char *, int) { return handle(); }
DebugType any_frame(const char *, DebugType, uint32_t, uint32_t) { return handle(); }
DebugType any_function(DebugType, DebugType, int) { return handle(); }
void any_member(DebugType, const char *, int, DebugType) { g_definitions++; }
DebugSource any_source(const char *, int count, const uint16_t *, const uint32_t *) {
  g_rows += (unsigned long)count;
  return handle();
}
DebugEntry any_entry(const char *, uint32_t, DebugType, DebugSource) {
  g_definitions++;
  return handle();
}
DebugEntry no_entry(const char *) { return nullptr; }
const DebugApi kCounting = {quiet,       nullptr,      nullptr,     any_type,   any_address,
                            any_pointer, any_array,    any_enum,    any_struct, any_frame,
                            any_function, any_member,  any_source,  any_entry,  no_entry};

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
    g_definitions = g_rows = 0;
    double start = now();
    if (!dwarf_load(&kCounting, bytes.data(), bytes.size(), &counts)) return 1;
    double took = now() - start;
    if (!ours || took < ours) ours = took;
    start = now();
    if (system(dump.c_str())) return 1;
    took = now() - start;
    if (!theirs || took < theirs) theirs = took;
  }
  printf("%d functions, %zu bytes: %u procedures, %lu entries and locals, %lu line rows\n",
         functions, bytes.size(), counts.procedures, g_definitions, g_rows);
  printf("ours %.2f ms, llvm-dwarfdump %.2f ms: llvm-dwarfdump takes %.2f times as long\n",
         ours * 1000, theirs * 1000, theirs / ours);
  return 0;
}
