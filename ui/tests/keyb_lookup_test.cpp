#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "ui/keyb_tables.h"
#include "util/tests/test_support.h"

// A keyboard as the tests hold it, and what the processor did through its seam.
struct FakeKeyboard {
  uint8_t modifiers;
  void *focus;
  std::vector<CommandRef> executed;
  std::vector<std::string> views;  // "report <window>", "hide", "refresh", "enable 0/1"
};
static FakeKeyboard g_fake;

static const KeybSeam kFakeSeam = {
    [] { return g_fake.modifiers; },
    [] { return g_fake.focus; },
    [](const CommandRef *ref) { g_fake.executed.push_back(*ref); },
};
static const KeybViews kFakeViews = {
    [](void *w) { g_fake.views.push_back("report " + std::to_string((uintptr_t)w)); },
    [] { g_fake.views.push_back("hide"); },
    [] { g_fake.views.push_back("refresh"); },
    [](bool on) { g_fake.views.push_back(on ? "enable 1" : "enable 0"); },
};

static void *const kMain = (void *)1, *const kCode = (void *)2, *const kWatch = (void *)3,
                   *const kLog = (void *)4;

class Keyb : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeKeyboard{};
    keyb_reset(&kFakeSeam);
    keyb_set_views(&kFakeViews);
  }
  void TearDown() override { keyb_set_views(nullptr); }
  static void modifiers(uint8_t mods) {
    g_fake.modifiers = mods;
    keyb_set_active(true);
  }
};

enum { F1 = 0x70, F2 = 0x71, F5 = 0x74, F7 = 0x76, F10 = 0x79, ENTER = 0x0D, TAB = 0x09 };

TEST_F(Keyb, RegistrationKeepsOnePairOnceAndTellsTheViews) {
  EXPECT_EQ(keyb_register_table(kMain, main_keys), 0);
  EXPECT_EQ(keyb_register_table(kCode, code_keys), 1);
  EXPECT_EQ(keyb_register_table(kMain, main_keys), 0);
  EXPECT_EQ(keyb_register_table(kCode, watch_keys), 2);  // another table is another pair
  EXPECT_EQ(g_keyb.tabnum, 3);
  EXPECT_EQ(g_fake.views, (std::vector<std::string>{"report 1", "refresh", "report 2",
                                                      "refresh", "report 2", "refresh"}));
  keyb_unregister_table(kCode, code_keys);
  keyb_unregister_table(kWatch, code_keys);  // not registered: nothing happens
  ASSERT_EQ(g_keyb.tabnum, 2);
  EXPECT_EQ(g_keyb.tabs[0].table, main_keys);
  EXPECT_EQ(g_keyb.tabs[1].table, watch_keys);
}

TEST_F(Keyb, FiveTablesAtMost) {
  const KeyCommand *tables[] = {main_keys, code_keys, data_keys, log_keys, dialog_keys};
  for (int i = 0; i < 5; i++) EXPECT_EQ(keyb_register_table(kMain, tables[i]), i);
  std::string path = temp_log_path("keyb_sixth");
  EXPECT_EXIT(
      {
        log_open_file(path.c_str(), "test.exe");
        keyb_register_table(kMain, watch_keys);
      },
      ::testing::ExitedWithCode(kExitMinusOne), "");
  EXPECT_NE(read_file(path).find("Assertion keyb "), std::string::npos) << read_file(path);
  EXPECT_NE(read_file(path).find(": tabnum+1<MAXKEYTAB"), std::string::npos);
}

// The focused panel's table is searched before the main window's; modifiers must match
// exactly.
TEST_F(Keyb, LookupSearchesTheLatestTableFirst) {
  struct { const KeyCommand *panel; void *window; uint8_t mods; int key; bool found;
           void *to; int command; const char *title; } cases[] = {
      {code_keys, kCode, KEYMOD_CTRL, F2, true, kMain, 10063, "Code"},
      {code_keys, kCode, 0, ENTER, true, kCode, 10011, "Follow"},
      {watch_keys, kWatch, 0, ENTER, true, kWatch, 10164, "Inspect"},
      {code_keys, kCode, KEYMOD_CTRL | KEYMOD_SHIFT, F2, false, nullptr, 0, nullptr},
      {code_keys, kCode, KEYMOD_CTRL, 'E', true, kCode, 10010, "Erase"},
      {log_keys, kLog, KEYMOD_CTRL, 'W', true, kLog, 0, "Wrap"},
      {log_keys, kLog, 0, TAB, true, kMain, 10087, "Swap panels"},
      {cover_keys, kCode, 0, TAB, true, kCode, 10038, "Switch"},
      {log_keys, kLog, KEYMOD_ALT, 'F', false, nullptr, 0, nullptr},
  };
  for (auto &c : cases) {
    keyb_reset(&kFakeSeam);
    keyb_register_table(kMain, main_keys);
    keyb_register_table(c.window, c.panel);
    CommandRef ref = {};
    ASSERT_EQ(keyb_find(c.mods, c.key, &ref), c.found) << c.key;
    if (!c.found) continue;
    EXPECT_EQ(ref.window, c.to) << c.title;
    EXPECT_EQ(ref.command, c.command) << c.title;
    EXPECT_STREQ(ref.title, c.title);
  }
}

