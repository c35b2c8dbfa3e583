// The inspector's path and levels over the real symbol stores, the evaluator and the watch
// list, on the fake debuggee of the evaluator's tests with a call stack of two frames:
// the items of each kind of level, walking in and out, changing a value, a watch that
// fails, and a path whose name goes away and comes back.
#include <string>
#include <vector>

#include "symbols/eval/tests/eval_fixture.h"
#include "ui/panels/inspector/inspector_model.h"
#include "ui/panels/watch/watch_panel_list.h"
#include "util/path.h"

namespace {

CallStack g_stack;
const CallStack *fake_stack() { return &g_stack; }

typedef std::vector<std::string> Rows;

class InspectorTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    define_world();
    // main's frame at EBP 0x2000, called from an export of lib.dll whose frame is 0x2100.
    g_stack = CallStack();
    g_stack.count = 2;
    g_stack.code[0] = 0x401010;
    g_stack.frame[0] = 0x2000;
    g_stack.code[1] = 0x10001010;
    g_stack.frame[1] = 0x2100;
    g_stack.start_ebp = 0x2000;
    g_stack.end_frame = 0x2200;
    for (uint32_t a = 0x2100; a < 0x2200; a += 4) poke32(a, a);
    static const InspectorEnvironment env = {fake_stack, fake_read};
    inspector_set_environment(&env);
    model_ = InspectorModel();
  }
  void TearDown() override {
    inspector_free(&model_);
    inspector_set_environment(nullptr);
    watch_clear();
    EvalTest::TearDown();
  }
  // "name = value" of each item, the first count of them.
  Rows rows(int count = 1000) {
    Rows out;
    for (int i = 0; i < model_.item_count && i < count; i++)
      out.push_back(std::string(model_.items[i].name) + " = " + model_.items[i].value);
    return out;
  }
  const InspectorItem &item(const char *name) {
    for (int i = 0; i < model_.item_count; i++)
      if (std::string(model_.items[i].name) == name) return model_.items[i];
    static InspectorItem none = {};
    ADD_FAILURE() << "no item " << name;
    return none;
  }
  int row(const char *name) { return int(&item(name) - model_.items); }
  std::string path() {
    char text[KQ_PATH];
    inspector_path_text(&model_, text, sizeof text);
    return text;
  }
  InspectorOpen open(const char *name, int top = 0) {
    return inspector_open(&model_, row(name), top);
  }
  InspectorModel model_;
};

