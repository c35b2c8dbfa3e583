// The source panel's scanner, documents and moves: C tokens across lines, links and comment
// colours as drawn, code-line addresses from a line table, and the text chosen for an
// address from a source file on disk or a real module's dump.
#include "ui/panels/source/source_panel_text.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "symbols/sources.h"
#include "symbols/tests/symbols_fixture.h"
#include "ui/rich_text/tests/drawn_runs.h"
#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

std::vector<std::string> scan_all(const char *text, std::vector<int> *kinds) {
  SourceScanner s;
  source_scan_start(&s, text);
  std::vector<std::string> out;
  for (;;) {
    const SourceToken t = source_scan(&s);
    if (t.kind == SOURCE_END) return out;
    out.push_back(std::string(text + t.start, t.length));
    kinds->push_back(t.kind);
  }
}

TEST(SourceScanner, TokensOfC) {
  struct Case {
    const char *text;
    std::vector<std::string> tokens;
    std::vector<int> kinds;
  };
  const int C = SOURCE_COMMENT_TOKEN, W = SOURCE_SPACE, P = SOURCE_PREPROCESSOR, L = SOURCE_LITERAL,
            I = SOURCE_IDENTIFIER, U = SOURCE_PUNCTUATION, E = SOURCE_EOL;
  const Case cases[] = {
      {"#  include <x.h>", {"#  include", " ", "<", "x", ".", "h", ">"}, {P, W, U, I, U, I, U}},
      {"a=0x1F+1.5e3;", {"a", "=", "0x1F", "+", "1.5e3", ";"}, {I, U, L, U, L, U}},
      {"x // c\ny", {"x", " ", "// c", "\n", "y"}, {I, W, C, E, I}},
      // A comment over three lines: every piece of it is a comment token.
      {"a/* b\nc\nd */e",
       {"a", "/*", " b", "\n", "c", "\n", "d ", "*/", "e"},
       {I, C, C, E, C, E, C, C, I}},
      // Nested openings need as many closings.
      {"/*/**/x*/y", {"/*", "/*", "*/", "x", "*/", "y"}, {C, C, C, C, C, I}},
      // An escaped quote stays inside; a string left open continues on the next line.
      {"s=\"a\\\"b\";", {"s", "=", "\"a\\\"b\"", ";"}, {I, U, L, U}},
      {"'x\ny' z", {"'x", "\n", "y'", " ", "z"}, {L, E, L, W, I}},
      {"_v1\t\tp", {"_v1", "\t\t", "p"}, {I, W, I}},
      {"a */ b", {"a", " ", "*", "/", " ", "b"}, {I, W, U, U, W, I}},
  };
  for (const Case &c : cases) {
    std::vector<int> kinds;
    EXPECT_EQ(c.tokens, scan_all(c.text, &kinds)) << c.text;
    EXPECT_EQ(c.kinds, kinds) << c.text;
  }
}

uint32_t find_known(void *, const char *name) {
  static const std::map<std::string, uint32_t> known = {{"main", 0x401000}, {"helper", 0x401100}};
  auto it = known.find(name);
  return it == known.end() ? 0 : it->second;
}

const char kMade[] =
    "/* made.c: a\r\n"
    "   long comment */\r\n"
    "int helper(int x) { return x + 1; }\r\n"
    "\r\n"
    "int main(void) {\r\n"
    "  int main_copy = helper(2); // main\r\n"
    "  return main_copy;\r\n"
    "}\r\n";
// In address order, as line tables are; two pairs for line 6: the first must be its
// parameter.
const SourceLine kMadeLines[] = {{5, 0x401000}, {6, 0x401004}, {6, 0x401008}, {7, 0x401010},
                                 {8, 0x401018}, {3, 0x401100}, {99, 0x401200}};

// The fixed measurer's pictures: 102 is 16 x 16, 101 40 x 30, 103 100 x 50.
enum : RichHandle { CODE_MARK = 102, BREAKPOINT_MARK = 101, IP_MARK = 103, IP_JUMP_MARK = 104 };

bool breakpoint_at_4(void *, uint32_t address) { return address == 0x401004; }

struct Made {
  RichDoc gutter, text;
  SourceMarks marks = {CODE_MARK, BREAKPOINT_MARK, IP_MARK, IP_JUMP_MARK, breakpoint_at_4, nullptr,
                       4,         false,           4};
  int lines;
  Made() {
    SourceView view = {kMade,      kMadeLines, (int)(sizeof kMadeLines / sizeof kMadeLines[0]),
                       find_known, nullptr,    &marks};
    lines = source_write(gutter.dd, text.dd, &view);
  }
};

