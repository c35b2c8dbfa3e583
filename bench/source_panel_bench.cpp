// The source panel: a 20,000-line C file opened and coloured, lines per second, for each
// step the panel takes (read whole, scan the tokens, write both documents with the line
// table's addresses) against counting the file's lines with memchr, the least any viewer
// must do. Names of one function in twenty are known entries and so become links. A path
// given on the command line is used instead of the written file.
//
// Run by hand on a quiet machine (a release build):
//   cmake -S . -B build/host -G Ninja && cmake --build build/host --target source_panel_bench
//   build/host/bench/source_panel_bench [file.c]
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <string>
#include <unordered_set>
#include <vector>

#include "ui/panels/source/source_panel_text.h"
#include "ui/rich_text/rich_text_fixed.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/zone.h"

namespace {

const int kLines = 20000, kRounds = 5;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::unordered_set<std::string> g_known;
uint32_t find_known(void *, const char *name) { return g_known.count(name) ? 1 : 0; }

// Functions of eleven lines: a block comment, a signature, a loop with a string and numbers.
std::string write_file(const char *path) {
  FILE *f = fopen(path, "wb");
  for (int i = 0; i < kLines / 11; i++) {
    if (i % 20 == 0) g_known.insert("function_" + std::to_string(i));
    fprintf(f,
            "/* function_%d: adds the numbers of the table,\n"
            "   skipping the empty ones */\n"
            "static int function_%d(const int *table, int count) {\n"
            "  int sum = 0x%X;  // start value\n"
            "  for (int i = 0; i < count; i++) {\n"
            "    if (!table[i]) continue;\n"
            "    sum += table[i] * 1.5e3;\n"
            "  }\n"
            "  printf(\"sum %%d \\\"done\\\"\\n\", sum);\n"
            "  return function_%d(table, sum);\n}\n",
            i, i, i * 7, i > 0 ? i - 1 : 0);
  }
  fclose(f);
  return path;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string path = argc > 1 ? argv[1] : write_file("/tmp/kq_source_bench.c");
  size_t length = 0;
  char *text = source_read_file(path.c_str(), &length);
  if (!text) {
    fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  int lines = 0;
  for (const char *p = text; (p = (const char *)memchr(p, '\n', text + length - p)); p++) lines++;
  // One code line in three, as a debug build's line table gives.
  std::vector<SourceLine> table;
  for (int i = 1; i <= lines; i += 3) table.push_back({(uint32_t)i, 0x401000u + 4u * i});

  RichFixed fixed;
  rich_fixed_init(&fixed);
  RichText *gutter = rich_create(&fixed.measurer), *dd = rich_create(&fixed.measurer);
  const SourceMarks marks = {102, 101, 103, 0, nullptr, nullptr, -1, false, 4};
  SourceView view = {text, table.data(), (int)table.size(), find_known, nullptr, &marks};

  double best[4] = {1e9, 1e9, 1e9, 1e9};
  for (int round = 0; round < kRounds; round++) {
    double t = now();
    int counted = 0;
    for (const char *p = text; (p = (const char *)memchr(p, '\n', text + length - p)); p++)
      counted++;
    best[0] = std::min(best[0], now() - t);
    t = now();
    char *again = source_read_file(path.c_str(), nullptr);
    best[1] = std::min(best[1], now() - t);
    zone_free(again);
    t = now();
    SourceScanner s;
    source_scan_start(&s, text);
    int tokens = 0;
    while (source_scan(&s).kind != SOURCE_END) tokens++;
    best[2] = std::min(best[2], now() - t);
    t = now();
    source_write(gutter, dd, &view);
    best[3] = std::min(best[3], now() - t);
    if (counted != lines || !tokens) return 1;
  }
  printf("%s: %d lines, %zu bytes, %d document lines, %d links\n", path.c_str(), lines, length,
         rich_line_count(dd), dd->tagnum);
  const char *what[4] = {"memchr line count (floor)", "read whole", "scan tokens",
                         "write both documents"};
  for (int i = 0; i < 4; i++)
    printf("%-28s %9.3f ms %12.0f lines/s\n", what[i], best[i] * 1e3, lines / best[i]);
  printf("open and colour (read + write) %6.3f ms %12.0f lines/s\n", (best[1] + best[3]) * 1e3,
         lines / (best[1] + best[3]));
  rich_destroy(gutter);
  rich_destroy(dd);
  zone_free(text);
  return 0;
}
