// Symbols, types, casts, members and indexes over a small program in the real symbol and
// type stores, and the "<module>+/symbol+/0x..." names read back.
#include <string>

#include "eval_fixture.h"
#include "symbols/address_name.h"

namespace {

class Symbols : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    define_world();
  }
};

struct Case {
  const char *text;
  const char *shown;
};

TEST_F(Symbols, NamesTypesMembersAndIndexes) {
  const Case cases[] = {
      {"counter", "long: 7"},
      {"counter + 1", "long: 8"},
      {"[counter]", "dword: 0x7"},
      {"[counter+4]", "error: Cannot read memory at 0x1104"},
      {"local", "long: 42"},
      {"local * 2 + counter", "long: 91"},
      {"dup", "long: 2"},
      {"ptr", "long*: {1, 2, 3, 4, 5, 6, 7, 8}"},
      {"*ptr", "long: 1"},
      {"ptr[2]", "long: 3"},
      {"ptr + 1", "long: 2"},
      {"back - 1", "long: 2"},
      {"back[-2]", "long: 1"},
      {"table", "long[]: {1, 2, 3, 4, 5, 6, 7, 8}"},
      {"table[7]", "long: 8"},
      {"table[8]", "error: Cannot read memory at 0x1320"},
      {"&table", "long[]*: table"},
      {"&counter", "long*: {7, ??, ??, ??, ??, ??, ??, ??}"},
      {"*&counter", "long: 7"},
      {"text", "char[]: \"hello\""},
      {"text[1]", "char: 'e'"},
      {"head.value", "long: 10"},
      {"head.next->value", "long: 20"},
      {"head.next->next", "struct Node*: NULL"},
      {"head.next->next->value", "error: Cannot read memory at 0x0"},
      {"head.name", "char*: \"hello\""},
      {"head.name[4]", "char: 'o'"},
      {"head.value + 1", "long: 11"},  // the term goes on after a member
      {"head.next.value", "error: Unknown symbol value"},
      {"head.nosuch", "error: Unknown symbol nosuch"},
      {"head", "struct Node: {10, 0x120C, \"hello\"}"},
      {"head.next", "struct Node*: {{20, NULL, NULL}, {??, ??, ??}, {??, ??, ??}, "
                    "{??, ??, ??}, {??, ??, ??}, {??, ??, ??}, {??, ??, ??}, {??, ??, ??}}"},
      {"(head).value", "long: 10"},
      {"((Node*)0x1200)->value", "long: 10"},
      {"*(Node*)0x1200", "struct Node: {10, 0x120C, \"hello\"}"},
      {"(long*)table", "long*: {1, 2, 3, 4, 5, 6, 7, 8}"},
      {"(long*)4864", "long*: {1, 2, 3, 4, 5, 6, 7, 8}"},
      {"(long[])0x1300", "long[]: {}"},
      {"(char*)0x1400", "char*: \"hello\""},
      {"(long)table", "long: 4864"},
      {"(Node)1", "error: Invalid typecast"},
      {"(Color)1", "error: Invalid typecast"},
      {"color", "enum Color: 2"},
      {"color + 1", "long: 3"},
      {"func", "@function: func"},
      {"main", "@frame frame_main: main"},
      {"<app.exe>", "void: "},
      {"<nomod>", "error: Unknown module 'nomod'"},
      {"counter[1]", "error: Type 'long' does not support indices"},
      {"head[0]", "error: Type 'struct Node' does not support indices"},
      {"table[\"x\"]", "error: Invalid index type"},
      {"table[1", "error: Right bracket expected"},
      {"ptr + \"x\"", "error: Invalid index type"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.shown, show(c.text));
  }
}

TEST_F(Symbols, FramesAndSourcesFollowTheInstructionPointer) {
  g_fake.regs.r[ER_EIP] = 0x401100;  // past the frame and the source
  EXPECT_EQ("error: Unknown symbol 'local'", show("local"));
  std::string dup = show("dup");
  EXPECT_TRUE(dup == "long: 1" || dup == "long: 2") << dup;
  // A symbol wins over a register named in lower case, not over the exact name.
  entry_define("eax", 0x1700, type_base(BT_LONG), nullptr);
  g_fake.regs.r[ER_EAX] = 9;
  EXPECT_EQ("long: 1", show("eax"));
  EXPECT_EQ("dword: 0x9", show("EAX"));
}

