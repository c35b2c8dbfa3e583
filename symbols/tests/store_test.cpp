// The entry, source and type stores: definition rules, look-ups at the edges of ranges,
// duplicate names, and deletion by range and by module.
#include <stdlib.h>

#include <map>
#include <random>

#include "settings/settings.h"
#include "symbols/entries.h"
#include "symbols/sources.h"
#include "symbols/types.h"
#include "symbols_fixture.h"

namespace {

typedef SymbolsTest Store;

TEST_F(Store, DefinitionAtAnOccupiedAddressKeepsOrReplaces) {
  struct Case {
    const char *first;
    int first_type;  // base type code, -1 for none
    const char *second;
    int second_type;
    const char *survivor;
  };
  const Case cases[] = {
      {"MessageBoxA", -1, "_MessageBoxA@16", -1, "MessageBoxA"},  // decorated form
      {"MessageBoxA", -1, "MessageBoxW", -1, "MessageBoxW"},
      {"main", -1, "_main", -1, "main"},       // "_main" undecorated is "main"
      {"_main", -1, "main", -1, "main"},       // "main" is not "_main"
      {"ns::f", -1, "?ns::f@@YAXXZ", -1, "ns::f"},
      {"ns::f", -1, "ns::", -1, "ns::"},        // "::" without a name after it ends the run
      {"g_count", BT_LONG, "label", -1, "g_count"},  // a typed entry outlives an untyped
      {"label", -1, "g_count", BT_LONG, "g_count"},
      {"g_a", BT_LONG, "g_b", BT_DWORD, "g_b"},
      {"label", -1, "", BT_LONG, ""},  // an unnamed symbol still marks its address
  };
  uint32_t address = 0x401000;
  // The first entry still waiting for the indexes, or in them already.
  for (bool indexed : {false, true}) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(c.first) + " then " + c.second + (indexed ? ", indexed" : ""));
      auto type = [](int code) { return code < 0 ? nullptr : type_base(code); };
      entry_define(c.first, address, type(c.first_type), nullptr);
      if (indexed) entries_flush();
      EntryRecord *e = entry_define(c.second, address, type(c.second_type), nullptr);
      ASSERT_TRUE(e);
      EXPECT_STREQ(c.survivor, e->name);
      EXPECT_EQ(e, entry_equal(address));
      EXPECT_EQ(1, entries_count());
      EXPECT_EQ(e, entry_find(c.survivor));
      entries_clear();
    }
  }
  EXPECT_FALSE(entry_define(nullptr, 1, nullptr, nullptr));
}

TEST_F(Store, AddressLookUpsAtTheEdges) {
  entry_define("low", 0x1000, nullptr, nullptr);
  entry_define("high", 0x2000, nullptr, nullptr);
  entry_define("top", 0xFFFFFFFF, nullptr, nullptr);
  struct Case {
    uint32_t address;
    const char *nearest, *equal;
  };
  const Case cases[] = {
      {0, nullptr, nullptr},          {0xFFF, nullptr, nullptr}, {0x1000, "low", "low"},
      {0x1FFF, "low", nullptr},       {0x2000, "high", "high"},  {0x2001, "high", nullptr},
      {0xFFFFFFFE, "high", nullptr},  {0xFFFFFFFF, "top", "top"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.address);
    EntryRecord *n = entry_nearest(c.address), *e = entry_equal(c.address);
    EXPECT_STREQ(c.nearest ? c.nearest : "(none)", n ? n->name : "(none)");
    EXPECT_STREQ(c.equal ? c.equal : "(none)", e ? e->name : "(none)");
  }
}

