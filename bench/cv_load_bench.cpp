// Symbols and line entries loaded per second from the largest program database of the
// corpus (classs.pdb, Visual C++ 4.2) or the image given, in one run:
//   ours      the CodeView reader with the definitions only counted;
//   ours+kq   the reader through the plug-in's entry point into the debugger's stores,
//             the way kq.exe loads a module (image mapped, exports, debug directory);
//   dbghelp   the system's symbol handler loading the same image and PDB and
//             enumerating its symbols and line entries.
// The symbols counted are the definitions the reader makes (ours), the entries standing
// in kq's store afterwards, one per address (ours+kq), and the symbols dbghelp enumerates.
// Rounds take the loaders in turn and the best round of each counts (the one least
// disturbed by other work on the machine). Then kq.exe itself, launched as many times as
// there are rounds (16 at most) or launches: the time from its launch on GameC.exe (copied with its
// PDBs) to the stop at main with the build's plug-ins, and without plug-ins to the stop at
// the entry point, best and median:
//   cmake/wine-run.sh build/win32/bench/cv_load_bench.exe [rounds [loads per round [image
//                                                          [launches]]]]
// (an image whose PDB 7 lies beside it: the Visual C++ 2013 DLL of the corpus, a program
// built by clang and lld; launches 0 for the loads alone).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "bench/cv_load_bench_kq.h"
#include "plugin_host/kqplugin.h"
#include "plugins/cvread/cv_reader.h"
#include "plugins/tests/corpus_files.h"
#include "plugins/tests/recording_api.h"
#include "symbols/mapped_files.h"
#include "tests/support/kq_driver.h"
#include "tools/dbghelp_session.h"

extern "C" DBGAPI BOOL PLUGIN_LoadDebugInfo(BYTE *file_root, BYTE *debug_root);

namespace {

const char *g_image = KQ_CORPUS "/pdb2-jg/vc42-classs/classs.exe";
const char *g_label = "classs.pdb (1,115,136 bytes, Visual C++ 4.2)";

LoadTally g_tally;
uint32_t g_debug_offset;  // of the image's CodeView entry
uintptr_t g_handle;

void *counted_handle() { return (void *)++g_handle; }
void quiet_printf(const char *, ...) {}
const uint8_t *whole_file(const char *path, size_t *size) {
  const uint8_t *root = map_file(path);
  *size = mapped_size(root);
  return root;
}
DebugType any_type(const char *) { return counted_handle(); }
uint32_t any_address(uint16_t section, uint32_t offset) { return section ? 0x400000 + offset : 0; }
DebugType any_pointer(DebugType) { return counted_handle(); }
DebugType any_array(DebugType, uint32_t) { return counted_handle(); }
DebugType any_enum(const char *, DebugType) { return counted_handle(); }
DebugType any_struct(const char *, int) { return counted_handle(); }
DebugType any_frame(const char *, DebugType, uint32_t, uint32_t) { return counted_handle(); }
DebugType any_function(DebugType, DebugType, int) { return counted_handle(); }
void no_member(DebugType, const char *, int, DebugType) {}
DebugSource counted_source(const char *, int count, const uint16_t *, const uint32_t *) {
  g_tally.lines += (unsigned long)count;
  return counted_handle();
}
DebugEntry counted_entry(const char *, uint32_t, DebugType, DebugSource) {
  g_tally.symbols++;
  return counted_handle();
}
DebugEntry no_entry(const char *) { return nullptr; }

const DebugApi kCountingApi = {
    quiet_printf, whole_file,   unmap_file,   any_type,     any_address,
    any_pointer,  any_array,    any_enum,     any_struct,   any_frame,
    any_function, no_member,    counted_source, counted_entry, no_entry,
    nullptr,      nullptr,
};

bool offer(const uint8_t *file_root, const uint8_t *debug_root) {
  return PLUGIN_LoadDebugInfo((BYTE *)file_root, (BYTE *)debug_root);
}

bool load_counted(LoadTally *tally) {
  g_tally = LoadTally{0, 0};
  const uint8_t *image = map_file(g_image);
  size_t size = mapped_size(image);
  bool ok = image && g_debug_offset < size &&
            cv_load_debug_info(&kCountingApi, image, size, image + g_debug_offset, g_image) ==
                LOAD_OK;
  unmap_file(image);
  *tally = g_tally;
  return ok;
}

void on_symbol(void *context, uint32_t, uint32_t, uint32_t, const char *) {
  ((LoadTally *)context)->symbols++;
}
void on_line(void *context, uint32_t, uint32_t, const char *) { ((LoadTally *)context)->lines++; }

bool load_dbghelp(LoadTally *tally) {
  *tally = LoadTally{0, 0};
  const DbghelpSink sink = {tally, nullptr, on_symbol, on_line};
  const char *why = "";
  bool ok = dbghelp_enumerate(g_image, &sink, &why);
  if (!ok) fprintf(stderr, "dbghelp: %s\n", why);
  return ok;
}

const DebugInfoHandlers kHandlers = {offer, nullptr};

// Committed private memory of this process: what a load adds to it is the memory it
// costs (the heap keeps what it once took, so each loader is measured in a process of
// its own).
size_t private_bytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION info;
  for (const char *at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
       at = (const char *)info.BaseAddress + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    if ((uintptr_t)info.BaseAddress + info.RegionSize < (uintptr_t)info.BaseAddress) break;
  }
  return total;
}

