// The comment table over real symbols: comments written at an address are named by its
// symbol, found by the data and code panels' look-ups, and follow the symbol when the
// module is loaded at another base.
#include <string.h>

#include "symbols/comments.h"
#include "symbols/entries.h"
#include "symbols_fixture.h"
#include "util/path.h"

namespace {

class Comments : public SymbolsTest {
 protected:
  void TearDown() override {
    comments_clear();
    SymbolsTest::TearDown();
  }
  const uint32_t kBase = 0x10000000, kQuery = 0x10001290;  // version.dll's VerQueryValueA
};

TEST_F(Comments, SetAtAnAddressNamesItAndReplacesTheOldText) {
  ASSERT_TRUE(load(wine_dll("version.dll"), kBase, 0x1C000));
  struct Case {
    uint32_t address;
    const char *text, *expression;
  };
  const Case cases[] = {
      {kQuery, "query", "VerQueryValueA"},
      {kQuery + 0x12, "inside", "VerQueryValueA+/0x12"},
      {0x50, "nowhere", "0x50"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    int id = comment_set_at(c.address, c.text);
    ASSERT_GE(id, 0);
    EXPECT_STREQ(c.expression, comment_get(id)->expression);
    EXPECT_EQ(c.address, comment_get(id)->address);
    EXPECT_EQ(id, comment_find(c.expression));
  }
  EXPECT_EQ(3, comment_count());
  // A second text at the same address replaces the first; an empty one only removes.
  int id = comment_set_at(kQuery, "again");
  EXPECT_EQ(3, comment_count());
  EXPECT_STREQ("again", comment_get(id)->text);
  EXPECT_EQ(-1, comment_set_at(kQuery, ""));
  EXPECT_EQ(2, comment_count());
  EXPECT_EQ(-1, comment_find("VerQueryValueA"));
  EXPECT_EQ(-1, comment_find("verqueryvaluea+/0x12"));  // case counts
}

TEST_F(Comments, LookUpsByRangeAndNeighbour) {
  comment_add("0x1000", "a");
  comment_add("0x1010", "b");
  comment_add("unknown_name", "never resolves");
  struct Case {
    uint32_t address, length;
    bool found;
    const char *text;
  };
  const Case cases[] = {
      {0x1000, 1, true, "a"},      {0x0FF0, 16, false, ""}, {0x0FF0, 17, true, "a"},
      {0x1001, 16, true, "b"},     {0x1001, 15, false, ""}, {0x1011, 0xFFFF, false, ""},
      {0x1000, 0, false, ""},      {0, 0xFFFFFFFF, true, "a"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.address);
    char out[KQ_PATH] = "junk";
    EXPECT_EQ(c.found, comment_text_at(c.address, c.length, out, sizeof out));
    EXPECT_STREQ(c.text, out);
  }
  uint32_t next = 0;
  EXPECT_TRUE(comment_address_after(0x1000, &next));
  EXPECT_EQ(0x1010u, next);
  EXPECT_FALSE(comment_address_after(0x1010, &next));
  EXPECT_TRUE(comment_address_before(0x1010, &next));
  EXPECT_EQ(0x1000u, next);
  EXPECT_FALSE(comment_address_before(0x1000, &next));  // the unresolved one has no place
  char cut[4];
  EXPECT_TRUE(comment_text_at(0x1010, 1, cut, sizeof cut));
  comment_set_at(0x1010, std::string(1000, 'x').c_str());
  EXPECT_TRUE(comment_text_at(0x1010, 1, cut, sizeof cut));
  EXPECT_STREQ("xxx", cut);
}

TEST_F(Comments, ReresolvingFollowsTheSymbolToItsNewPlace) {
  ASSERT_TRUE(load(wine_dll("version.dll"), kBase, 0x1C000));
  int named = comment_add("VerQueryValueA", "q");
  int plain = comment_add("0x10001000", "fixed");
  int later = comment_add("GetFileVersionInfoA", "known later");
  EXPECT_EQ(kQuery, comment_get(named)->address);
  changes_broadcast();
  EXPECT_FALSE(comments_reresolve());  // nothing moved: no flag
  EXPECT_EQ(0, changes_broadcast());
  // The same DLL at another base: the symbol's comment moves, the number stays.
  snapshot_.clear();
  modules_refresh_from(nullptr, 0);
  ASSERT_TRUE(load(wine_dll("version.dll"), 0x20000000, 0x1C000));
  EXPECT_TRUE(comments_reresolve());
  EXPECT_EQ(0x20001290u, comment_get(named)->address);
  EXPECT_EQ(0x10001000u, comment_get(plain)->address);
  EXPECT_NE(0u, comment_get(later)->address);
  char out[KQ_PATH];
  EXPECT_TRUE(comment_text_at(0x20001290, 1, out, sizeof out));
  EXPECT_STREQ("q", out);
  EXPECT_FALSE(comment_text_at(kQuery, 1, out, sizeof out));
}

}  // namespace