TEST_F(Store, DuplicateNamesAndNamesInModules) {
  ModuleRecord *a = load(wine_dll("version.dll"), 0x10000000, 0x1C000);
  ModuleRecord *b = load(wine_dll("lz32.dll"), 0x20000000, 0x10000);
  ASSERT_TRUE(a && b);
  entry_define("dup", 0x10000010, nullptr, nullptr);
  entry_define("dup", 0x20000010, nullptr, nullptr);
  entry_define("dup", 0x30000000, nullptr, nullptr);  // outside every module
  EntryRecord *any = entry_find("dup");
  ASSERT_TRUE(any);
  EXPECT_STREQ("dup", any->name);
  EXPECT_EQ(0x10000010u, entry_address_in_module("dup", a));
  EXPECT_EQ(0x20000010u, entry_address_in_module("dup", b));
  EXPECT_EQ(entry_equal(entry_address_in_module("dup", nullptr)), entry_find("dup"));
  EXPECT_EQ(0u, entry_address_in_module("nothing", nullptr));
  // The plain name finds decorated entries; an exact one wins in slot order.
  entry_define("_Decorated@8", 0x30000100, nullptr, nullptr);
  ASSERT_TRUE(entry_find_plain("Decorated"));
  EXPECT_EQ(0x30000100u, entry_find_plain("Decorated")->address);
  EXPECT_FALSE(entry_find("Decorated"));
}

TEST_F(Store, RangeRemovalTakesExactlyTheRange) {
  const uint32_t addresses[] = {0xFFF, 0x1000, 0x1800, 0x1FFF, 0x2000};
  for (uint32_t a : addresses) entry_define(("e" + std::to_string(a)).c_str(), a, nullptr, nullptr);
  EXPECT_EQ(3, entries_remove_range(0x1000, 0x2000));
  EXPECT_EQ(2, entries_count());
  EXPECT_TRUE(entry_equal(0xFFF));
  EXPECT_TRUE(entry_equal(0x2000));
  EXPECT_FALSE(entry_find("e4096"));
}

// Random definitions and range removals against a plain map: nearest, equal and name
// look-ups must agree throughout (tens of thousands of entries, many index parts, names
// that share long prefixes and end at every byte of them).
TEST_F(Store, RandomDefinitionsAgreeWithAReference) {
  std::mt19937 rng(7);
  std::map<uint32_t, std::string> reference;
  for (int round = 0; round < 30000; round++) {
    uint32_t a = rng() % 200000;
    std::string name = "function_" + std::to_string(rng() % 50000);
    entry_define(name.c_str(), a, nullptr, nullptr);
    // A search puts the entries so far into the indexes: later ones replace indexed entries,
    // and a few at a time go into a large store one by one.
    if (round % 700 == 0) entry_find(name.c_str());
    auto it = reference.find(a);
    if (it == reference.end() || !entry_name_match(name.c_str(), it->second.c_str()))
      reference[a] = name;
    if (round % 5000 == 4999) {
      uint32_t low = rng() % 200000, high = low + rng() % 5000;
      int expected = (int)std::distance(reference.lower_bound(low), reference.lower_bound(high));
      reference.erase(reference.lower_bound(low), reference.lower_bound(high));
      EXPECT_EQ(expected, entries_remove_range(low, high));
    }
  }
  ASSERT_EQ((int)reference.size(), entries_count());
  for (int probe = 0; probe < 20000; probe++) {
    uint32_t a = rng() % 210000;
    auto it = reference.upper_bound(a);
    EntryRecord *e = entry_nearest(a);
    if (it == reference.begin()) {
      EXPECT_FALSE(e);
      continue;
    }
    --it;
    ASSERT_TRUE(e);
    EXPECT_EQ(it->first, e->address);
    EXPECT_EQ(it->second, e->name);
    EntryRecord *named = entry_find(it->second.c_str());
    ASSERT_TRUE(named);
    EXPECT_EQ(it->second, named->name);
  }
}

TEST_F(Store, SourceLinesAtTheEdges) {
  const uint16_t lines[] = {30, 10, 20, 40};
  const uint32_t adrs[] = {0x1030, 0x1000, 0x1010, 0x1040};  // not in address order
  SourceRecord *s = source_define("src/file.c", 4, lines, adrs);
  ASSERT_TRUE(s);
  EXPECT_EQ(0x1000u, s->low);
  EXPECT_EQ(0x1041u, s->high);
  struct Case {
    uint32_t address;
    uint32_t line;
    bool start;
  };
  const Case cases[] = {
      {0xFFF, 0, false},   {0x1000, 10, true}, {0x100F, 10, false}, {0x1010, 20, true},
      {0x1031, 30, false}, {0x1040, 40, true}, {0x1041, 0, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(c.line, source_line_of(source_of_address(c.address), c.address));
    EXPECT_EQ(c.start, source_is_line_start(c.address));
    EXPECT_EQ(c.line != 0, symbol_has_debug_info(c.address));
  }
  SourceRecord *empty = source_define("empty.c", 0, nullptr, nullptr);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->low, empty->high);
  EXPECT_EQ(s, source_of_address(0x1000));
  EXPECT_EQ(s, source_by_name("FILE.C"));
  EXPECT_EQ(s, source_by_name("src/file.c"));
  EXPECT_EQ(empty, source_by_name("empty.c"));
  EXPECT_FALSE(source_by_name("other.c"));
}