size_t g_peak;
void note_memory() { g_peak = std::max(g_peak, private_bytes()); }
void note_module(void *, uint32_t, const char *, const char *) { note_memory(); }
// The first line comes after every symbol was enumerated.
void note_first_line(void *context, uint32_t, uint32_t, const char *) {
  if (!((LoadTally *)context)->lines++) note_memory();
}

// One load of kq ("kq") or of dbghelp; gives the kilobytes it added at its peak.
int memory_growth(const char *which) {
  size_t base = private_bytes();
  g_peak = base;
  LoadTally tally = {0, 0};
  bench_kq_loaded = note_memory;
  const DbghelpSink sink = {&tally, note_module, nullptr, note_first_line};
  const char *why = "";
  bool ok = strcmp(which, "kq") == 0 ? bench_kq_load(&tally)
                                     : dbghelp_enumerate(g_image, &sink, &why);
  return ok ? (int)((g_peak - base) / 1024) : -1;
}

// memory_growth in a fresh process of this program; -1 when it fails.
int child_memory_growth(const char *which) {
  char self[MAX_PATH], command[3 * MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  snprintf(command, sizeof command, "\"%s\" --memory %s \"%s\"", self, which, g_image);
  STARTUPINFOA start;
  memset(&start, 0, sizeof start);
  start.cb = sizeof start;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                      &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = (DWORD)-1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return (int)code;
}

struct Loader {
  const char *name;
  bool (*load)(LoadTally *tally);
  double best;  // seconds per load
  LoadTally tally;
};

double now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return (double)t.QuadPart / (double)f.QuadPart;
}

// Seconds from kq's launch on GameC.exe to the first stop after start-up began, which
// must be at the address; 0 when it fails.
double launch_to_stop(const std::string &plugin_folder, unsigned address) {
  KqDriver kq;
  if (!kq.place_program("bench", std::string(KQ_CORPUS) + "/pdb2-jg/vc50-GameC",
                        {"GameC.exe", "GameC.pdb", "vc50.pdb"}) ||
      !kq.set("PluginPath", plugin_folder))
    return 0;
  double start = now();
  if (!kq.start_on(kq.program) || !kq.wait_pauses(1, 60)) return 0;
  double took = now() - start;
  const bool there = kq.pause(1) == address;
  return kq.finish() == 0 && there ? took : 0;
}

