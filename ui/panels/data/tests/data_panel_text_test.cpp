// The data panel's page over a fake memory with regions, symbols and comments: where rows
// are cut, what the page shows of readable and unreadable bytes, the selection, and the
// byte operations (copy text, fill, insert, search) the panel's commands write through.
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "symbols/comments.h"
#include "symbols/entries.h"
#include "symbols/tests/symbols_fixture.h"
#include "symbols/eval/value.h"
#include "ui/panels/data/data_panel_labels.h"
#include "ui/panels/data/data_panel_text.h"
#include "ui/rich_text/tests/drawn_runs.h"
#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

// Readable memory [0x1000, 0x3000) and [0x5000, 0x5100); regions start at 0x1000, 0x2000
// and 0x5000.
struct FakeMemory {
  std::vector<uint32_t> regions = {0x1000, 0x2000, 0x5000};
  std::map<uint32_t, uint8_t> bytes;
} g_memory;

bool readable(uint32_t a) { return (a >= 0x1000 && a < 0x3000) || (a >= 0x5000 && a < 0x5100); }

int fake_read(uint32_t address, uint8_t *out, int count) {
  int n = 0;
  for (; n < count && readable(address + (uint32_t)n); n++) {
    auto it = g_memory.bytes.find(address + (uint32_t)n);
    out[n] = it == g_memory.bytes.end() ? (uint8_t)(address + (uint32_t)n) : it->second;
  }
  return n;
}
uint32_t next_region(uint32_t a) {
  for (uint32_t r : g_memory.regions)
    if (r > a) return r;
  return 0;
}
uint32_t previous_region(uint32_t a) {
  uint32_t found = 0;
  for (uint32_t r : g_memory.regions)
    if (r < a) found = r;
  return found;
}
bool region_at(uint32_t a, char *out, size_t outlen) {
  for (uint32_t r : g_memory.regions)
    if (r == a) {
      snprintf(out, outlen, "region %X", a);
      return true;
    }
  return false;
}
const DataSource kSource = {fake_read, next_region, previous_region, region_at};

// The readable runs of the fake memory, for the search's walk, which counts its ticks and
// stops at the first when asked.
bool fake_runs(uint32_t address, int direction, uint32_t *low, uint32_t *high) {
  const uint32_t runs[][2] = {{0x1000, 0x3000}, {0x5000, 0x5100}};
  for (int k = direction > 0 ? 0 : 1; k >= 0 && k < 2; k += direction > 0 ? 1 : -1)
    if (direction > 0 ? runs[k][1] > address : runs[k][0] <= address) {
      *low = runs[k][0];
      *high = runs[k][1];
      return true;
    }
  return false;
}
int g_ticks;
bool g_stop_at_tick;
void count_tick(CodeSearch *search, uint32_t, int) {
  g_ticks++;
  if (g_stop_at_tick) search->stop = 1;
}

class DataPanelText : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    g_memory.bytes.clear();
  }
  void TearDown() override {
    comments_clear();
    SymbolsTest::TearDown();
  }
};

TEST_F(DataPanelText, RowsAreCutAtRegionsSymbolsAndComments) {
  entry_define("table", 0x1108, nullptr, nullptr);
  comment_add("0x1203", "here");
  struct Case {
    uint32_t a, length, before;
  };
  const Case cases[] = {
      {0x1100, 8, 0x10F0},          // a symbol 8 bytes into the row ends it there
      {0x1108, 16, 0x10F8},         // the next row starts at the symbol
      {0x1118, 16, 0x1108},         // the row before is raised to the symbol
      {0x1200, 3, 0x11F0},          // a comment cuts as a symbol does
      {0x1FF8, 8, 0x1FE8},          // a region start
      {0x2004, 16, 0x2000},         // raised to the region start
      {0xFFFFFFF8u, 8, 0xFFFFFFE8u},  // the end of the address space
      {0x8, 16, 0},                 // no wrap below 0
      {0, 16, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.a);
    EXPECT_EQ(c.length, data_row_length(&kSource, c.a));
    EXPECT_EQ(c.before, data_row_before(&kSource, c.a));
  }
  // Scrolling steps row by row, so it lands on the same starts both ways.
  EXPECT_EQ(0x1128u, data_scroll(&kSource, 0x10F8, 3));
  EXPECT_EQ(0x1108u, data_scroll(&kSource, 0x1128, -2));
  EXPECT_EQ(0xFFFFFFF8u, data_scroll(&kSource, 0xFFFFFFF8u, 1));  // held at the end
  EXPECT_EQ(0u, data_scroll(&kSource, 0x10, -3));
}