// Messages as the loop hands them over: which are consumed, what runs, what the views hear.
TEST_F(Keyb, FilterFollowsModifiersAndRunsMatches) {
  keyb_register_table(kMain, main_keys);
  keyb_register_table(kCode, code_keys);
  g_fake.focus = kCode;
  g_fake.views.clear();
  struct { uint8_t held; int key; bool down, system, active, consumed; int command;
           std::vector<std::string> views; } steps[] = {
      {KEYMOD_CTRL, 0x11, true, false, true, false, -1, {"refresh", "report 2"}},
      {KEYMOD_CTRL, 0x11, true, false, true, false, -1, {}},  // auto-repeat: no change
      {KEYMOD_CTRL, F2, true, false, true, true, 10063, {"hide"}},
      {KEYMOD_CTRL, F2, false, false, true, false, -1, {}},
      {0, 0x11, false, false, true, false, -1, {"refresh", "report 2"}},
      {0, ENTER, true, false, true, true, 10011, {"hide"}},
      {KEYMOD_ALT, 0x12, true, true, true, true, -1, {"refresh", "report 2"}},
      {KEYMOD_ALT, 'F', true, true, true, true, -1, {"hide"}},  // swallowed, runs nothing
      {KEYMOD_ALT, 'F', false, true, true, true, -1, {}},
      {KEYMOD_ALT, 0x12, false, true, true, true, -1, {}},  // state read: ALT still held
      {0, 0x12, false, true, true, true, -1, {"refresh", "report 2"}},
      {0, F7, true, false, false, false, -1, {"hide"}},  // inactive: nothing runs
      {KEYMOD_ALT, F7, true, true, false, true, -1, {"hide"}},
      {0, 'Q', true, false, true, false, -1, {"hide"}},  // bound nowhere: the window's
  };
  int n = 0;
  for (auto &s : steps) {
    SCOPED_TRACE(n++);
    g_fake.modifiers = s.held;
    g_keyb.active = s.active;
    g_fake.executed.clear();
    g_fake.views.clear();
    EXPECT_EQ(keyb_filter_key(s.key, s.down, s.system), s.consumed);
    ASSERT_EQ(g_fake.executed.size(), s.command < 0 ? 0u : 1u);
    if (s.command >= 0) {
      EXPECT_EQ(g_fake.executed[0].command, s.command);
    }
    EXPECT_EQ(g_fake.views, s.views);
  }
}

TEST_F(Keyb, ActivationRereadsModifiersAndSwitchesTheViews) {
  g_fake.modifiers = KEYMOD_SHIFT;
  keyb_set_active(false);
  EXPECT_FALSE(keyb_active());
  EXPECT_EQ(keyb_modifiers(), KEYMOD_SHIFT);
  keyb_set_active(true);
  // SHIFT let go while a dialog had the keys: the bar shows the plain keys again.
  g_fake.modifiers = 0;
  keyb_set_active(false);
  keyb_set_active(true);
  EXPECT_EQ(keyb_modifiers(), 0);
  EXPECT_EQ(g_fake.views,
            (std::vector<std::string>{"hide", "enable 0", "refresh", "hide", "enable 1", "hide",
                                      "enable 0", "refresh", "hide", "enable 1"}));
}

static std::string titles(const CommandRef *refs, int count) {
  std::string text;
  for (int i = 0; i < count; i++)
    text += std::string(refs[i].key_name) + "=" + (refs[i].title ? refs[i].title : "") + " ";
  return text;
}

