// The log panel's page over a 200 MB file: pages down (60 lines each) per second, the time
// to follow the end after 10,000 new lines, going to 50 % and to a line a million lines
// down, and a search that finds nothing in the last 10 MB; against tail -n 60 of the same
// file and against reading the whole file once (what a panel that loads its file would pay
// on every open).
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/host --target log_page_bench && build/host/bench/log_page_bench
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "ui/panels/log/log_panel_page.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int file_read(void *context, uint64_t offset, char *out, int count) {
  const ssize_t got = pread(*(int *)context, out, count, (off_t)offset);
  return got < 0 ? 0 : (int)got;
}
uint64_t file_size(void *context) {
  const off_t end = lseek(*(int *)context, 0, SEEK_END);
  return end < 0 ? 0 : (uint64_t)end;
}

template <typename F>
void measure(const char *what, F step) {
  long runs = 0;
  const double start = now();
  double elapsed = 0;
  while (elapsed < 1.0) {
    step(runs++);
    elapsed = now() - start;
  }
  printf("%-36s %12.1f us\n", what, elapsed / runs * 1e6);
}

}  // namespace

int main() {
  char path[] = "/tmp/kq_log_bench_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return 1;
  std::string block;
  for (int i = 0; i < 4000; i++)
    block += " " + std::to_string(i) + "\tline of a log " + std::string(i % 80, 'x') + "\n";
  for (uint64_t written = 0; written < (200ull << 20); written += block.size())
    if (write(fd, block.data(), block.size()) != (ssize_t)block.size()) return 1;
  const LogSource src = {&fd, file_read, file_size};
  LogView view = {};
  view.lines = 60;
  log_refresh(&src, &view);
  log_go_end(&src, &view);
  printf("file %llu MB, page %d lines\n", (unsigned long long)(view.size >> 20), view.lines);
  static LogLine lines[60];
  log_go_start(&src, &view);
  long pages = 0;
  const double start = now();
  while (now() - start < 1.0 && !view.follow) {
    log_scroll_lines(&src, &view, view.lines);
    log_read_page(&src, &view, lines, view.lines);
    pages++;
  }
  printf("%-36s %12.0f pages/s\n", "page down from the start", pages / (now() - start));
  // Twenty times 10,000 new lines, each followed to the end (the file grows by some 12 MB).
  std::string ten_thousand;
  for (int i = 0; i < 10000; i++) ten_thousand += " " + std::to_string(i) + "\tnew line\n";
  double followed = 0;
  for (int round = 0; round < 20; round++) {
    if (write(fd, ten_thousand.data(), ten_thousand.size()) != (ssize_t)ten_thousand.size())
      return 1;
    const double begun = now();
    log_refresh(&src, &view);
    log_read_page(&src, &view, lines, view.lines);
    followed += now() - begun;
  }
  printf("%-36s %12.1f us\n", "follow the end after 10,000 new lines", followed / 20 * 1e6);
  measure("tail -n 60", [&](long) {
    FILE *tail = popen(("tail -n 60 " + std::string(path)).c_str(), "r");
    static char out[1 << 16];
    while (tail && fread(out, 1, sizeof out, tail) > 0) {
    }
    if (tail) pclose(tail);
  });
  measure("go to 50 %", [&](long) { log_go_to(&src, &view, "%50"); });
  measure("go to line 1000000", [&](long) { log_go_to(&src, &view, "1000000"); });
  measure("search missing in the last 10 MB", [&](long) {
    view.top = log_line_start(&src, view.size - (10u << 20));
    view.follow = false;
    log_search(&src, &view, "no such text", true);
  });
  measure("reading the whole file once", [&](long) {
    static char buffer[1 << 16];
    for (uint64_t at = 0; at < view.size; at += sizeof buffer)
      file_read(&fd, at, buffer, sizeof buffer);
  });
  close(fd);
  unlink(path);
  return 0;
}