// The texts drawn on each line of the document.
std::vector<std::string> drawn_lines(RichText *dd) {
  std::map<int, std::string> lines;
  for (const DrawnRun &run : drawn_runs(dd)) lines[run.y] += run.text;
  std::vector<std::string> out;
  for (auto &line : lines) out.push_back(line.second);
  return out;
}

TEST_F(DataPanelText, ThePageShowsLabelsBytesCharactersAndComments) {
  entry_define("table", 0x2FF8, nullptr, nullptr);
  comment_add("0x2FF0", "a note");
  g_memory.bytes[0x2FF0] = 'A';
  g_memory.bytes[0x2FF1] = 0x05;
  g_memory.bytes[0x2FF2] = 0xE9;
  RichDoc doc;
  DataPage page = {};
  const DataView view = {1, 2, 3};
  data_write_page(doc.dd, &page, &kSource, &view, 0x2FF0, 60);
  const std::vector<std::string> lines = drawn_lines(doc.dd);
  // Runs are drawn without the skips between them: " 5" keeps its blank, nothing else has one.
  const std::vector<std::string> expected = {
      "00002FF0" "41" " 5" "E9" "F3F4F5F6F7" "A." "\xE9\xF3\xF4\xF5\xF6\xF7" "a note",
      " table",  // the symbol's label; it cut the first row after 8 bytes
      "00002FF8" "F8F9FAFBFCFDFEFF" " ? ? ? ? ? ? ? ?" "\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF" "........",
      "00003008" " ? ? ? ? ? ? ? ? ? ? ? ? ? ? ? ?" "................",
  };
  EXPECT_EQ(expected, lines);
  EXPECT_EQ(3, page.row_count);
  EXPECT_EQ(0x2FF0u, page.position);
  EXPECT_EQ(8u + 16 + 16, page.shown);
  ASSERT_EQ(2 * 40, page.cell_count);
  // Each byte has a hex cell and a character cell, found again by their tags.
  for (int i = 0; i < page.cell_count; i++) {
    const DataCell *cell = data_cell_of_tag(&page, page.cells[i].tag);
    ASSERT_TRUE(cell);
    EXPECT_EQ(&page.cells[i], cell);
  }
  EXPECT_EQ(DATA_HEX, page.cells[0].column);
  EXPECT_EQ(DATA_CHARS, page.cells[8].column);
  EXPECT_EQ(0x2FF0u, page.cells[8].address);
  EXPECT_EQ(nullptr, data_cell_of_tag(&page, -1));

  // Selecting right to left gives the same range, the last byte included; one click
  // selects one byte.
  struct Selection {
    uint32_t first, last;
    int marked;  // cells, two per byte
  };
  const Selection selections[] = {{0x2FF2, 0x2FF9, 16}, {0x2FF9, 0x2FF2, 16}, {0x2FF4, 0x2FF4, 2},
                                  {0x2000, 0x2FF0, 2},  {0x4000, 0x5000, 0}};
  for (const Selection &sel : selections) {
    data_mark_selection(doc.dd, &page, sel.first, sel.last);
    int marked = 0;
    for (int i = 0; i < page.cell_count; i++) {
      const bool on = doc.dd->tags[page.cells[i].tag].flags & TGF_MARKED;
      const uint32_t low = sel.first < sel.last ? sel.first : sel.last;
      const uint32_t high = sel.first < sel.last ? sel.last : sel.first;
      EXPECT_EQ(page.cells[i].address >= low && page.cells[i].address <= high, on);
      marked += on;
    }
    EXPECT_EQ(sel.marked, marked) << sel.first;
  }

  // A register names both cells of its byte, EIP drawn first; registers off the page none.
  uint32_t regs[ER_COUNT] = {};
  regs[ER_EAX] = regs[ER_ESP] = 0x2FF1;
  regs[ER_EIP] = 0x2FF8;
  DataLabel labels[DATA_LABELS];
  std::string named;
  for (int i = 0, n = data_page_labels(&page, regs, labels, DATA_LABELS); i < n; i++)
    named += std::string(g_data_markers[labels[i].marker].name) +
             std::to_string(page.cells[labels[i].cell].column) + " ";
  EXPECT_EQ("EIP1 EIP2 ESP1 ESP2 EAX1 EAX2 ", named);
  EXPECT_EQ(2 * 3, data_page_labels(&page, regs, labels, DATA_LABELS));
  data_page_free(&page);
}

