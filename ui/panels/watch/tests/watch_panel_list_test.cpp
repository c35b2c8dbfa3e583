// The watch list over the evaluator and a fake debuggee: expressions added, edited, moved
// and deleted as the panel's commands do, values that changed between two stops marked,
// and the document the panel draws (texts, colours, which entry each line belongs to).
#include <string>
#include <vector>

#include "settings/changes.h"
#include "symbols/eval/tests/eval_fixture.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "ui/rich_text/tests/drawn_runs.h"
#include "ui/rich_text/tests/rich_text_doc.h"

namespace {

class WatchListTest : public EvalTest {
 protected:
  void TearDown() override {
    watch_clear();
    EvalTest::TearDown();
  }
  std::vector<std::string> expressions() {
    std::vector<std::string> out;
    for (int i = 0; i < g_watches.count; i++) out.push_back(g_watches.entries[i].expression);
    return out;
  }
  std::string value(int i) { return g_watches.entries[i].value; }
  // Whether a broadcast would carry the watch flag.
  bool flag_raised() {
    bool raised = g_changes.pending[CHG_WATCHES];
    changes_clear();
    return raised;
  }
};

typedef std::vector<std::string> Texts;

TEST_F(WatchListTest, CommandsKeepOrderSelectionAndTexts) {
  struct Step {
    const char *what;
    bool (*act)();
    bool done;
    Texts after;
    int selected;
  };
  const Step steps[] = {
      {"append", [] { return watch_add("eax", -1); }, true, {"eax"}, 0},
      {"append", [] { return watch_add("ebx", -1); }, true, {"eax", "ebx"}, 1},
      {"first", [] { return watch_add("ecx", 0); }, true, {"ecx", "eax", "ebx"}, 0},
      {"before last", [] { return watch_add("edx", -2); }, true, {"ecx", "eax", "edx", "ebx"}, 2},
      {"twice", [] { return watch_add("eax", -1); }, false, {"ecx", "eax", "edx", "ebx"}, 2},
      {"other case", [] { return watch_add("EAX", -1); }, true,
       {"ecx", "eax", "edx", "ebx", "EAX"}, 4},
      {"empty", [] { return watch_add("", -1); }, false, {"ecx", "eax", "edx", "ebx", "EAX"}, 4},
      {"last down", [] { return watch_move(4, 1); }, false, {"ecx", "eax", "edx", "ebx", "EAX"}, 4},
      {"first up", [] { return watch_move(0, -1); }, false, {"ecx", "eax", "edx", "ebx", "EAX"}, 4},
      {"up", [] { return watch_move(4, -1); }, true, {"ecx", "eax", "edx", "EAX", "ebx"}, 3},
      {"edit", [] { return watch_edit(3, "esi"); }, true, {"ecx", "eax", "edx", "esi", "ebx"}, 3},
      {"edit into another's", [] { return watch_edit(3, "eax"); }, false,
       {"ecx", "eax", "edx", "esi", "ebx"}, 3},
      {"edit outside", [] { return watch_edit(5, "edi"); }, false,
       {"ecx", "eax", "edx", "esi", "ebx"}, 3},
      {"delete", [] { return watch_delete(0); }, true, {"eax", "edx", "esi", "ebx"}, 3},
      {"delete last", [] { return watch_delete(3); }, true, {"eax", "edx", "esi"}, 2},
      {"delete outside", [] { return watch_delete(-1); }, false, {"eax", "edx", "esi"}, 2},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.what);
    changes_clear();
    EXPECT_EQ(s.done, s.act());
    EXPECT_EQ(s.done, flag_raised());
    EXPECT_EQ(s.after, expressions());
    EXPECT_EQ(s.selected, g_watches.selected);
  }
  // The arrows keep the selection in the list; from none, down selects the first, up the last.
  const int keys[][3] = {{2, 1, 2}, {2, -1, 1}, {1, -5, 0}, {0, 5, 2}, {-1, 1, 0}, {-1, -1, 2}};
  for (auto &k : keys) {
    g_watches.selected = k[0];
    EXPECT_EQ(k[0] != k[2], watch_select_step(k[1])) << k[0] << " " << k[1];
    EXPECT_EQ(k[2], g_watches.selected) << k[0] << " " << k[1];
  }
  watch_clear();
  EXPECT_EQ(0, g_watches.count);
  EXPECT_EQ(-1, g_watches.selected);
}