TEST_F(Store, EntriesOfASourceAndItsDeletion) {
  const uint16_t lines[] = {1, 2};
  const uint32_t adrs[] = {0x5000, 0x5010};
  SourceRecord *s = source_define("a.c", 2, lines, adrs);
  EntryRecord *b = entry_define("b", 0x5010, nullptr, s);
  EntryRecord *a = entry_define("a", 0x5000, nullptr, s);
  EXPECT_EQ(a, source_entry(s, 0));  // name order
  EXPECT_EQ(b, source_entry(s, 1));
  EXPECT_FALSE(source_entry(s, 2));
  // A second entry of the name takes it over in the map, its own text with it.
  EntryRecord *a2 = entry_define("a", 0x5008, nullptr, s);
  entry_delete(a);
  const char *held = nullptr;
  ASSERT_TRUE(namemap_entry(&s->entry_map, 0, &held, nullptr, nullptr));
  EXPECT_EQ(a2->name, held);
  entry_delete(a2);
  EXPECT_EQ(b, source_entry(s, 0));
  source_delete(s);
  EXPECT_EQ(nullptr, entry_find("b")->source);  // no dangling source
}

TEST_F(Store, SourcePathsAreFoundBesideTheProgramAndAlongTheSearchPaths) {
  std::string root = temp_path("tree");
  const std::string sep = kSeparator;
  std::string sub = root + sep + "sub", far = root + sep + "far dir";
  make_dir(root);
  make_dir(sub);
  make_dir(far);
  write_file(root + sep + "prog.c", "x");
  write_file(sub + sep + "deep.c", "x");
  write_file(far + sep + "away.c", "x");
  symbols_set_program((root + sep + "prog.exe").c_str());
  char path[KQ_PATH];
  g_settings.SearchSourceInSubfolders = 1;
  snprintf(g_settings.SourceSearchPaths, sizeof g_settings.SourceSearchPaths, "; \"%s\"",
           far.c_str());
  EXPECT_TRUE(source_resolve_path("*.c", path, sizeof path));  // "*" is the program's name
  EXPECT_EQ(root + sep + "prog.c", path);
  EXPECT_TRUE(source_resolve_path("deep.c", path, sizeof path));
  EXPECT_EQ(sub + sep + "deep.c", path);
  EXPECT_TRUE(source_resolve_path("away.c", path, sizeof path));
  EXPECT_EQ(far + sep + "away.c", path);
  EXPECT_TRUE(source_resolve_path((root + sep + "prog.c").c_str(), path, sizeof path));
  EXPECT_FALSE(source_resolve_path("nowhere.c", path, sizeof path));
  // A build machine's folder that is not here: the name alone is looked for.
  EXPECT_TRUE(source_resolve_path("C:\\build\\gone\\away.c", path, sizeof path));
  EXPECT_EQ(far + sep + "away.c", path);
  EXPECT_TRUE(source_resolve_path((root + sep + "gone" + sep + "deep.c").c_str(), path,
                                  sizeof path));
  EXPECT_EQ(sub + sep + "deep.c", path);
  EXPECT_FALSE(source_resolve_path("C:\\build\\nowhere.c", path, sizeof path));
  g_settings.SourceSearchPaths[0] = 0;
  g_settings.SearchSourceInSubfolders = 0;
  SourceRecord *s = source_define("away.c", 0, nullptr, nullptr);
  EXPECT_FALSE(source_path(s));
  snprintf(g_settings.SourceSearchPaths, sizeof g_settings.SourceSearchPaths, "'%s'", far.c_str());
  EXPECT_FALSE(source_path(s));  // what the last look found stands until the settings change
  sources_resolve_again();
  EXPECT_EQ(s, source_by_path((far + sep + "AWAY.C").c_str()));
  ASSERT_TRUE(s->path);
  g_settings.SourceSearchPaths[0] = 0;
}