TEST(DataBytes, CopyFillAndInsert) {
  const uint8_t ab[] = {0x41, 0x42}, odd[] = {0x00, 0x7F, 0xFF, 0x20};
  struct Copy {
    const uint8_t *bytes;
    int count, column;
    const char *text;
  };
  const Copy copies[] = {
      {ab, 2, DATA_CHARS, "AB"},          {ab, 2, DATA_HEX, "0x41,0x42"},
      {odd, 4, DATA_CHARS, "..\xFF "}, {odd, 4, DATA_HEX, "0x0,0x7F,0xFF,0x20"},
      {ab, 0, DATA_HEX, ""},
  };
  for (const Copy &c : copies) {
    char text[64];
    data_copy_text(c.bytes, c.count, c.column, text, sizeof text);
    EXPECT_STREQ(c.text, text);
  }
  char cut[8];
  EXPECT_EQ(4, data_copy_text(ab, 2, DATA_HEX, cut, 5));  // whole pieces only
  EXPECT_STREQ("0x41", cut);

  uint8_t filled[7];
  data_fill_bytes((const uint8_t *)"abc", 3, filled, 7);
  EXPECT_EQ("abcabca", std::string((char *)filled, 7));

  const uint8_t selection[] = {1, 2, 3, 4, 5};
  struct Insert {
    std::string sequence, written;
  };
  const Insert inserts[] = {
      {"\x0A\x0B", std::string("\x0A\x0B\x01\x02\x03", 5)},
      {"ABCDEFGH", "ABCDEFGH"},
      {"ABCDE", "ABCDE"},
  };
  for (const Insert &i : inserts) {
    uint8_t out[DATA_SEQUENCE_MAX];
    int n = data_insert_bytes((const uint8_t *)i.sequence.data(), (int)i.sequence.size(),
                              selection, 5, out);
    EXPECT_EQ(i.written, std::string((char *)out, (size_t)n));
  }
}