TEST(SourceDocument, LinesColoursAndAddresses) {
  Made m;
  ASSERT_EQ(8, m.lines);
  std::string gutter;
  for (const DrawnRun &r : drawn_runs(m.gutter.dd))
    if (!r.image) gutter += r.text + "|";
  EXPECT_EQ("   1 |   2 |   3 |   4 |   5 |   6 |   7 |   8 |", gutter);
  // Comments green on both lines of the long one, known names as links, the rest plain;
  // no carriage return reaches the document.
  std::map<std::string, uint32_t> colour;
  std::string all;
  for (const DrawnRun &r : drawn_runs(m.text.dd)) {
    all += r.text;
    colour[r.text] = r.color;
  }
  EXPECT_EQ(std::string::npos, all.find('\r'));
  const std::pair<const char *, uint32_t> want_colour[] = {{" made.c: a", SOURCE_COMMENT},
                                                           {"   long comment ", SOURCE_COMMENT},
                                                           {"// main", SOURCE_COMMENT},
                                                           {"helper", SOURCE_LINK},
                                                           {"main", SOURCE_LINK}};
  for (const auto &w : want_colour) {
    ASSERT_TRUE(colour.count(w.first)) << w.first << " in " << all;
    EXPECT_EQ(w.second, colour[w.first]) << w.first;
  }
  // Each link's parameter is the entry it names; the name inside a comment is none.
  RichText *dd = m.text.dd;
  ASSERT_EQ(3, dd->tagnum);
  EXPECT_EQ(0x401100u, rich_tag_param(dd, 0));
  EXPECT_EQ(0x401000u, rich_tag_param(dd, 1));
  EXPECT_EQ(0x401100u, rich_tag_param(dd, 2));

  const uint32_t want[8] = {0, 0, 0x401100, 0, 0x401000, 0x401004, 0x401010, 0x401018};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(want[i] != 0, rich_has_param(dd, i)) << i;
    if (want[i]) {
      EXPECT_EQ(want[i], rich_line_param(dd, i)) << i;
    }
  }
}

// The pictures drawn in the gutter: line, picture and left edge.
struct Mark {
  int line;
  RichHandle image;
  int x;
  bool operator==(const Mark &o) const { return line == o.line && image == o.image && x == o.x; }
};
std::vector<Mark> draw_marks(RichText *gutter) {
  std::vector<Mark> marks;
  for (const DrawnRun &run : drawn_runs(gutter))
    for (int i = 0; run.image && i < rich_line_count(gutter); i++) {
      RichRect r;
      rich_line_rect(gutter, i, &r);
      if (run.y >= r.top && run.y < r.bottom) marks.push_back({i, run.image, run.x});
    }
  return marks;
}

TEST(SourceDocument, GutterMarks) {
  Made m;
  // Code marks on the lines with code, the breakpoint 4 pixels right of its code mark, the
  // instruction pointer's mark right of the breakpoint column.
  const int bp_x = 16 + 4, ip_x = bp_x + 40 + 4;
  std::vector<Mark> want = {{2, CODE_MARK, 0}, {4, CODE_MARK, 0},          {4, IP_MARK, ip_x},
                            {5, CODE_MARK, 0}, {5, BREAKPOINT_MARK, bp_x}, {6, CODE_MARK, 0},
                            {7, CODE_MARK, 0}};
  EXPECT_EQ(want, draw_marks(m.gutter.dd));
  // A taken jump at the instruction pointer has the other picture; no line, no mark.
  m.marks.ip_jumps = true;
  m.marks.ip_line = 7;
  source_write_gutter(m.gutter.dd, m.text.dd, m.lines, &m.marks);
  want = {{2, CODE_MARK, 0}, {4, CODE_MARK, 0}, {5, CODE_MARK, 0},      {5, BREAKPOINT_MARK, bp_x},
          {6, CODE_MARK, 0}, {7, CODE_MARK, 0}, {7, IP_JUMP_MARK, ip_x}};
  EXPECT_EQ(want, draw_marks(m.gutter.dd));
}

TEST(SourceDocument, LinesOfAddressesAndAddressesOfLines) {
  Made m;
  RichText *dd = m.text.dd;
  struct AtCase {
    uint32_t address;
    int line;
  };
  const AtCase at[] = {{0x400FFF, -1}, {0x401000, 4}, {0x401003, 4}, {0x401004, 5},
                       {0x401100, 2},  {0x401017, 6}, {0x401300, 2}};
  for (const AtCase &c : at) EXPECT_EQ(c.line, source_line_at(dd, c.address)) << c.address;
  struct AddrCase {
    int line;
    uint32_t address;
  };
  // Lines without code take the next line with code, past the last the one before.
  const AddrCase addr[] = {
      {0, 0x401100}, {3, 0x401000}, {5, 0x401004}, {7, 0x401018}, {8, 0x401018}};
  for (const AddrCase &c : addr) EXPECT_EQ(c.address, source_line_address(dd, c.line)) << c.line;
}

TEST(SourceMoves, GoToAndClamp) {
  struct Case {
    const char *text;
    bool ok;
    int index;
  };
  const Case cases[] = {{"1", true, 0},    {"0", true, 0},    {"5", true, 4},
                        {"500", true, 99}, {"-1", true, 99},  {"-100", true, 0},
                        {"-500", true, 0}, {"50%", true, 50}, {"100 %", true, 99},
                        {"x", false, 0},   {"5x", false, 4}};
  for (const Case &c : cases) {
    int index = 0;
    EXPECT_EQ(c.ok, source_goto_line(c.text, 100, &index)) << c.text;
    if (c.ok) {
      EXPECT_EQ(c.index, index) << c.text;
    }
  }
  EXPECT_EQ(0, source_clamp_line(5, 0));
}

