// Installer throughput: a package of 50 MB of files compiled and extracted through the
// installer's own code (without the wizard's pacing), against cp of the same folder and
// tar of it (create and extract) in the same run, on the same disk.
//   build/host/setup/setup_bench [megabytes [rounds]]
// The data lies in a scratch folder beside the program and is removed at the end.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "setup/extract.h"
#include "setup/package.h"
#include "setup/script.h"
#include "util/log.h"

static double seconds_of(void (*fn)(void *), void *arg) {
  auto start = std::chrono::steady_clock::now();
  fn(arg);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Bench {
  std::string root, src, package, target;
  bool ok;
};

static void run(const std::string &command) {
  if (system(command.c_str()) != 0) fprintf(stderr, "failed: %s\n", command.c_str());
}

static void compile(void *arg) {
  Bench *b = (Bench *)arg;
  ScriptError error;
  b->ok = script_build_package(&g_setup_files, (b->root + "/bench.bat").c_str(), b->src.c_str(),
                               "/proc/self/exe", b->package.c_str(), &error);
}

static void extract(void *arg) {
  Bench *b = (Bench *)arg;
  run("rm -rf " + b->target);
  FileSource src;
  PackageInfo info;
  Variables vars = {};
  b->ok = file_source_open(&src, &g_setup_files, b->package.c_str()) &&
          package_read(&src.source, &info, READ_PLAIN) &&
          package_extract(&g_setup_files, &src.source, &info, &vars, b->target.c_str(), nullptr);
  file_source_close(&src);
  package_free(&info);
  variables_free(&vars);
}

static void copy(void *arg) {
  Bench *b = (Bench *)arg;
  run("rm -rf " + b->target + " && cp -r " + b->src + " " + b->target);
}
static void tar_create(void *arg) {
  Bench *b = (Bench *)arg;
  run("tar cf " + b->root + "/bench.tar -C " + b->src + " .");
}
static void tar_extract(void *arg) {
  Bench *b = (Bench *)arg;
  run("rm -rf " + b->target + " && mkdir " + b->target + " && tar xf " + b->root +
      "/bench.tar -C " + b->target);
}

int main(int argc, char **argv) {
  int megabytes = argc > 1 ? atoi(argv[1]) : 50;
  int rounds = argc > 2 ? atoi(argv[2]) : 5;
  char own[4096];
  ssize_t n = readlink("/proc/self/exe", own, sizeof own - 1);
  own[n > 0 ? n : 0] = 0;
  Bench b;
  b.root = std::string(own).substr(0, std::string(own).find_last_of('/')) + "/setup_bench_data";
  b.src = b.root + "/src";
  b.package = b.root + "/package.exe";
  b.target = b.root + "/target";
  run("rm -rf " + b.root + " && mkdir -p " + b.src + "/sub");
  // One file of a megabyte for each but the last, which goes into small files in a
  // sub-folder, as an installation has both.
  for (int i = 0; i < megabytes; i++) {
    char name[64];
    if (i + 1 < megabytes) {
      snprintf(name, sizeof name, "/file%03d.bin", i);
      run("head -c 1048576 /dev/urandom > " + b.src + name);
    } else {
      for (int k = 0; k < 256; k++) {
        snprintf(name, sizeof name, "/sub/small%03d.txt", k);
        run("head -c 4096 /dev/urandom > " + b.src + name);
      }
    }
  }
  FILE *script = fopen((b.root + "/bench.bat").c_str(), "w");
  fputs("#pack\nset $PRODUCT=Bench;\nfile *.bin;\nfile sub\\*.txt;\n", script);
  fclose(script);
  log_open_file((b.root + "/bench.log").c_str(), "setup_bench");

  struct Row {
    const char *name;
    void (*fn)(void *);
    double best;
  } rows[] = {{"compile package", compile, 1e9}, {"extract package", extract, 1e9},
              {"cp -r", copy, 1e9}, {"tar c", tar_create, 1e9}, {"tar x", tar_extract, 1e9}};
  for (int r = 0; r < rounds; r++)
    for (Row &row : rows) {
      run("sync");
      double t = seconds_of(row.fn, &b);
      if (t < row.best) row.best = t;
    }
  printf("%d MB of files (%d rounds, best):\n", megabytes, rounds);
  for (const Row &row : rows)
    printf("  %-16s %8.1f ms %8.0f MB/s\n", row.name, row.best * 1000, megabytes / row.best);
  log_close();
  run("rm -rf " + b.root);
  return b.ok ? 0 : 1;
}
