// The manager's texts: PluginOrder items, removal and writing, command titles and typed
// command lines, and the command dialog's order.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "plugin_host/plugin_text.h"

namespace {

std::string items_of(const char *text) {
  PluginOrderCursor cursor;
  PluginOrderItem item;
  std::string out;
  plugin_order_begin(&cursor, text);
  while (plugin_order_next(&cursor, &item))
    out += std::string(item.enabled ? "+" : "-") + item.name + "|";
  return out;
}

}  // namespace

TEST(PluginOrder, ItemsWithSignsAndInheritedStates) {
  struct Case {
    const char *text, *items;
  } const cases[] = {
      {"-a.dll;+b.dll;", "-a.dll|+b.dll|"},
      {"x.dll;;\n\n-y.dll;z.dll", "+x.dll|-y.dll|-z.dll|"},  // unsigned: the state before
      {"", ""},
      {";;\n;", ""},
      {"\n+a.dll", "+a.dll|"},
      {"-;+b", "-|+b|"},  // a bare sign is an item with an empty name
      {"a b.dll;c", "+a b.dll|+c|"},  // blanks belong to the name
  };
  for (const Case &c : cases) EXPECT_EQ(c.items, items_of(c.text)) << c.text;
}

TEST(PluginOrder, RemovingAnItemKeepsTheWalkGoing) {
  struct Case {
    const char *text, *remove, *after, *seen;
  } const cases[] = {
      {"-a.dll;+gone.dll;\n+c.dll;", "gone.dll", "-a.dll;+c.dll;", "a.dll|gone.dll|c.dll|"},
      {"a;b", "b", "a;", "a|b|"},
      {";;x;;y", "x", ";;y", "x|y|"},
      {"+only.dll;", "only.dll", "", "only.dll|"},
  };
  for (const Case &c : cases) {
    char text[64];
    snprintf(text, sizeof text, "%s", c.text);
    PluginOrderCursor cursor;
    PluginOrderItem item;
    std::string seen;
    plugin_order_begin(&cursor, text);
    while (plugin_order_next(&cursor, &item)) {
      seen += std::string(item.name) + "|";
      if (!strcmp(item.name, c.remove)) plugin_order_remove(&cursor, text, &item);
    }
    EXPECT_STREQ(c.after, text) << c.text;
    EXPECT_EQ(c.seen, seen) << c.text;
  }
}

TEST(PluginOrder, WritingItemsUntilTheBufferIsFull) {
  char text[16] = "";
  EXPECT_TRUE(plugin_order_append(text, sizeof text, true, "b.dll"));
  EXPECT_TRUE(plugin_order_append(text, sizeof text, false, "a.dll"));
  EXPECT_STREQ("+b.dll;-a.dll;", text);
  EXPECT_FALSE(plugin_order_append(text, sizeof text, true, "c"));  // needs 3 more, 1 left
  EXPECT_STREQ("+b.dll;-a.dll;", text);
  EXPECT_EQ("+b.dll|-a.dll|", items_of(text));  // what is written reads back
}

TEST(CommandText, TitlesSplitIntoKeyAndDescription) {
  struct Case {
    const char *title, *key, *description;
  } const cases[] = {
      {"[build]  Rebuild the program", "build", "Rebuild the program"},
      {"Rebuild the program", "", "Rebuild the program"},
      {"[open", "open", ""},
      {"[]\tx y", "", "x y"},
      {"[a]b", "a", "b"},
      {" [a] b", "", " [a] b"},  // the bracket must come first
  };
  for (const Case &c : cases) {
    CommandTitle parts;
    command_title_split(c.title, &parts);
    EXPECT_EQ(c.key, std::string(parts.key, parts.key_length)) << c.title;
    EXPECT_STREQ(c.description, parts.description) << c.title;
  }
}

TEST(CommandText, TypedTextSplitsIntoKeyAndParameter) {
  struct Case {
    const char *typed, *key, *parameter;
  } const cases[] = {
      {"build release", "build", "release"},
      {"build \t  a b ", "build", "a b "},
      {"build", "build", ""},
      {"", "", ""},
      {" lead", "", "lead"},
  };
  for (const Case &c : cases) {
    char key[16];
    EXPECT_STREQ(c.parameter, typed_command_split(c.typed, key, sizeof key)) << c.typed;
    EXPECT_STREQ(c.key, key) << c.typed;
  }
  char key[4];
  EXPECT_STREQ("x", typed_command_split("abcdef x", key, sizeof key));
  EXPECT_STREQ("abc", key);  // cut to fit
}

TEST(CommandText, DialogOrderIsByKeyThenDescriptionIgnoringCase) {
  EXPECT_LT(command_order_compare("Alpha", "z", "beta", "a"), 0);
  EXPECT_GT(command_order_compare("b", "a", "A", "z"), 0);
  EXPECT_LT(command_order_compare("peek", "Read", "PEEK", "write"), 0);
  EXPECT_EQ(command_order_compare("peek", "read", "PEEK", "READ"), 0);
}

// Texts made of names, signs and separators at random: every item read, written back
// with its state and read again, gives the same items; cutting every item out leaves
// separators only.
TEST(PluginOrder, WhatIsReadWritesBackAndCutsAway) {
  const char alphabet[] = "ab.+-;\n";
  unsigned seed = 12345;
  for (int round = 0; round < 2000; round++) {
    char text[40];
    int length = (int)((seed = seed * 1103515245u + 12345u) >> 16) % 32;
    for (int i = 0; i < length; i++)
      text[i] = alphabet[((seed = seed * 1103515245u + 12345u) >> 16) % (sizeof alphabet - 1)];
    text[length] = 0;
    std::string items = items_of(text);
    char written[256] = "";
    PluginOrderCursor cursor;
    PluginOrderItem item;
    plugin_order_begin(&cursor, text);
    while (plugin_order_next(&cursor, &item))
      ASSERT_TRUE(plugin_order_append(written, sizeof written, item.enabled, item.name));
    EXPECT_EQ(items, items_of(written)) << text;
    plugin_order_begin(&cursor, text);
    while (plugin_order_next(&cursor, &item)) plugin_order_remove(&cursor, text, &item);
    EXPECT_EQ(strlen(text), strspn(text, kPluginOrderSeparators)) << text;
  }
}