// Two libraries define the same structure and a same-named procedure; the one that
// defined them first goes, and the other's locals still evaluate through them.
TEST_F(Symbols, TypesOutliveTheModuleThatDefinedThemFirst) {
  for (uint32_t base : {0x20000000u, 0x30000000u}) {
    module_set_current(load("/nonexistent/lib" + std::to_string(base) + ".dll", base, 0x10000));
    TypeRecord *pair = type_define_struct("Pair", 8);  // the first library's, by name
    if (base == 0x20000000u) {
      type_define_member(pair, "x", 0, type_base(BT_LONG));
      type_define_member(pair, "y", 4, type_base(BT_LONG));
    }
    TypeRecord *frame = type_define_frame("step", nullptr, base + 0x1000, base + 0x1100);
    type_define_member(frame, base == 0x20000000u ? "first" : "second", -8, pair);
    type_define_member(frame, "link", -12, type_define_pointer(pair));
    entry_define("step", base + 0x1000, frame, nullptr);
  }
  module_set_current(nullptr);
  g_fake.regs.r[ER_EIP] = 0x30001010;
  g_fake.regs.r[ER_EBP] = 0x3000;
  const uint32_t locals[] = {0x2FF8, 5, 6};  // link, second
  poke(0x2FF4, locals, sizeof locals);
  EXPECT_EQ("error: Unknown symbol 'first'", show("first"));  // the other library's local
  for (bool unloaded : {false, true}) {
    if (unloaded) {
      snapshot_.erase(snapshot_.end() - 2);  // the first library
      modules_refresh_from(snapshot_.data(), (int)snapshot_.size());
    }
    EXPECT_EQ("long: 5", show("second.x"));
    EXPECT_EQ("long: 6", show("link->y"));
    EXPECT_EQ("long: 6", show("(&second)->y"));  // a pointer type of the evaluator's own
  }
  EXPECT_EQ(nullptr, type_find("Pair")) << "the name went with its module";
}

// Names in assembler text stand for entries, sources and modules only.
TEST_F(Symbols, AssemblerNames) {
  entry_define("local", 0x1800, type_base(BT_LONG), nullptr);  // and a local of main
  entry_define("d", 0x1810, nullptr, nullptr);                // and a flag
  g_fake.regs.r[ER_EFLAGS] = 0xFFF;
  g_fake.regs.r[ER_TIB] = 0x7FFDE000;
  g_fake.regs.r[ER_ERR] = 5;
  const struct {
    const char *name;
    uint32_t address;
  } cases[] = {{"local", 0x1800},  {"d", 0x1810},       {"counter", 0x1100},
               {"app.c", 0x401000}, {"lib.dll", 0x10000000}, {"c", 0},
               {"tib", 0},          {"err", 0},          {"nosuch", 0}};
  for (const auto &c : cases) EXPECT_EQ(c.address, expression_symbol_address(c.name)) << c.name;
}

// A breakpoint text that reads the registers is resolved only once.
TEST_F(Symbols, TextsThatReadTheRegisters) {
  const struct {
    const char *text;
    bool reads;
  } cases[] = {{"[esp]", true}, {"EAX + 4", true}, {"local", true}, {"&local", true},
               {"counter", false}, {"[counter]", false}, {"main", false}, {"0x401000", false},
               {"nosuch", false}, {"table[1]", false}};
  for (const auto &c : cases) EXPECT_EQ(c.reads, expression_reads_registers(c.text)) << c.text;
}