TEST_F(InspectorTest, EachKindOfLevelListsItsItems) {
  watch_add("head", -1);
  watch_add("nosuch + 1", -1);
  watch_add("table", -1);
  watch_add("ptr", -1);
  struct Case {
    const char *path;
    Rows first;  // the first rows
    int count;   // all rows
    const char *object;
  };
  const Case cases[] = {
      {"\\", {"@WATCH = ..", "@STACK = ..", "app.c = .."}, 3, "\\"},
      {"\\@WATCH\\",
       {".. = ..", "head = {10, 0x120C, \"hello\"}", "nosuch + 1 = Unknown symbol 'nosuch'",
        "table = {1, 2, 3, 4, 5, 6, 7, 8}", "ptr = {1, 2, 3, 4, 5, 6, 7, 8}"},
       5, "@WATCH"},
      {"\\@WATCH\\head\\",
       {".. = ..", "value = 10",
        "next = {{20, NULL, NULL}, {??, ??, ??}, {??, ??, ??}, {??, ??, ??}, {??, ??, ??}, "
        "{??, ??, ??}, {??, ??, ??}, {??, ??, ??}}",
        "name = \"hello\""},
       4, "head"},
      {"\\@WATCH\\table\\", {".. = ..", "[0] = 1", "[1] = 2"}, 9, "table"},
      // A pointer always shows 256 elements, whether they can be read or not.
      {"\\@WATCH\\ptr\\", {".. = ..", "[0] = 1", "[1] = 2"}, 257, "ptr"},
      {"\\@STACK\\",
       {".. = ..", "[2000] main = ...", "[2100] <lib.dll>+/Export+/0x10 = unknown format"}, 3,
       "@STACK"},
      {"\\@STACK\\[2000] main\\", {".. = ..", "local = 42"}, 2, "[2000] main"},
      {"\\@STACK\\[2100] <lib.dll>+/Export+/0x10\\", {".. = ..", "[2100] = 0x2100"},
       1 + INSPECTOR_FRAME_WORDS, "[2100] <lib.dll>+/Export+/0x10"},
      {"\\app.c\\", {".. = ..", "dup = 2"}, 2, "app.c"},
      {"\\@WATCH\\head\\next\\", {".. = ..", "[0] = {20, NULL, NULL}"}, 257, "next"},
      {"\\@WATCH\\head\\next\\[0]\\", {".. = ..", "value = 20", "next = NULL"}, 4, "[0]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    inspector_set_path(&model_, c.path);
    EXPECT_EQ(c.first, rows((int)c.first.size()));
    EXPECT_EQ(c.count, model_.item_count);
    EXPECT_EQ(c.path, path());
    EXPECT_STREQ(c.object, inspector_object_name(&model_));
  }
}

TEST_F(InspectorTest, ItemsCarryKindPlaceSizeAndType) {
  watch_add("head", -1);
  watch_add("nosuch", -1);
  inspector_set_path(&model_, "\\");
  EXPECT_EQ(IK_STACK, item("@STACK").kind);
  EXPECT_EQ(0x2200u, item("@STACK").address);
  EXPECT_EQ(0xFFFFFE00u, item("@STACK").size);  // 0x2000 - 0x2200, in 32 bits
  EXPECT_EQ(IK_SOURCE, item("app.c").kind);
  EXPECT_EQ(0x401000u, item("app.c").address);
  EXPECT_EQ(0x51u, item("app.c").size);
  inspector_set_path(&model_, "\\@WATCH\\");
  EXPECT_EQ(IK_ROOT, item("..").kind);
  EXPECT_EQ(IK_STRUCT, item("head").kind);
  EXPECT_EQ(12u, item("head").size);
  EXPECT_EQ(IK_ERROR, item("nosuch").kind);
  inspector_set_path(&model_, "\\@WATCH\\head\\");
  struct Member {
    const char *name;
    int kind;
    uint32_t address, size;
    const char *type;
  };
  const Member members[] = {
      {"..", IK_WATCHES, 0, 0, ""},
      {"value", IK_VALUE, 0x1200, 4, "long"},
      {"next", IK_POINTER, 0x1204, 4, "struct Node*"},
      {"name", IK_POINTER, 0x1208, 4, "char*"},
  };
  ASSERT_EQ(4, model_.item_count);
  for (int i = 0; i < 4; i++) {
    const Member &m = members[i];
    const InspectorItem &it = model_.items[i];
    SCOPED_TRACE(m.name);
    EXPECT_STREQ(m.name, it.name);
    EXPECT_EQ(m.kind, it.kind);
    EXPECT_EQ(m.address, it.address);
    EXPECT_EQ(m.size, it.size);
    char type[100] = "";
    if (it.type) expression_format_type(it.type, type, sizeof type);
    EXPECT_STREQ(m.type, type);
  }
  inspector_set_path(&model_, "next\\");  // relative: on from the current level
  EXPECT_EQ("\\@WATCH\\head\\next\\", path());
  EXPECT_EQ(0x120Cu + 12, item("[1]").address);
  EXPECT_EQ(0x120Cu + 255 * 12, item("[255]").address);
  EXPECT_EQ("[255] = {??, ??, ??}", rows().back());  // unreadable, still listed
}

TEST_F(InspectorTest, WalkingInAndOutKeepsSelectionAndScroll) {
  watch_add("counter", -1);
  watch_add("head", -1);
  watch_add("nosuch", -1);
  inspector_set_path(&model_, "\\@WATCH\\");
  EXPECT_EQ(0, inspector_selected_row(&model_));
  // A failing watch cannot be opened, a plain value asks for a new one.
  EXPECT_EQ(OPEN_NOTHING, open("nosuch"));
  EXPECT_EQ(OPEN_CHANGE_VALUE, open("counter"));
  EXPECT_EQ("\\@WATCH\\", path());
  ASSERT_EQ(OPEN_MOVED, open("head", 2));
  EXPECT_EQ("\\@WATCH\\head\\", path());
  EXPECT_STREQ("head", inspector_object_name(&model_));
  ASSERT_EQ(OPEN_MOVED, open("next"));
  ASSERT_EQ(OPEN_MOVED, open("[0]"));
  EXPECT_EQ("\\@WATCH\\head\\next\\[0]\\", path());
  // Back up twice: each level shows the item it was left through, scrolled as it was.
  ASSERT_EQ(OPEN_MOVED, open(".."));
  EXPECT_EQ("\\@WATCH\\head\\next\\", path());
  EXPECT_EQ(row("[0]"), inspector_selected_row(&model_));
  ASSERT_EQ(OPEN_MOVED, open(".."));
  ASSERT_EQ(OPEN_MOVED, open(".."));
  EXPECT_EQ("\\@WATCH\\", path());
  EXPECT_EQ(row("head"), inspector_selected_row(&model_));
  EXPECT_EQ(2, model_.levels[1].top);
  ASSERT_EQ(OPEN_MOVED, open(".."));
  EXPECT_EQ("\\", path());
  EXPECT_EQ(row("@WATCH"), inspector_selected_row(&model_));
  inspector_set_path(&model_, "..");  // not above the root
  EXPECT_EQ("\\", path());
  EXPECT_EQ(3, model_.item_count);
  // The same path from the root leads to the same place.
  inspector_set_path(&model_, "\\@WATCH\\head\\..\\head\\name");
  EXPECT_EQ("\\@WATCH\\head\\", path());
  EXPECT_EQ(row("name"), inspector_selected_row(&model_));
}

TEST_F(InspectorTest, ChangingAValueWritesItAndRereads) {
  watch_add("head", -1);
  inspector_set_path(&model_, "\\@WATCH\\head\\next\\[0]\\");
  const int value = row("value");
  char text[KQ_PATH];
  EXPECT_TRUE(inspector_value_text(&model_.items[value], text, sizeof text));
  EXPECT_STREQ("20", text);
  char error[KQ_PATH];
  EXPECT_TRUE(inspector_assign(&model_, value, "20 * 3 + counter", error, sizeof error));
  EXPECT_STREQ("", error);
  EXPECT_EQ(67u, peek32(0x120C));
  EXPECT_EQ("value = 67", rows()[row("value")]);
  // A text that does not evaluate writes nothing and says why.
  EXPECT_FALSE(inspector_assign(&model_, row("value"), "nosuch", error, sizeof error));
  EXPECT_STREQ("Unknown symbol 'nosuch'", error);
  EXPECT_EQ(67u, peek32(0x120C));
  // A string goes where the char pointer points.
  inspector_set_path(&model_, "\\@WATCH\\head\\");
  EXPECT_TRUE(inspector_assign(&model_, row("name"), "\"jolly\"", error, sizeof error));
  // A watch of no place cannot take a value.
  watch_add("counter + 1", -1);
  inspector_set_path(&model_, "\\@WATCH\\");
  EXPECT_FALSE(inspector_assign(&model_, row("counter + 1"), "5", error, sizeof error));
  EXPECT_STREQ("Expression has no valid write address", error);
  inspector_set_path(&model_, "\\@WATCH\\head\\");
  EXPECT_EQ("name = \"jolly\"", rows()[row("name")]);
  std::string bytes;
  for (uint32_t a = 0x1400; a < 0x1406; a++) bytes += (char)g_fake.memory[a];
  EXPECT_EQ(std::string("jolly\0", 6), bytes);
}

TEST_F(InspectorTest, AMissingNameStopsTheWalkUntilItComesBack) {
  watch_add("head", -1);
  inspector_set_path(&model_, "\\@WATCH\\head\\next\\");
  ASSERT_EQ(3, model_.current);
  watch_delete(0);
  inspector_refresh(&model_);
  // The watch list is shown; the path behind it is kept.
  EXPECT_EQ(1, inspector_shown_level(&model_));
  EXPECT_EQ(Rows{".. = .."}, rows());
  EXPECT_EQ("\\@WATCH\\head\\next\\", path());
  EXPECT_EQ(4, model_.level_count);
  watch_add("head", -1);
  inspector_refresh(&model_);
  EXPECT_EQ(3, inspector_shown_level(&model_));
  EXPECT_EQ(257, model_.item_count);
  // Entering a frame that has returned and is there again works the same way.
  inspector_set_path(&model_, "\\@STACK\\[2100] <lib.dll>+/Export+/0x10\\");
  g_stack.count = 1;
  inspector_refresh(&model_);
  EXPECT_EQ(1, inspector_shown_level(&model_));
  g_stack.count = 2;
  inspector_refresh(&model_);
  EXPECT_EQ(2, inspector_shown_level(&model_));
}

TEST_F(InspectorTest, SourcesThatWentAndEmptyElementsAreNotEntered) {
  inspector_set_path(&model_, "\\app.c\\");
  ASSERT_EQ(2, model_.item_count);
  sources_clear();
  inspector_refresh(&model_);
  EXPECT_EQ(0, inspector_shown_level(&model_));
  // An array of void elements has none to show.
  entry_define("voids", 0x1800, type_define_array(type_base(BT_VOID), 16), nullptr);
  watch_add("voids", -1);
  inspector_set_path(&model_, "\\@WATCH\\voids\\");
  EXPECT_EQ(2, inspector_shown_level(&model_));
  EXPECT_EQ(Rows{".. = .."}, rows());
}

TEST(InspectorPlace, EachNewOneStandsFurtherOnUntilItLeavesTheDesktop) {
  const InspectorRect desktop = {0, 0, 1280, 1024};
  struct Case {
    InspectorRect place, next;
  };
  const Case cases[] = {
      {{0, 0, 300, 500}, {60, 10, 360, 510}},
      {{1200, 500, 1500, 1000}, {1260, 510, 1560, 1010}},  // still meets it
      {{1220, 0, 1520, 500}, {0, 0, 300, 500}},            // its left edge on the right one
      {{100, 1014, 400, 1514}, {0, 0, 300, 500}},          // its top on the bottom edge
      {{-400, -600, -100, -100}, {0, 0, 300, 500}},         // all of it above and left
      {{-100, -100, 200, 400}, {-40, -90, 260, 410}},
  };
  for (const Case &c : cases) {
    const InspectorRect r = inspector_next_place(c.place, desktop);
    EXPECT_EQ((std::vector<int>{c.next.left, c.next.top, c.next.right, c.next.bottom}),
              (std::vector<int>{r.left, r.top, r.right, r.bottom}))
        << c.place.left << "," << c.place.top;
  }
}

}  // namespace