TEST_F(Store, TypeDefinitionRules) {
  ModuleRecord *one = (ModuleRecord *)0x1000, *two = (ModuleRecord *)0x2000;  // owners only
  module_set_current(one);
  TypeRecord *p1 = type_define_pointer(type_base(BT_CHAR));
  EXPECT_EQ(p1, type_define_pointer(type_base(BT_CHAR)));
  EXPECT_NE(p1, type_define_array(type_base(BT_CHAR), 4));
  EXPECT_EQ(type_define_array(type_base(BT_CHAR), 4), type_define_array(type_base(BT_CHAR), 4));
  EXPECT_NE(type_define_array(type_base(BT_CHAR), 4), type_define_array(type_base(BT_CHAR), 8));
  TypeRecord *s = type_define_struct("S", 8);
  EXPECT_EQ(s, type_define_struct("S", 12));
  EXPECT_EQ(12, type_size(s));
  type_define_struct("S", 0);
  EXPECT_EQ(12, type_size(s));
  type_define_member(s, "x", 0, type_base(BT_LONG));
  type_define_member(s, "x", 4, type_base(BT_DWORD));
  int shift = -1;
  TypeRecord *member = nullptr;
  EXPECT_TRUE(type_find_member(s, "x", &shift, &member));
  EXPECT_EQ(4, shift);  // the last of that name
  EXPECT_EQ(type_base(BT_DWORD), member);
  EXPECT_STREQ("x", type_member(s, 0, nullptr, nullptr));
  EXPECT_FALSE(type_member(s, 2, nullptr, nullptr));
  EXPECT_EQ(12, type_size(s));  // members leave a struct's size alone
  TypeRecord *f = type_define_frame("f", nullptr, 0x100, 0x200);
  type_define_member(f, "a", -8, type_base(BT_DWORD));
  type_define_member(f, "b", 4, type_base(BT_LONG));
  EXPECT_EQ(8, type_size(f));
  TypeRecord *e = type_define_enum("E", type_base(BT_WORD));
  EXPECT_EQ(2, type_size(e));
  EXPECT_EQ(e, type_define_enum("E", type_base(BT_LONG)));
  EXPECT_EQ(type_base(BT_WORD), type_deref(e));
  module_set_current(two);
  EXPECT_NE(p1, type_define_pointer(type_base(BT_CHAR)));  // another module's own
  EXPECT_EQ(s, type_define_struct("S", 4));                // names are shared
  module_set_current(nullptr);

  struct SizeCase {
    const TypeRecord *type;
    int size, server;
  };
  const SizeCase sizes[] = {
      {nullptr, 1, -1},
      {type_base(BT_VARIANT), 0, 0x62617365},
      {type_base(BT_QWORD), 8, 0x62617365},
      {p1, 4, 42},
      {type_define_array(type_base(BT_WORD), 20), 20, 0x5B5D},
      {s, 12, 0x7B7D},
      {type_define_function(nullptr, type_base(BT_LONG), 1), 4, 0x2829},
      {f, 8, 0x6270},
      {e, 2, 0x656E756D},
  };
  for (const SizeCase &c : sizes) {
    EXPECT_EQ(c.size, type_size(c.type));
    EXPECT_EQ(c.server, type_server(c.type));
  }
  EXPECT_TRUE(type_is_value(p1));
  EXPECT_FALSE(type_is_value(type_define_pointer(type_base(BT_LONG))));
  EXPECT_FALSE(type_is_value(type_base(BT_VOID)));

  int before = types_count();
  types_delete_module(one);
  EXPECT_FALSE(type_find("S"));  // defined first by module one
  EXPECT_LT(types_count(), before);
  EXPECT_EQ(type_base(BT_LONG), type_find("long"));
  types_delete_module(nullptr);
  EXPECT_EQ(BT_COUNT + 3, types_count());  // the unowned array, function and pointer stay
}

}  // namespace
