// The code panel's listing over hand-assembled code beside a real DLL loaded as a module:
// the text of every document line and the code line it belongs to, the headers, the
// separators, the one-byte lines of unknown and unreadable bytes, the columns with and
// without the bytes, the links of the command text and the fill of a page.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "symbols/entries.h"
#include "symbols/sources.h"
#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/code/code_panel_listing.h"
#include "ui/rich_text/tests/drawn_runs.h"
#include "ui/rich_text/tests/rich_text_doc.h"
#include "util/zone.h"

namespace {

const uint32_t kBase = 0x10000000;  // msvcrt.dll
const uint32_t kCode = 0x401000, kEnd = kCode + 0x20, kString = 0x402000;
const char kHello[] = "Hello, world";

struct Memory {
  uint8_t code[kEnd - kCode];
  uint32_t forced;  // one line start inside a command
};

int read_memory(void *context, uint32_t address, uint8_t *out, int count) {
  const Memory *m = (const Memory *)context;
  int n = 0;
  for (; n < count; n++) {
    const uint32_t a = address + (uint32_t)n;
    if (a >= kCode && a < kEnd) out[n] = m->code[a - kCode];
    else if (a >= kString && a < kString + sizeof kHello) out[n] = (uint8_t)kHello[a - kString];
    else break;
  }
  return n;
}

uint32_t next_start(void *context, uint32_t address) {
  const Memory *m = (const Memory *)context;
  const EntryRecord *e = entry_after(address);
  const uint32_t symbol = e ? e->address : 0;
  return address < m->forced && (!symbol || m->forced < symbol) ? m->forced : symbol;
}

CodeRegionStart region_at(void *, uint32_t address, char *text, size_t textlen) {
  if (address != kCode) return CODE_NO_REGION;
  snprintf(text, textlen, "code region");
  return CODE_REGION_START;
}
bool breakpoint_at(void *, uint32_t address) { return address == kCode + 5; }
bool comment(void *, uint32_t low, uint32_t high, char *text, size_t textlen) {
  if (kCode + 10 < low || kCode + 10 >= high) return false;
  snprintf(text, textlen, "taken when equal");
  return true;
}

class CodeListing : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    ASSERT_TRUE(load(wine_dll("msvcrt.dll"), kBase, 0x1000000));
    const EntryRecord *getche = entry_find("_getche");
    ASSERT_TRUE(getche);
    target_ = getche->address;
    const uint32_t call = target_ - (kCode + 5);
    const uint8_t code[] = {
        0xE8, (uint8_t)call, (uint8_t)(call >> 8), (uint8_t)(call >> 16), (uint8_t)(call >> 24),
        0x68, 0x00, 0x20, 0x40, 0x00,  // +5  push 0x402000
        0x74, 0x03,                    // +10 je +15
        0x0F,                          // +12 no command
        0x04, 0xC3,                    // +13 add al,0xC3
        0xC3,                          // +15 ret
        0xEB, 0xFE,                    // +16 jmp +16, cut after its first byte
    };
    memset(memory_.code, 0x90, sizeof memory_.code);
    memcpy(memory_.code, code, sizeof code);
    memory_.forced = kCode + 17;
    entry_define("main", kCode, nullptr, nullptr);
  }
  void TearDown() override {
    code_free_window(&window_);
    SymbolsTest::TearDown();
  }
  CodeView view(bool show_bytes) {
    return {&source_, &marks_, show_bytes, 0, 230, 170};
  }
  // The text and code line of every document line.
  std::vector<std::string> lines(RichText *dd) {
    std::vector<std::string> out;
    for (int l = 0; l + 1 < rich_line_count(dd); l++) {
      char *text = rich_text_range(dd, rich_line_start(dd, l), rich_line_start(dd, l + 1));
      std::string s = text;
      zone_free(text);
      const int line = rich_has_param(dd, l) ? (int)rich_line_param(dd, l) : -1;
      const int at = line < 0 ? -1 : (int)(window_.lines[line].address - kCode);
      out.push_back(std::to_string(at) + "|" + s.substr(0, s.find('\r')));
    }
    return out;
  }
  Memory memory_;
  CodeSource source_ = {&memory_, read_memory, next_start};
  CodeMarks marks_ = {nullptr, region_at, breakpoint_at, comment};
  CodeWindow window_ = {};
  uint32_t target_ = 0;
};