// The launches in turn with and without plug-ins; false when one does not stop where
// it should.
bool time_launches(int launches) {
  const unsigned kMain = 0x401834, kEntry = 0x404120;  // as dbghelp_dump lists them
  struct Launch {
    const char *what;
    std::string plugins;
    unsigned stop;
    double seconds[16];
  } runs[] = {
      {"kq with the plug-ins, to main", own_folder() + KQ_PLUGINS, kMain, {}},
      {"kq without plug-ins, to the entry point", own_folder() + "no-plugins", kEntry, {}},
  };
  launches = std::min(launches, 16);
  for (int i = 0; i < launches; i++) {
    for (Launch &r : runs) {
      r.seconds[i] = launch_to_stop(r.plugins, r.stop);
      if (r.seconds[i] == 0) {
        fprintf(stderr, "cv_load_bench: %s did not stop at %X\n", r.what, r.stop);
        return false;
      }
    }
  }
  printf("\nGameC.exe under kq.exe, launch to the first stop, %d launches\n", launches);
  for (Launch &r : runs) {
    std::sort(r.seconds, r.seconds + launches);
    printf("%-40s best %7.1f ms, median %7.1f ms\n", r.what, r.seconds[0] * 1000,
           r.seconds[launches / 2] * 1000);
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  bool memory = argc == 4 && strcmp(argv[1], "--memory") == 0;
  if (memory) {
    g_image = argv[3];
    const char *why = "";
    if (!bench_kq_begin(g_image, &kHandlers) || !dbghelp_begin(g_image, &why)) return -1;
    return memory_growth(argv[2]);
  }
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  int loads = argc > 2 ? atoi(argv[2]) : 10;
  if (argc > 3) g_image = g_label = argv[3];
  int launches = argc > 4 ? atoi(argv[4]) : rounds;
  if (rounds < 1 || loads < 1 || launches < 0) {
    fprintf(stderr, "usage: cv_load_bench [rounds [loads per round [image [launches]]]]\n");
    return 2;
  }
  const char *why = "";
  g_debug_offset = codeview_offset(read_whole_file(g_image));
  if (!g_debug_offset || !bench_kq_begin(g_image, &kHandlers) || !dbghelp_begin(g_image, &why)) {
    fprintf(stderr, "cv_load_bench: cannot start (%s)\n", why);
    return 1;
  }
  Loader loaders[] = {
      {"ours", load_counted, 0, {}},
      {"ours+kq", bench_kq_load, 0, {}},
      {"dbghelp", load_dbghelp, 0, {}},
  };
  const int n = (int)(sizeof loaders / sizeof loaders[0]);
  for (int round = 0; round < rounds; round++) {
    for (int k = 0; k < n; k++) {
      Loader &l = loaders[(round + k) % n];
      double start = now();
      for (int i = 0; i < loads; i++) {
        if (!l.load(&l.tally)) {
          fprintf(stderr, "cv_load_bench: %s could not load %s\n", l.name, g_image);
          return 1;
        }
      }
      double each = (now() - start) / loads;
      if (l.best == 0 || each < l.best) l.best = each;
    }
  }
  dbghelp_end();
  bench_kq_end();
  printf("%s, best of %d rounds of %d loads\n", g_label, rounds, loads);
  printf("%-8s %9s %9s %12s %12s %14s\n", "loader", "symbols", "lines", "ms per load",
         "symbols/s", "line entries/s");
  for (const Loader &l : loaders)
    printf("%-8s %9lu %9lu %12.2f %12.0f %14.0f\n", l.name, l.tally.symbols, l.tally.lines,
           l.best * 1000, l.tally.symbols / l.best, l.tally.lines / l.best);
  printf("dbghelp takes %.2f times as long per load as ours, %.2f times as long as ours+kq\n",
         loaders[2].best / loaders[0].best, loaders[2].best / loaders[1].best);
  int kq_kb = child_memory_growth("kq"), dbghelp_kb = child_memory_growth("dbghelp");
  printf("memory growth of one load: ours+kq %d KB, dbghelp %d KB (ours+kq / dbghelp %.2f)\n",
         kq_kb, dbghelp_kb, dbghelp_kb > 0 ? (double)kq_kb / dbghelp_kb : 0.0);
  fflush(stdout);
  return launches == 0 || time_launches(launches) ? 0 : 1;
}