// Later tables override earlier ones; keys without a command stay empty.
TEST_F(Keyb, FunctionKeysOfTheModifierState) {
  static const KeyCommand panel[] = {{0, F5, 10500, "Mine"}, {KEYMOD_CTRL, F1, 10501, "Also"},
                                     {0, F10 + 1, 10502, "F11"}, {0, 0, 0, nullptr}};
  keyb_register_table(kMain, main_keys);
  keyb_register_table(kCode, panel);
  struct { uint8_t mods; const char *titles; } cases[] = {
      {0, "F1=Help F2=Frame F3=Panel F4=Layout F5=Mine F6=Return F7=Step into "
          "F8=Step over F9=Step back F10=Pause "},
      {KEYMOD_CTRL, "F1=Also F2=Code F3=Data F4=Log F5=Reg F6=Watch F7= F8= F9= F10=Console "},
      {KEYMOD_CTRL | KEYMOD_ALT, "F1= F2= F3= F4= F5= F6= F7= F8= F9= F10= "},
  };
  for (auto &c : cases) {
    modifiers(c.mods);
    CommandRef refs[FUNCTION_KEY_COUNT];
    ASSERT_EQ(keyb_function_keys(refs), FUNCTION_KEY_COUNT);
    EXPECT_EQ(titles(refs, FUNCTION_KEY_COUNT), c.titles);
    for (const CommandRef &r : refs) EXPECT_EQ(r.category, KEYCAT_FUNCTION);
  }
  modifiers(0);
  CommandRef refs[FUNCTION_KEY_COUNT];
  keyb_function_keys(refs);
  EXPECT_EQ(refs[4].window, kCode);
  EXPECT_EQ(refs[0].window, kMain);
  modifiers(KEYMOD_CTRL);
  keyb_function_keys(refs);
  EXPECT_EQ(refs[6].window, nullptr);
  EXPECT_EQ(refs[6].command, 0);
}

TEST_F(Keyb, AvailableCommandsForTheBalloon) {
  keyb_register_table(kMain, main_keys);
  keyb_register_table(kCode, code_keys);
  keyb_register_table(kWatch, watch_keys);
  struct { uint8_t mods; int limit; const char *titles; } cases[] = {
      // The watch panel's ENTER, INS, DEL and SPACE hide the code panel's.
      {0, 40, "BACK=Previous DEL=Delete DOWN=Line down END=Page end ENTER=Inspect "
              "HOME=Page home INS=Change value LEFT=Page left PGDN=Page down PGUP=Page up "
              "RIGHT=Page right SPACE=Move up TAB=Swap panels UP=Line up ADD=Grow up "
              "SUBTRACT=Grow down "},
      {KEYMOD_CTRL, 40, "DOWN=Move down ENTER=Run until INS=Copy PGDN=Section down "
                        "PGUP=Section up UP=Move up A=Add C=Change value D=View codes "
                        "E=Edit expression F=Follow G=Goto.. I=Inspect K=Save patches.. "
                        "N=New origin "
                        "O=Goto origin S=Search.. Y=Delete "},
      // The limit keeps the first found (the latest table's), then sorts them.
      {0, 3, "DEL=Delete ENTER=Inspect INS=Change value "},
      {KEYMOD_SHIFT, 40, ""},  // the main window's SHIFT keys are all function keys
  };
  for (auto &c : cases) {
    modifiers(c.mods);
    CommandRef refs[BALLOON_COMMANDS];
    int count = keyb_available_commands(refs, c.limit);
    EXPECT_EQ(titles(refs, count), c.titles);
  }
}

// Every row of every table names a key of the name table, and no row hides another of
// the same table.
TEST(KeyTables, RowsNameKnownKeysOnce) {
  const KeyCommand *tables[] = {main_keys, code_keys, data_keys, source_keys, reg_keys,
                                watch_keys, log_keys, inspector_keys, cover_keys,
                                cmdline_keys, comments_keys, breakpoints_keys,
                                animator_keys, dialog_keys};
  for (const KeyCommand *table : tables)
    for (const KeyCommand *row = table; row->title; row++) {
      char text[KEY_TEXT];
      ASSERT_TRUE(key_name(row->modifiers, row->key, text, sizeof text)) << row->title;
      uint8_t mods;
      int code;
      ASSERT_TRUE(parse_key_combination(text, &mods, &code));
      EXPECT_EQ(mods, row->modifiers) << text;
      EXPECT_EQ(code, (int)row->key) << text;  // a copy: the rows are packed
      EXPECT_TRUE(row->command == 0 || row->command <= 2 ||
                  (row->command >= 10000 && row->command <= 10166))
          << text << " " << row->command;
      for (const KeyCommand *other = table; other != row; other++)
        EXPECT_FALSE(other->modifiers == row->modifiers && other->key == row->key) << text;
    }
}