TEST_F(WatchListTest, ValuesFollowTheDebuggeeAndChangesAreMarked) {
  g_fake.regs.r[ER_EAX] = 5;
  poke32(0x2000, 7);
  ASSERT_TRUE(watch_add("eax", -1));
  ASSERT_TRUE(watch_add("*(long*)0x2000", -1));
  ASSERT_TRUE(watch_add("no_such_name", -1));
  ASSERT_TRUE(watch_add("[0x9000]", -1));  // unreadable
  EXPECT_EQ("0x5", value(0));
  EXPECT_NE(std::string::npos, value(1).find('7'));
  // An error stays in the list as its value text, and is tried again later.
  ValueDescriptor v;
  EXPECT_FALSE(expression_evaluate("no_such_name", &v));
  EXPECT_EQ(expression_last_error(), value(2));
  for (int i = 0; i < 4; i++) EXPECT_FALSE(g_watches.entries[i].changed);

  // A step: eax moved, memory not.
  g_fake.regs.r[ER_EAX] = 6;
  watch_reevaluate();
  EXPECT_EQ("0x6", value(0));
  EXPECT_TRUE(g_watches.entries[0].changed);
  EXPECT_FALSE(g_watches.entries[1].changed);
  EXPECT_FALSE(g_watches.entries[2].changed);
  // Next step: memory moved and the unreadable place became readable.
  poke32(0x2000, 8);
  poke32(0x9000, 9);
  watch_reevaluate();
  EXPECT_FALSE(g_watches.entries[0].changed);
  EXPECT_TRUE(g_watches.entries[1].changed);
  EXPECT_TRUE(g_watches.entries[3].changed);
  EXPECT_NE(std::string::npos, value(3).find('9'));
  // A value longer than the formatter's limit is cut, not overrun.
  std::string long_name(600, 'q');
  ASSERT_TRUE(watch_add(long_name.c_str(), -1));
  EXPECT_GE(WATCH_VALUE_MAX, (int)value(4).size());
}

TEST_F(WatchListTest, TheBroadcastsThatCallForValues) {
  struct Case {
    int flag;
    bool reevaluate;
  };
  const Case cases[] = {{CHG_MODULES, true},  {CHG_REGISTERS, true}, {CHG_STATE, true},
                        {CHG_MEMORY, true},   {CHG_WATCHES, false},  {CHG_COMMENTS, false},
                        {CHG_BREAKPOINTS, false}};
  for (const Case &c : cases) {
    changes_clear();
    changes_raise(c.flag);
    bool seen = false;
    static bool *out;
    out = &seen;
    changes_add_listener([](int) { *out = watch_flags_call_for_reevaluation(); }, 0);
    changes_broadcast();
    changes_free();
    EXPECT_EQ(c.reevaluate, seen) << c.flag;
  }
}

TEST(WatchWidth, GrowsAndShrinksWithinTheWindowAndTheWidestLine) {
  struct Case {
    int width, d, client, widest, expected;
  };
  const Case cases[] = {
      {300, 30, 500, 1000, 330}, {300, -30, 500, 1000, 270}, {300, 30, 250, 1000, 280},
      {300, 30, 500, 310, 310},  {10, -30, 500, 1000, 0},    {300, 30, 500, 0, 0},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.expected, watch_preferred_width(c.width, c.d, c.client, c.widest)) << c.width;
}

TEST_F(WatchListTest, TheDocumentShowsSelectionAndChanges) {
  g_fake.regs.r[ER_EAX] = 1;
  ASSERT_TRUE(watch_add("eax", -1));
  ASSERT_TRUE(watch_add("ebx", -1));
  g_fake.regs.r[ER_EAX] = 2;
  watch_reevaluate();
  RichDoc doc;
  for (bool focused : {true, false}) {
    SCOPED_TRACE(focused);
    WatchView view = {1, 2, focused};
    watch_write(doc.dd, &view);
    ASSERT_EQ(3, rich_line_count(doc.dd));  // the two entries and the empty line after them
    EXPECT_EQ(0u, rich_line_param(doc.dd, 0));
    EXPECT_EQ(1u, rich_line_param(doc.dd, 1));
    std::string all;
    for (const DrawnRun &r : drawn_runs(doc.dd)) {
      all += r.text;
      const bool on_selected = r.text.find("ebx") != std::string::npos ||
                               r.text.find(value(1)) != std::string::npos;
      if (focused && on_selected) {
        EXPECT_EQ(WATCH_SELECTED_TEXT, r.color) << r.text;
        EXPECT_EQ(WATCH_SELECTED_PAPER, r.paper) << r.text;
      } else if (r.text == value(0)) {
        EXPECT_EQ(WATCH_VALUE, r.color);
        EXPECT_EQ(WATCH_CHANGED_PAPER, r.paper);  // eax moved
      }
    }
    EXPECT_EQ("eax: " + value(0) + "ebx: " + value(1), all);
  }
}

}  // namespace