TEST_F(DataPanelText, SearchFindsSequencesBothWaysAcrossUnreadablePages) {
  const std::string needle = "needle of twenty bytes";  // longer than the cursor's window row
  for (size_t i = 0; i < needle.size(); i++) {
    g_memory.bytes[0x1800 + (uint32_t)i] = (uint8_t)needle[i];
    g_memory.bytes[0x5010 + (uint32_t)i] = (uint8_t)needle[i];
  }
  DataSequence seq = {};
  memcpy(seq.bytes, needle.data(), needle.size());
  memset(seq.mask, 0xFF, sizeof seq.mask);
  const int len = (int)needle.size();
  struct Case {
    uint32_t start;
    int direction, length;
    bool found;
    uint32_t at;
  };
  const Case cases[] = {
      {0x1000, 1, len, true, 0x1800},  {0x1800, 1, len, true, 0x5010},  // past the hole
      {0x5010, 1, len, false, 0},      {0x5010, -1, len, true, 0x1800},
      {0x1800, -1, len, false, 0},     {0x17FF, 1, 1, true, 0x1800},
      {0x1800, 1, 1, true, 0x180D},  // the n of "twenty"    {0x1000, 1, 0, false, 0},
      {0x1000, 1, DATA_SEQUENCE_MAX + 1, false, 0},
  };
  // Bounded by the readable memory, and walked over its runs as the panel does.
  CodeSearch walk = {fake_read, fake_runs, count_tick, nullptr, 0};
  for (const Case &c : cases)
    for (bool runs : {false, true}) {
      SCOPED_TRACE(::testing::Message() << std::hex << c.start << (runs ? " over the runs" : ""));
      uint32_t at = 0;
      seq.length = c.length;
      EXPECT_EQ(c.found, runs ? data_search_runs(&walk, &seq, c.start, c.direction, &at)
                              : data_search(fake_read, &seq, c.start, c.direction, 0x1000, 0x6000, &at));
      if (c.found) {
        EXPECT_EQ(c.at, at);
      }
    }
  // A sequence found nowhere: each run ticks once; stopped from the first tick, the walk
  // ends there.
  seq.length = 3;
  memcpy(seq.bytes, "\xFE\xFE\xFE", 3);
  uint32_t at = 0;
  g_ticks = 0;
  EXPECT_FALSE(data_search_runs(&walk, &seq, 0x1000, 1, &at));
  EXPECT_EQ(2, g_ticks);
  g_ticks = 0;
  g_stop_at_tick = true;
  EXPECT_FALSE(data_search_runs(&walk, &seq, 0x1000, 1, &at));
  g_stop_at_tick = false;
  EXPECT_EQ(1, g_ticks);
  memcpy(seq.bytes, needle.data(), needle.size());
  // The first 16 bytes alone are no match.
  g_memory.bytes[0x1800 + 17] = '?';
  seq.length = len;
  EXPECT_TRUE(data_search(fake_read, &seq, 0x1000, 1, 0x1000, 0x6000, &at));
  EXPECT_EQ(0x5010u, at);
  seq.mask[17] = 0;  // left open, the changed byte matches again
  EXPECT_TRUE(data_search(fake_read, &seq, 0x1000, 1, 0x1000, 0x6000, &at));
  EXPECT_EQ(0x1800u, at);
  seq.length = 16;
  EXPECT_TRUE(data_search(fake_read, &seq, 0x1000, 1, 0x1000, 0x6000, &at));
  EXPECT_EQ(0x1800u, at);
}

// Bytes as hexadecimal text, to compare sequences that hold zeros.
std::string hex(const uint8_t *bytes, int count) {
  std::string out;
  char pair[3];
  for (int i = 0; i < count; i++) out += (snprintf(pair, sizeof pair, "%02X", bytes[i]), pair);
  return out;
}

TEST_F(DataPanelText, SequencesFromPatternsAndExpressions) {
  struct Case {
    const char *text;
    bool ok;
    const char *bytes, *mask;
  };
  const Case cases[] = {
      {"8B ?? 24", true, "8B0024", "FF00FF"},
      {"41,42", true, "4142", "FFFF"},
      {"  ab  ", true, "AB", "FF"},
      {"\"hi\"", true, "6869", "FFFF"},    // a string, through the evaluator
      {"0x41, 0x42", true, "4142", "FFFF"},  // numbers, through the evaluator
      {"abc", false, "", ""},               // three digits: no pair, and no symbol
      {"", false, "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    DataSequence s;
    EXPECT_EQ(c.ok, data_sequence_from_text(c.text, &s));
    EXPECT_EQ(c.bytes, hex(s.bytes, s.length));
    EXPECT_EQ(c.mask, hex(s.mask, s.length));
    EXPECT_EQ(strstr(c.mask, "00") != nullptr, s.masked);
  }
  std::string many;
  for (int i = 0; i < DATA_SEQUENCE_MAX; i++) many += "90 ";
  DataSequence s;
  ASSERT_TRUE(data_sequence_from_text(many.c_str(), &s));  // as long as a sequence holds
  EXPECT_EQ(DATA_SEQUENCE_MAX, s.length);
}

}  // namespace