TEST_F(Symbols, AddressNamesReadBack) {
  struct Named {
    const char *text;
    uint32_t address;
  };
  const Named cases[] = {
      {"<app.exe>", 0x400000},
      {"<APP.EXE>+/0x10", 0x400010},
      {"<app.exe>+/main", 0x401000},
      {"<app.exe>+/main+/0x10", 0x401010},
      {"main+/0x1A", 0x40101A},
      {"main-/0x10", 0x400FF0},
      {"<lib.dll>+/Export+/0x10", 0x10001010},
      {"<lib.dll>+/Export+/16", 0x10001010},
      {"app.c", 0x401000},      // a source by name
      {"lib.dll", 0x10000000},  // a module by name
      {"0x401000", 0x401000},
      {"counter", 7},
      {"ptr", 0x1300},
      {"head", 0x1200},
      {"<app.exe>+/Export", 0},  // not a symbol of that module
      {"nothing", 0},
  };
  for (const Named &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.address, expression_address(c.text));
  }
  // Whatever address naming writes, the evaluator reads back.
  const uint32_t addresses[] = {0x400000, 0x400010, 0x401000, 0x401234, 0x10000004,
                                0x10001000, 0x10001FFF};
  const uint32_t references[] = {0x401000, 0x10000000};
  int named = 0;
  for (uint32_t reference : references)
    for (uint32_t address : addresses) {
      char name[300];
      if (!address_name(reference, address, true, name, sizeof name)) continue;
      SCOPED_TRACE(name);
      named++;
      EXPECT_EQ(address, expression_address(name));
    }
  EXPECT_EQ(11, named);
  uint32_t at = 0, size = 0;
  EXPECT_TRUE(expression_locate("counter", &at, &size));
  EXPECT_EQ(0x1100u, at);
  EXPECT_EQ(4u, size);
  EXPECT_TRUE(expression_locate("head.next", &at, &size));
  EXPECT_EQ(0x1204u, at);
  EXPECT_TRUE(expression_locate("text", &at, &size));
  EXPECT_EQ(0x1400u, at);
  EXPECT_EQ(16u, size);
}

TEST_F(Symbols, BytesOfArraysAndStructuresComeFromMemory) {
  uint8_t bytes[300];
  ASSERT_EQ(16, expression_bytes("text", bytes, sizeof bytes));
  EXPECT_EQ(0, memcmp("hello\0world", bytes, 12));
  ASSERT_EQ(12, expression_bytes("head", bytes, sizeof bytes));
  EXPECT_EQ(0x120Cu, bytes[4] | bytes[5] << 8);
  EXPECT_EQ(4, expression_bytes("ptr", bytes, sizeof bytes));
  EXPECT_EQ(0x1300u, bytes[0] | bytes[1] << 8);
  EXPECT_EQ(0, expression_bytes("main", bytes, sizeof bytes));  // a frame has no bytes
  entry_define("huge", 0x1400, type_define_array(type_base(BT_BYTE), 0x80000000u), nullptr);
  for (uint32_t i = 0; i < 300; i++) g_fake.memory[0x1400 + i] = (uint8_t)i;
  ASSERT_EQ(260, expression_bytes("huge", bytes, sizeof bytes));
  EXPECT_EQ((uint8_t)259, bytes[259]);
}

TEST_F(Symbols, TypeNames) {
  struct Named {
    const char *spec;
    const char *text;  // null: no type
  };
  const Named cases[] = {
      {"long", "long"},
      {"long*", "long*"},
      {"char**", "char**"},
      {"Node*[]", "struct Node*[]"},
      {" dword [ ] * ", "dword[]*"},
      {"Color", "enum Color"},
      {"nosuch", nullptr},
      {"", nullptr},
      {"long[", nullptr},
      {"*long", nullptr},
  };
  for (const Named &c : cases) {
    SCOPED_TRACE(c.spec);
    TypeRecord *t = expression_get_type(c.spec);
    if (!c.text) {
      EXPECT_EQ(nullptr, t);
      continue;
    }
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(nullptr, t->owner);
    char text[100];
    expression_format_type(t, text, sizeof text);
    EXPECT_STREQ(c.text, text);
  }
  EXPECT_EQ(expression_get_type("long*"), expression_get_type("long *"));  // shared
  expression_get_type("long[");
  EXPECT_STREQ("Right bracket expected", expression_last_error());
  expression_get_type("nosuch");
  EXPECT_STREQ("Unknown type nosuch", expression_last_error());
  expression_get_type("+");
  EXPECT_STREQ("Type name expected", expression_last_error());
}

}  // namespace
