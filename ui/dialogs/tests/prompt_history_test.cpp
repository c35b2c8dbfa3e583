#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "ui/dialogs/prompt_history.h"

TEST(PromptHistory, MessageSplitsAtTheFirstLineFeed) {
  struct { const char *message, *title, *line; } cases[] = {
      {"Go to the line\nEnter a line number to go to.", "Go to the line",
       "Enter a line number to go to."},
      {"Only a title", "Only a title", ""},
      {"a\nb\nc", "a", "b\nc"},
      {"\nline only", "", "line only"},
      {"", "", ""},
  };
  for (auto &c : cases) {
    char title[PROMPT_TEXT], line[PROMPT_TEXT];
    prompt_split_message(c.message, title, sizeof title, line, sizeof line);
    EXPECT_STREQ(title, c.title) << c.message;
    EXPECT_STREQ(line, c.line) << c.message;
  }
  char small_title[4], line[4];
  prompt_split_message("abcdef\nghijk", small_title, sizeof small_title, line, sizeof line);
  EXPECT_STREQ(small_title, "abc");
  EXPECT_STREQ(line, "ghi");
}

TEST(PromptHistory, LeadingLineFeedIsTakenOff) {
  struct { const char *before, *after; bool unselected; } cases[] = {
      {"\n0x401000", "0x401000", true}, {"0x401000", "0x401000", false},
      {"\n", "", true}, {"", "", false}, {"\n\nx", "\nx", true}, {"a\nb", "a\nb", false}};
  for (auto &c : cases) {
    char text[PROMPT_TEXT];
    strcpy(text, c.before);
    EXPECT_EQ(prompt_take_leading_line_feed(text), c.unselected) << c.before;
    EXPECT_STREQ(text, c.after);
  }
}

static std::vector<std::string> entries(const char *history) {
  std::vector<std::string> list;
  int n = prompt_history_entries(history, [](void *context, const char *entry) {
    ((std::vector<std::string> *)context)->push_back(entry);
  }, &list);
  EXPECT_EQ(n, (int)list.size());
  return list;
}

TEST(PromptHistory, HistoryCutIntoListEntries) {
  using V = std::vector<std::string>;
  struct { const char *history; V list; } cases[] = {
      {"", V{}},
      {"a", V{"a"}},
      {"a\nb\nc", V{"a", "b", "c"}},
      {"a\nb\n", V{"a", "b"}},            // a line feed at the end adds nothing
      {"a\n\nb", V{"a", "", "b"}},        // two in a row add an empty entry
      {"\n", V{""}},
      {"\n\n", V{"", ""}},
  };
  for (auto &c : cases) EXPECT_EQ(entries(c.history), c.list) << c.history;
  // An overlong entry is cut to the buffer, the next still found.
  std::string lengthy(400, 'x');
  V got = entries((lengthy + "\nnext").c_str());
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::string(PROMPT_TEXT - 1, 'x'));
  EXPECT_EQ(got[1], "next");
}

TEST(PromptHistory, CommitRebuildsTextAndHistory) {
  using L = std::vector<const char *>;
  struct { L list; const char *accepted, *history; } cases[] = {
      {L{"a", "b"}, "c", "b\na\nc"},
      {L{"a", "b"}, "a", "b\na"},      // the accepted text is not repeated
      {L{"a", "b"}, "", "b\na\n"},     // empty answer: the history ends with a line feed
      {L{}, "only", "only"},
      {L{"A", "a"}, "a", "A\na"},      // case counts
      {L{"x", "x"}, "y", "x\nx\ny"},   // duplicates in the list stay as they were
      {L{"", "b"}, "c", "b\n\nc"},
  };
  for (auto &c : cases) {
    char text[PROMPT_TEXT] = "old text", history[PROMPT_TEXT] = "old\nhistory";
    prompt_commit(c.accepted, c.list.data(), (int)c.list.size(), text, history);
    EXPECT_STREQ(text, c.accepted);
    EXPECT_STREQ(history, c.history) << c.accepted;
  }
}

// The history stays within 260 characters: the accepted text and the list entries from
// the first in list order, as many as fit; the first that does not fit ends it.
TEST(PromptHistory, CommitKeepsWhatFitsInTheHistory) {
  std::string e100(100, 'p'), e150(150, 'q'), e10(10, 'r'), e5(5, 's');
  struct { std::vector<std::string> list; std::string accepted, history; } cases[] = {
      // 5 + 101 + 151 = 257: both fit
      {{e100, e150}, "acc", e150 + "\n" + e100 + "\nacc"},
      // 3 + 101 = 104; +151 = 255 fits; +11 = 266 does not, nor does what follows
      {{e100, e150, e10, e5}, "acc", e150 + "\n" + e100 + "\nacc"},
      // exactly at the limit: length + entry + 2 = 260 still goes in
      {{std::string(255, 't')}, "abc", std::string(255, 't') + "\nabc"},
      {{std::string(256, 't')}, "abc", "abc"},
  };
  for (auto &c : cases) {
    std::vector<const char *> list;
    for (auto &e : c.list) list.push_back(e.c_str());
    char text[PROMPT_TEXT], history[PROMPT_TEXT];
    prompt_commit(c.accepted.c_str(), list.data(), (int)list.size(), text, history);
    EXPECT_EQ(std::string(history), c.history);
    EXPECT_LT(strlen(history), (size_t)PROMPT_TEXT);
  }
  // An accepted text longer than the buffer keeps 259 characters.
  std::string lengthy(300, 'z');
  char text[PROMPT_TEXT], history[PROMPT_TEXT];
  prompt_commit(lengthy.c_str(), nullptr, 0, text, history);
  EXPECT_EQ(std::string(text), std::string(PROMPT_TEXT - 1, 'z'));
  EXPECT_STREQ(history, text);
  // The accepted text may be the caller's own text buffer.
  const char *list[] = {"first"};
  strcpy(text, "same");
  prompt_commit(text, list, 1, text, history);
  EXPECT_STREQ(history, "first\nsame");
}
