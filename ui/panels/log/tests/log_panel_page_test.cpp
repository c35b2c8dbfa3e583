// The log panel's page over texts in memory and over real files: line steps, the last page,
// following a growing file, go-to and search, line kinds, the written page; and a 200 MB
// file whose last page must equal what tail prints.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ui/panels/log/log_panel_page.h"
#include "ui/panels/log/log_panel_text.h"
#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/tests/test_support.h"
#include "util/zone.h"

namespace {

int memory_read(void *context, uint64_t offset, char *out, int count) {
  const std::string *s = (const std::string *)context;
  if (offset >= s->size()) return 0;
  const size_t n = std::min((size_t)count, s->size() - (size_t)offset);
  memcpy(out, s->data() + offset, n);
  return (int)n;
}
uint64_t memory_size(void *context) { return ((const std::string *)context)->size(); }
LogSource memory_source(const std::string *s) {
  return {(void *)s, memory_read, memory_size};
}

int file_read(void *context, uint64_t offset, char *out, int count) {
  const ssize_t got = pread(fileno((FILE *)context), out, count, (off_t)offset);
  return got < 0 ? 0 : (int)got;
}
uint64_t file_size(void *context) {
  FILE *f = (FILE *)context;
  fflush(f);
  const off_t here = lseek(fileno(f), 0, SEEK_END);
  return here < 0 ? 0 : (uint64_t)here;
}

// A file of its own under the system's temporary folder, removed with the record.
struct TempFile {
  char path[64] = "/tmp/kq_log_page_XXXXXX";
  FILE *f = nullptr;
  TempFile() {
    const int fd = mkstemp(path);
    if (fd >= 0) f = fdopen(fd, "w+");
  }
  ~TempFile() {
    if (f) fclose(f);
    unlink(path);
  }
  LogSource source() { return {f, file_read, file_size}; }
};

std::vector<std::string> page_texts(const LogSource *src, const LogView *view) {
  LogLine lines[64];
  const int n = log_read_page(src, view, lines, view->lines < 64 ? view->lines : 64);
  std::vector<std::string> out;
  for (int i = 0; i < n; i++) out.push_back(std::string(lines[i].text, lines[i].length));
  return out;
}

TEST(LogPage, LineSteps) {
  struct Case {
    const char *text;
    uint64_t pos;
    int n;  // > 0 forward, < 0 back, 0 the line's start
    uint64_t want;
    int passed;
  };
  const Case cases[] = {
      {"ab\ncd\nef\n", 0, 1, 3, 1},     {"ab\ncd\nef\n", 0, 2, 6, 2},
      {"ab\ncd\nef\n", 0, 5, 9, 3},     {"ab\ncd\nef", 4, 5, 8, 1},
      {"ab\ncd\nef\n", 6, -1, 3, 1},    {"ab\ncd\nef\n", 6, -2, 0, 2},
      {"ab\ncd\nef\n", 6, -9, 0, 2},    {"ab\ncd\nef\n", 7, -1, 3, 1},
      {"ab\ncd\nef\n", 7, 0, 6, 0},     {"ab\ncd\nef\n", 3, 0, 3, 0},
      {"ab\ncd\nef\n", 1, 0, 0, 0},     {"", 0, 1, 0, 0},
      {"", 0, -1, 0, 0},                {"\n\n\n", 3, -2, 1, 2},
  };
  for (const Case &c : cases) {
    const std::string text = c.text;
    const LogSource src = memory_source(&text);
    uint64_t at = 99;
    int passed = 0;
    if (c.n > 0) passed = log_step_forward(&src, c.pos, c.n, &at);
    else if (c.n < 0) passed = log_step_back(&src, c.pos, -c.n, &at);
    else at = log_line_start(&src, c.pos);
    EXPECT_EQ(at, c.want) << c.text << " from " << c.pos << " by " << c.n;
    EXPECT_EQ(passed, c.passed) << c.text << " from " << c.pos << " by " << c.n;
  }
}

TEST(LogPage, LastPageTop) {
  struct Case {
    const char *text;
    int lines;
    uint64_t want;
  };
  const Case cases[] = {
      {"", 3, 0},           {"a\nb\nc\nd\n", 2, 4}, {"a\nb\nc\nd", 2, 4},
      {"a\nb\nc\nd\n", 9, 0}, {"a\nb\nc\nd\n", 1, 6}, {"a\nb\n\n", 1, 4},
  };
  for (const Case &c : cases) {
    const std::string text = c.text;
    const LogSource src = memory_source(&text);
    EXPECT_EQ(log_last_page_top(&src, text.size(), c.lines), c.want) << c.text << c.lines;
  }
}

// A line longer than the page shows keeps its first 260 bytes and says it went on; the
// next line starts after its line feed; a final CR is not shown.
TEST(LogPage, LongLinesAndEnds) {
  const std::string text = std::string(300, 'x') + "\nshort\r\nend";
  const LogSource src = memory_source(&text);
  LogView view = {text.size(), 0, false, 10, 0, 0};
  LogLine lines[4];
  ASSERT_EQ(log_read_page(&src, &view, lines, 4), 3);
  EXPECT_EQ(lines[0].length, 260);
  EXPECT_TRUE(lines[0].longer);
  EXPECT_EQ(lines[1].start, 301u);
  EXPECT_STREQ(lines[1].text, "short");
  EXPECT_FALSE(lines[1].longer || lines[1].last);
  EXPECT_STREQ(lines[2].text, "end");
  EXPECT_TRUE(lines[2].last);
}

// The end stays in view while the file grows; one line up, the page stays put.
TEST(LogPage, FollowsAGrowingFile) {
  TempFile file;
  ASSERT_TRUE(file.f);
  const LogSource src = file.source();
  LogView view = {};
  view.lines = 5;
  for (int i = 1; i <= 20; i++) fprintf(file.f, "line %d\n", i);
  ASSERT_TRUE(log_refresh(&src, &view));
  EXPECT_FALSE(view.follow);
  log_go_end(&src, &view);  // as the panel does when it opens the file
  EXPECT_TRUE(view.follow);
  EXPECT_EQ(page_texts(&src, &view).back(), "line 20");
  for (int i = 21; i <= 30; i++) {
    fprintf(file.f, "line %d\n", i);
    ASSERT_TRUE(log_refresh(&src, &view));
    const std::vector<std::string> page = page_texts(&src, &view);
    ASSERT_EQ(page.size(), 5u);
    EXPECT_EQ(page.back(), "line " + std::to_string(i));
  }
  EXPECT_FALSE(log_refresh(&src, &view));  // no growth, nothing to read again
  log_scroll_lines(&src, &view, -1);
  EXPECT_FALSE(view.follow);
  for (int i = 31; i <= 40; i++) fprintf(file.f, "line %d\n", i);
  ASSERT_TRUE(log_refresh(&src, &view));
  EXPECT_EQ(page_texts(&src, &view).front(), "line 25");
  // Scrolling down to the last page follows again.
  log_scroll_lines(&src, &view, 100);
  EXPECT_TRUE(view.follow);
  fprintf(file.f, "line 41\n");
  ASSERT_TRUE(log_refresh(&src, &view));
  EXPECT_EQ(page_texts(&src, &view).back(), "line 41");
}

TEST(LogPage, GoToAndSearch) {
  std::string text;
  for (int i = 1; i <= 100; i++)
    text += "row " + std::to_string(i) + (i == 70 ? " needle\n" : "\n");
  const LogSource src = memory_source(&text);
  LogView view = {text.size(), 0, false, 10, 0, 0};
  struct Case {
    const char *go;
    const char *first;  // the top line after it
    bool follow;
  };
  const Case cases[] = {
      {"1", "row 1", false},   {"42", "row 42", false}, {"0", "row 1", false},
      {"95", "row 91", true},  {"%0", "row 1", false},  {"%100", "row 91", true},
      {"  7", "row 7", false},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(log_go_to(&src, &view, c.go)) << c.go;
    EXPECT_EQ(page_texts(&src, &view).front(), c.first) << c.go;
    EXPECT_EQ(view.follow, c.follow) << c.go;
  }
  EXPECT_FALSE(log_go_to(&src, &view, "x"));
  // %50 goes to the line holding the middle byte.
  ASSERT_TRUE(log_go_to(&src, &view, "%50"));
  LogLine line;
  ASSERT_TRUE(log_read_line(&src, view.top, view.size, &line));
  EXPECT_LE(line.start, text.size() / 2);
  EXPECT_GT(line.next, text.size() / 2);

  log_go_start(&src, &view);
  ASSERT_TRUE(log_search(&src, &view, "needle", true));
  EXPECT_EQ(page_texts(&src, &view).front(), "row 70 needle");
  EXPECT_EQ(text.substr(view.select_start, view.select_end - view.select_start), "needle");
  const uint64_t found = view.top;
  EXPECT_FALSE(log_search(&src, &view, "needle", true));  // starts at the line after
  EXPECT_EQ(view.top, found);
  ASSERT_TRUE(log_search(&src, &view, "row 5", false));
  EXPECT_EQ(page_texts(&src, &view).front(), "row 59");
  EXPECT_FALSE(log_search(&src, &view, "row 1\n", false));  // no line feed is searched
  log_go_end(&src, &view);
  EXPECT_TRUE(view.follow);
  EXPECT_EQ(page_texts(&src, &view).back(), "row 100");
  ASSERT_TRUE(log_search(&src, &view, "row 1", false));
  EXPECT_EQ(page_texts(&src, &view).front(), "row 19");
  EXPECT_FALSE(view.follow);
}

TEST(LogPage, FilterWordsAndKinds) {
  LogFilter filter;
  ASSERT_EQ(log_parse_filter(&filter, " Error ,Warn,,  Info, Debug ,"), 4);
  EXPECT_STREQ(filter.words[3].word, "Debug");
  const int kinds[] = {0, 1, 2, 3};
  for (int i = 0; i < 4; i++) EXPECT_EQ(filter.words[i].kind, kinds[i]);
  ASSERT_EQ(log_parse_filter(&filter, "info,ERROR"), 2);
  EXPECT_EQ(filter.words[0].kind, 2);
  EXPECT_EQ(filter.words[1].kind, 0);

  struct Case {
    const char *filter, *line;
    int kind;
  };
  const Case cases[] = {
      {"Error, Warn, Info, Debug", "  Error: it broke", 0},
      {"Error, Warn, Info, Debug", "  xError: it broke", -1},
      {"Error, Warn, Info, Debug", "Warning: no", -1},  // glued to a letter
      {"Error, Warn, Info, Debug", "Warn", 1},
      {"Error, Warn, Info, Debug", "[Debug] x", -1},     // no white space before it
      {"Error, Warn, Info, Debug", "\tDebug x", 3},
      {"Error, Warn, Info, Debug", "  error: x", -1},    // words are case-sensitive
      {"Info, Error", "Info and Error", 2},
      {"Info, Error", "Error and Info", 0},
      {"Info, Error", "", -1},
  };
  for (const Case &c : cases) {
    log_parse_filter(&filter, c.filter);
    EXPECT_EQ(log_line_kind(&filter, c.line, (int)strlen(c.line)), c.kind) << c.line;
  }
}

uint32_t find_entry(void *, const char *name) {
  return !strcmp(name, "main") ? 0x1234 : !strcmp(name, "_start") ? 0x5678 : 0;
}

TEST(LogPage, WrittenPage) {
  const std::string text = std::string("  Error: main at 0x401000\n") + "_start x_y main" +
                           std::string(3, '\0') + "!\n" + std::string(300, 'z') + "\n";
  const LogSource src = memory_source(&text);
  LogView view = {text.size(), 0, false, 10, 0, 0};
  LogLine lines[4];
  const int count = log_read_page(&src, &view, lines, 4);
  ASSERT_EQ(count, 3);
  LogFilter filter;
  log_parse_filter(&filter, "Error, Warn, Info, Debug");
  struct Case {
    bool hyperlinks;
    std::vector<uint32_t> links;
  };
  const Case cases[] = {{true, {0x1234, 0x5678, 0x1234}}, {false, {0x5678}}};
  for (const Case &c : cases) {
    RichDoc doc;
    LogStyle style = {&filter, c.hyperlinks, find_entry, nullptr, 0, 0, 0};
    log_write_page(doc.dd, lines, count, &style);
    ASSERT_EQ(rich_line_count(doc.dd), 3);
    char *all = rich_text_range(doc.dd, 0, rich_length(doc.dd));
    // The skip before each line's text reads back as a space.
    EXPECT_EQ(std::string(all), " " + std::string("  Error: main at 0x401000\r\n") +
                                    " _start x_y main?!\r\n " + std::string(260, 'z'));
    zone_free(all);
    std::vector<uint32_t> links;
    for (int i = 0; i < doc.dd->tagnum; i++) links.push_back(doc.dd->tags[i].param);
    EXPECT_EQ(links, c.links);
    EXPECT_EQ(rich_line_param(doc.dd, 1), lines[1].start);
    EXPECT_EQ(rich_line_param(doc.dd, 2), lines[2].start);
  }
}

// 200 MB of lines of many lengths: the last page is what tail prints, and going to 50 %
// shows the line that holds the middle byte.
TEST(LogPage, LargeFileAgainstTail) {
  TempFile file;
  ASSERT_TRUE(file.f);
  const uint64_t target = 200ull << 20;
  std::string block;
  for (int i = 0; i < 4000; i++)
    block += "0x" + std::to_string(i * 7919) + std::string(i % 97, 'a' + i % 26) + "\n";
  uint64_t written = 0;
  while (written < target) {
    ASSERT_EQ(fwrite(block.data(), 1, block.size(), file.f), block.size());
    written += block.size();
  }
  fprintf(file.f, "the very last line\n");
  const LogSource src = file.source();
  LogView view = {};
  view.lines = 40;
  ASSERT_TRUE(log_refresh(&src, &view));
  EXPECT_GT(view.size, target);
  log_go_end(&src, &view);

  std::string page;
  for (const std::string &s : page_texts(&src, &view)) page += s + "\n";
  std::string tail;
  FILE *p = popen(("tail -n 40 " + std::string(file.path)).c_str(), "r");
  ASSERT_TRUE(p);
  char buf[4096];
  size_t got;
  while ((got = fread(buf, 1, sizeof buf, p)) > 0) tail.append(buf, got);
  ASSERT_EQ(pclose(p), 0);
  EXPECT_EQ(page, tail);

  ASSERT_TRUE(log_go_to(&src, &view, "%50"));
  LogLine line;
  ASSERT_TRUE(log_read_line(&src, view.top, view.size, &line));
  EXPECT_LE(line.start, view.size / 2);
  EXPECT_GT(line.next, view.size / 2);
}

}  // namespace