// The pictures drawn, in order.
std::vector<RichHandle> images(const std::vector<DrawnRun> &runs) {
  std::vector<RichHandle> out;
  for (const DrawnRun &r : runs)
    if (r.image) out.push_back(r.image);
  return out;
}

}  // namespace

TEST_F(CodeListing, LinesHeadersAndMarks) {
  RichDoc doc;
  ASSERT_GT(code_build_window(&window_, &source_, kCode, CODE_GOTO_SPAN), 0);
  const int first = code_line_at(&window_, kCode - 2);
  const CodeView v = view(false);
  const int last = code_fill_listing(doc.dd, &window_, first, 1, 100000, &v);
  EXPECT_EQ(window_.count - 1, last);
  // The decoder names the call's target through the symbol store.
  const std::vector<std::string> expected = {
      "-2|\t00400FFE\tdb ?", "-1|\t00400FFF\tdb ?",
      "0| code region\t", "0| main", "0|\t00401000\tcall    _getche",
      "5|\t00401005\tpush    0x402000\tHello, world",
      "10|\t0040100A\tje      0x40100F\ttaken when equal",
      "12|\t0040100C\tdb\t15",
      "13|\t0040100D\tadd     al,0xC3",
      "15|\t0040100F\tret", "15|;--------------------------------------------",
      "16|\t00401010\tjmp     0x401010", "16|;--------------------------------------------",
      "17|\t00401011\tdb\t254",  // FE /2 is no command
      "18|\t00401012\tnop",
  };
  const std::vector<std::string> got = lines(doc.dd);
  ASSERT_GE(got.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++) EXPECT_EQ(expected[i], got[i]) << i;
  EXPECT_EQ("100|\t00401064\tdb ?", got.back());
  // Document lines and marks: the breakpoint and nothing from the source store.
  EXPECT_EQ(4, window_.lines[code_line_at(&window_, kCode)].document_line);
  EXPECT_EQ(-1, window_.lines[code_line_at(&window_, kCode - 3)].document_line);
  EXPECT_TRUE(window_.lines[code_line_at(&window_, kCode + 16)].cut);
  EXPECT_EQ(std::vector<RichHandle>{170}, images(drawn_runs(doc.dd)));
}

TEST_F(CodeListing, ColumnsWithAndWithoutBytes) {
  ASSERT_GT(code_build_window(&window_, &source_, kCode, CODE_GOTO_SPAN), 0);
  struct Case {
    bool bytes;
    int command_x, comment_x;
  } cases[] = {{false, 84, 404}, {true, 194, 514}};
  for (const Case &c : cases) {
    RichDoc doc;
    const CodeView v = view(c.bytes);
    code_fill_listing(doc.dd, &window_, code_line_at(&window_, kCode + 5), 1, 100000, &v);
    int command_x = -1, comment_x = -1;
    for (const DrawnRun &r : drawn_runs(doc.dd)) {
      if (r.text.rfind("push", 0) == 0) command_x = r.x;
      if (r.text == kHello) comment_x = r.x;
    }
    EXPECT_EQ(c.command_x, command_x) << c.bytes;
    EXPECT_EQ(c.comment_x, comment_x) << c.bytes;
  }
}