TEST(SourceMoves, Search) {
  const char text[] = "alpha\nbeta alpha\ngamma\ndelta alpha\n";
  struct Case {
    int line;
    const char *needle;
    bool forward;
    int found_line;  // -1 for none
  };
  const Case cases[] = {
      {0, "alpha", true, 1},  {1, "alpha", true, 3},   {3, "alpha", true, -1},
      {2, "beta", true, -1},  {2, "beta", false, 1},   {0, "alpha", false, -1},
      {3, "alpha", false, 1}, {1, "Alpha", false, -1}, {4, "delta", true, -1},
  };
  for (const Case &c : cases) {
    const int hit = source_search(text, c.line, c.needle, c.forward);
    EXPECT_EQ(c.found_line, hit < 0 ? -1 : source_line_of_offset(text, hit))
        << c.line << " " << c.needle << " " << c.forward;
    if (hit >= 0) {
      EXPECT_EQ(0, strncmp(text + hit, c.needle, strlen(c.needle)));
    }
  }
}

class SourceShow : public SymbolsTest {};

TEST_F(SourceShow, SourceFileElseTheModulesDump) {
  // A real module: its dump text, titled with its name, its exports as code lines.
  ModuleRecord *module = load(wine_dll("version.dll"), 0x10000000, 0x20000);
  ASSERT_NE(nullptr, module);
  ASSERT_GT(module->export_count, 0);
  SourceShown shown = {};
  ASSERT_TRUE(source_show_address(&shown, module->exports[0].address));
  EXPECT_TRUE(shown.module);
  EXPECT_STREQ("version.dll", shown.title);
  EXPECT_STREQ(module->text.text, shown.text);
  RichDoc gutter, doc;
  const SourceMarks marks = {0, 0, 0, 0, nullptr, nullptr, -1, false, 0};
  SourceView view = {shown.text, shown.lines, shown.line_count, nullptr, nullptr, &marks};
  EXPECT_EQ(module->text.lines + (shown.text[module->text.length - 1] == '\n' ? 0 : 1),
            source_write(gutter.dd, doc.dd, &view));
  const ExportLine &last = module->exports[module->export_count - 1];
  EXPECT_EQ((int)last.line - 1, source_line_at(doc.dd, last.address));

  // A source whose file is beside the program: the file's text replaces the dump.
  const std::string dir = temp_path("srcpanel");
  make_dir(dir);
  const std::string program = dir + kSeparator + "made.exe";
  const std::string file = dir + kSeparator + "made.c";
  ASSERT_TRUE(write_file(file, kMade));
  sources_set_program(program.c_str());
  const uint16_t lines[] = {5, 6};
  const uint32_t addresses[] = {0x10001000, 0x10001010};
  SourceRecord *source = source_define("made.c", 2, lines, addresses);
  ASSERT_NE(nullptr, source);
  ASSERT_NE(nullptr, source_path(source));
  ASSERT_TRUE(source_show_address(&shown, 0x10001010));
  EXPECT_FALSE(shown.module);
  EXPECT_STREQ(kMade, shown.text);
  EXPECT_EQ(2, shown.line_count);

  // A source found only along the search paths (an entry there ends at a dash or a blank,
  // so the folder has neither).
#ifdef _WIN32
  char temp[KQ_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string search = std::string(temp) + "kqsearch" + std::to_string(GetCurrentProcessId());
#else
  const std::string search = "/tmp/kqsearch" + std::to_string(getpid());
#endif
  make_dir(search);
  const std::string other = search + kSeparator + "other.c";
  const char kOther[] = "int other;\n";
  ASSERT_TRUE(write_file(other, kOther));
  char saved[SETTING_LONG_TEXT];
  text_copy(saved, sizeof saved, g_settings.SourceSearchPaths);
  text_copy(g_settings.SourceSearchPaths, sizeof g_settings.SourceSearchPaths,
            ("nowhere;" + search).c_str());
  const uint16_t other_lines[] = {1};
  const uint32_t other_addresses[] = {0x10002000};
  SourceRecord *found = source_define("other.c", 1, other_lines, other_addresses);
  source_path(found);  // looked for while the search paths name the folder
  text_copy(g_settings.SourceSearchPaths, sizeof g_settings.SourceSearchPaths, saved);
  remove(other.c_str());
  remove(search.c_str());
  ASSERT_NE(nullptr, found);
  EXPECT_STREQ(other.c_str(), found->path);

  // The file gone: the module's dump again, and nothing outside every module.
  remove(file.c_str());
  ASSERT_TRUE(source_show_address(&shown, 0x10001010));
  EXPECT_TRUE(shown.module);
  EXPECT_FALSE(source_show_address(&shown, 0x70000000));
  EXPECT_TRUE(shown.module);
  source_shown_free(&shown);
  remove(dir.c_str());
}

}  // namespace