namespace {

struct Listed {
  int number, kind;
  uint64_t start;
  std::string text;
  bool operator==(const Listed &o) const {
    return number == o.number && kind == o.kind && start == o.start && text == o.text;
  }
};

void collect_row(void *context, const LogFilterRow *r) {
  ((std::vector<Listed> *)context)->push_back({r->number, r->kind, r->start, r->text});
}

// The filter dialog lists the lines with a kind, numbered over all lines from 0, with
// control characters blanked and at most 259 bytes of each.
TEST(LogPage, FilterRows) {
  const std::string text = std::string("start\n") + "  Error: disk\n" + "plain\n" +
                           "Info\tdone\r\n" + "Warn " + std::string(300, 'w') + "\n" + "Debug x";
  const LogSource src = memory_source(&text);
  LogFilter filter;
  log_parse_filter(&filter, "Error, Warn, Info, Debug");
  std::vector<Listed> rows;
  EXPECT_EQ(log_filter_rows(&src, text.size(), &filter, collect_row, &rows), 4);
  const std::vector<Listed> want = {
      {1, 0, 6, "  Error: disk"},
      {3, 2, 26, "Info done"},
      {4, 1, 37, "Warn " + std::string(254, 'w')},
      {5, 3, 343, "Debug x"},
  };
  EXPECT_EQ(rows, want);
}

// Lines as kq's own log writes them, each behind its number and a tab: its warnings, a
// debuggee's output and a message that only holds a filter word further in. The kinds
// come from the text after the number, never from the number itself.
TEST(LogPage, KindsOfKqsOwnLogLines) {
  const std::string path = open_test_log("log_panel_kinds");
  log_warning("Unknown parameter name '%s'", "shade");
  log_write("Error: the debuggee could not open its file\n");
  log_write("  Info 12 lines\n");
  log_printf("Cannot open executable '%s'\n", "Warn.exe");
  log_printf("%u\n", 1u);
  log_close();
  const std::string text = read_file(path);
  remove(path.c_str());
  ASSERT_NE(text.find("\tWARNING: Unknown parameter"), std::string::npos) << text;
  const LogSource src = memory_source(&text);
  LogFilter filter;
  log_parse_filter(&filter, "Error, Warn, Info, Debug, WARNING, 1");
  std::vector<Listed> rows;
  log_filter_rows(&src, text.size(), &filter, collect_row, &rows);
  std::vector<std::string> kinds;
  for (const Listed &r : rows)
    kinds.push_back(std::to_string(r.kind) + r.text.substr(r.text.find(' ', 1)));
  const std::vector<std::string> want = {
      "3 WARNING: Unknown parameter name 'shade'",
      "0 Error: the debuggee could not open its file",
      "2   Info 12 lines",
      "3 1",
  };
  EXPECT_EQ(kinds, want) << text;
}

}  // namespace
