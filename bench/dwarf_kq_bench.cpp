// The DWARF plug-in's entry point loading a generated program of a few thousand functions
// (bench/dwarf_bench_program.cmake, built with -gdwarf-4) into kq's stores, the way kq.exe loads
// a module (image mapped, exports, the image offered to the plug-in by its path), against
// dbghelp loading the same image and enumerating its symbols and line entries. Rounds take
// the two in turn; the best round of each counts:
//   cmake/wine-run.sh build/win32/bench/dwarf_kq_bench.exe [rounds]
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "bench/cv_load_bench_kq.h"
#include "plugin_host/kqplugin.h"
#include "tests/support/kq_driver.h"
#include "tools/dbghelp_session.h"

extern "C" DBGAPI BOOL PLUGIN_SeekDebugInfo(char *path);

namespace {

bool seek(const char *path) {
  char copy[MAX_PATH];
  snprintf(copy, sizeof copy, "%s", path);
  return PLUGIN_SeekDebugInfo(copy);
}
const DebugInfoHandlers kHandlers = {nullptr, seek};

std::string g_image;

void on_symbol(void *context, uint32_t, uint32_t, uint32_t, const char *) {
  ((LoadTally *)context)->symbols++;
}
void on_line(void *context, uint32_t, uint32_t, const char *) { ((LoadTally *)context)->lines++; }

bool load_dbghelp(LoadTally *tally) {
  *tally = LoadTally{0, 0};
  const DbghelpSink sink = {tally, nullptr, on_symbol, on_line};
  const char *why = "";
  bool ok = dbghelp_enumerate(g_image.c_str(), &sink, &why);
  if (!ok) fprintf(stderr, "dbghelp: %s\n", why);
  return ok;
}

double now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return (double)t.QuadPart / (double)f.QuadPart;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  g_image = own_folder() + "dwarf_bench_program.exe";
  const char *why = "";
  if (rounds < 1 || !bench_kq_begin(g_image.c_str(), &kHandlers) ||
      !dbghelp_begin(g_image.c_str(), &why)) {
    fprintf(stderr, "dwarf_kq_bench: cannot start (%s)\n", why);
    return 1;
  }
  struct Loader {
    const char *name;
    bool (*load)(LoadTally *tally);
    double best;
    LoadTally tally;
  } loaders[] = {{"ours+kq", bench_kq_load, 0, {}}, {"dbghelp", load_dbghelp, 0, {}}};
  for (int round = 0; round < rounds; round++) {
    for (int k = 0; k < 2; k++) {
      Loader &l = loaders[(round + k) % 2];
      double start = now();
      if (!l.load(&l.tally)) {
        fprintf(stderr, "dwarf_kq_bench: %s could not load %s\n", l.name, g_image.c_str());
        return 1;
      }
      double took = now() - start;
      if (l.best == 0 || took < l.best) l.best = took;
    }
  }
  dbghelp_end();
  bench_kq_end();
  printf("%s, best of %d rounds\n%-8s %9s %9s %12s\n", g_image.c_str(), rounds, "loader",
         "symbols", "lines", "ms per load");
  for (const Loader &l : loaders)
    printf("%-8s %9lu %9lu %12.2f\n", l.name, l.tally.symbols, l.tally.lines, l.best * 1000);
  printf("dbghelp takes %.2f times as long per load as ours+kq\n", loaders[1].best / loaders[0].best);
  return 0;
}
