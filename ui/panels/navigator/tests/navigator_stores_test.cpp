// The symbol and module pages' rows over the symbol stores: a real DLL's exports, a
// module without its file, sources with line tables and entries inside them.
#include <set>
#include <string>

#include "symbols/entries.h"
#include "symbols/sources.h"
#include "symbols/tests/symbols_fixture.h"
#include "ui/panels/navigator/navigator_stores.h"
#include "ui/panels/navigator/navigator_tables.h"

namespace {

class NavigatorStores : public SymbolsTest {
 protected:
  void SetUp() override {
    SymbolsTest::SetUp();
    ASSERT_TRUE(load(wine_dll("version.dll"), 0x10000000, 0x20000));
    ASSERT_TRUE(load(temp_path("no_such_program.exe"), 0x20000000, 0x10000));
    const uint16_t lines[] = {1, 2, 3};
    const uint32_t in_a[] = {0x20001000, 0x20001040, 0x20001100};
    const uint32_t in_b[] = {0x20002000, 0x20002040, 0x20002100};
    a_ = source_define("src\\a.c", 3, lines, in_a);
    b_ = source_define("b.c", 2, lines, in_b);
    ASSERT_TRUE(a_ && b_);
    entry_define("alpha", 0x20001010, nullptr, a_);
    entry_define("Delta", 0x20001020, nullptr, a_);
    entry_define("beta", 0x20002010, nullptr, b_);
    entry_define("gamma", 0x20003000, nullptr, nullptr);
  }
  void TearDown() override {
    nav_rows_free(&rows_);
    SymbolsTest::TearDown();
  }
  SourceRecord *a_ = nullptr, *b_ = nullptr;
  NavRowSet rows_ = {};
};

TEST_F(NavigatorStores, SymbolFiltersKeepTheirEntries) {
  struct {
    int filter;
    uint32_t position;
    const char *ours;  // of the four defined here, in name order
    bool exports;      // version.dll's exports listed too
  } cases[] = {
      {SYMBOLS_ALL, 0, "alpha beta Delta gamma ", true},
      {SYMBOLS_GLOBAL, 0x20001010, "gamma ", true},
      {SYMBOLS_LOCAL, 0x20001050, "alpha Delta ", false},        // inside a.c
      {SYMBOLS_LOCAL, 0x20002000, "beta ", false},               // inside b.c
      {SYMBOLS_LOCAL, 0x20005000, "alpha beta Delta ", false},   // the module, no source
      {SYMBOLS_LOCAL, 0x10001000, "", false},                    // version.dll: no sources
      {SYMBOLS_LOCAL, 0x30000000, "alpha beta Delta ", false},   // neither: anywhere
  };
  const std::set<std::string> defined = {"alpha", "beta", "Delta", "gamma"};
  for (auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.filter) + " at " + std::to_string(c.position));
    ASSERT_TRUE(symbol_rows_fill(&rows_, c.filter, c.position));
    std::string ours;
    int exports = 0;
    for (int row = 0; row < rows_.count; row++) {
      const std::string name = nav_rows_text(&rows_, row, 0);
      EXPECT_EQ(rows_.rows[row].data, rows_.rows[row].number[1]);
      EXPECT_EQ(entry_find(name.c_str())->address, rows_.rows[row].data) << name;
      if (defined.count(name)) ours += name + " ";
      else exports++;
      if (row) {
        EXPECT_LE(text_compare_nocase(nav_rows_text(&rows_, row - 1, 0), name.c_str()), 0);
      }
    }
    EXPECT_EQ(c.ours, ours);
    EXPECT_EQ(c.exports, exports > 10) << exports;
  }
}

TEST_F(NavigatorStores, ModulesThenSources) {
  ASSERT_TRUE(module_rows_fill(&rows_));
  ASSERT_EQ(4, rows_.count);
  struct {
    const char *name, *base, *size, *comment, *path;
    int image;
  } expected[] = {
      {"version.dll", "10000000", "20000", "1 Locks", nullptr, MODULE_IMAGE_MODULE},
      {"kq_symbols_no_such_program.exe", "20000000", "10000", "1 Locks", nullptr,
       MODULE_IMAGE_MODULE},
      {"b.c", "20002000", "41", "2 Lines", "b.c", MODULE_IMAGE_SOURCE},
      {"a.c", "20001000", "101", "3 Lines", "src\\a.c", MODULE_IMAGE_SOURCE},
  };
  std::set<std::string> seen;
  for (int row = 0; row < rows_.count; row++) {
    const std::string name = nav_rows_text(&rows_, row, 0);
    for (auto &e : expected) {
      if (name != e.name) continue;
      seen.insert(name);
      EXPECT_STREQ(e.base, nav_rows_text(&rows_, row, 1));
      EXPECT_STREQ(e.size, nav_rows_text(&rows_, row, 2));
      EXPECT_STREQ(e.comment, nav_rows_text(&rows_, row, 3));
      EXPECT_EQ(e.image, rows_.rows[row].image);
      EXPECT_EQ(strtoul(e.base, nullptr, 16), rows_.rows[row].data);
      if (e.path) {
        EXPECT_STREQ(e.path, nav_rows_text(&rows_, row, MODULE_PATH));
      }
      // Modules come first.
      EXPECT_EQ(e.image == MODULE_IMAGE_MODULE, row < 2) << name;
    }
  }
  EXPECT_EQ(4u, seen.size());
}

}  // namespace