TEST_F(CodeListing, CommandLinks) {
  struct Case {
    const char *text;
    std::vector<std::pair<std::string, uint32_t>> links;
    std::vector<std::string> numbers;  // drawn in the address colour, not linked
  } cases[] = {
      {"call\t_getche", {{"_getche", 0}}, {}},
      {"mov\teax,[ebp+0x8]", {}, {"0x8"}},
      {"mov\teax,[0x402000]", {}, {"0x402000"}},
      {"push\tmain", {{"main", kCode}}, {}},
      {"mov\teax,unknown_name", {}, {}},
      {"fld\tst1", {}, {}},
      {"mov\tecx,3.5e2", {}, {"3.5e2"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    RichDoc doc;
    code_write_command(doc.dd, c.text);
    rich_update(doc.dd);
    std::vector<std::pair<std::string, uint32_t>> links;
    for (int t = 0; t < doc.dd->tagnum; t++) {
      char *text = rich_text_range(doc.dd, doc.dd->tags[t].start, doc.dd->tags[t].end);
      links.push_back({text, doc.dd->tags[t].param});
      zone_free(text);
    }
    auto expected = c.links;
    for (auto &l : expected)
      if (!l.second) l.second = target_;
    EXPECT_EQ(expected, links);
    std::vector<std::string> numbers;
    for (const DrawnRun &r : drawn_runs(doc.dd))
      if (r.color == CODE_ADDRESS) numbers.push_back(r.text);
    EXPECT_EQ(c.numbers, numbers);
  }
  // A number that is an address inside the module links to it.
  RichDoc doc;
  char text[64];
  snprintf(text, sizeof text, "jmp\t0x%X", target_);
  code_write_command(doc.dd, text);
  ASSERT_EQ(1, rich_line_count(doc.dd) > 0 ? doc.dd->tagnum : 0);
  EXPECT_EQ(target_, doc.dd->tags[0].param);
}

TEST_F(CodeListing, FillStopsAtTheHeight) {
  ASSERT_GT(code_build_window(&window_, &source_, kCode, CODE_GOTO_SPAN), 0);
  RichDoc doc;
  const CodeView v = view(false);
  const int from = code_line_at(&window_, kCode + 16);
  // Upwards until the document is as high as asked; every line rendered knows its place.
  const int last = code_fill_listing(doc.dd, &window_, from, -1, 100, &v);
  EXPECT_LT(last, from);
  EXPECT_GE(rich_height(doc.dd), 100);
  for (int i = 0; i < window_.count; i++)
    EXPECT_EQ(i >= last && i <= from, window_.lines[i].document_line >= 0) << i;
}

// Source lines: where the next one starts (the window's line starts), and the mark on the
// commands that begin one.
TEST_F(CodeListing, SourceLineStartsAndMarks) {
  const uint16_t lines[] = {10, 11, 12};
  const uint32_t starts[] = {kCode, kCode + 10, kCode + 16};
  const uint16_t other_lines[] = {1};
  const uint32_t other_starts[] = {kEnd + 0x100};
  source_define("listing.c", 3, lines, starts);
  source_define("later.c", 1, other_lines, other_starts);
  struct Case {
    uint32_t address, next;
  } cases[] = {
      {kCode - 0x100, kCode},  // before every source: the first line of the next
      {kCode, kCode + 10},
      {kCode + 9, kCode + 10},
      {kCode + 16, kEnd + 0x100},  // the last line: the next source's first
      {kEnd + 0x100, 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.next, source_next_line(c.address)) << std::hex << c.address;
  ASSERT_GT(code_build_window(&window_, &source_, kCode, CODE_GOTO_SPAN), 0);
  RichDoc doc;
  const CodeView v = view(false);
  code_fill_listing(doc.dd, &window_, code_line_at(&window_, kCode + 5), 1, 100000, &v);
  int source_marks = 0;
  for (RichHandle image : images(drawn_runs(doc.dd))) source_marks += image == 230;
  EXPECT_EQ(2, source_marks);  // at +10 and +16; +5 carries the breakpoint's
}

namespace {

bool breakpoint_in_cut(void *, uint32_t address) { return address == kCode + 17; }

}  // namespace

// A breakpoint on the byte where a forced line start cuts the jump at +16: the mark stands
// on that second line only, and the jump's line is the tinted cut one without it.
TEST_F(CodeListing, BreakpointInsideACutCommand) {
  ASSERT_GT(code_build_window(&window_, &source_, kCode, CODE_GOTO_SPAN), 0);
  const CodeMarks marks = {nullptr, region_at, breakpoint_in_cut, comment};
  const CodeView v = {&source_, &marks, false, 0, 230, 170};
  RichDoc doc;
  code_fill_listing(doc.dd, &window_, code_line_at(&window_, kCode + 15), 1, 100000, &v);
  const std::vector<DrawnRun> drawn = drawn_runs(doc.dd);
  auto y_of = [&](const char *text) {
    for (const DrawnRun &r : drawn)
      if (r.text == text && !r.image) return r.y;
    return -1000;
  };
  const CodeLine &jump = window_.lines[code_line_at(&window_, kCode + 16)];
  const CodeLine &rest = window_.lines[code_line_at(&window_, kCode + 17)];
  EXPECT_TRUE(jump.cut);
  EXPECT_FALSE(rest.cut);
  EXPECT_EQ(kCode + 17, rest.address);
  ASSERT_EQ(std::vector<RichHandle>{170}, images(drawn));
  // The picture stands at the top of its line, as the text of that line does.
  int image_y = -1000;
  for (const DrawnRun &r : drawn)
    if (r.image) image_y = r.y;
  EXPECT_NE(-1000, y_of("00401011"));
  EXPECT_LE(abs(image_y - y_of("00401011")), 4) << image_y;
  EXPECT_GT(abs(image_y - y_of("00401010")), 4);
}
