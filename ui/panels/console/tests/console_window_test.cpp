// The console window's pieces and trimming: every kind of line break ends a line as
// CR LF, long texts go in pieces that fit the buffer, and a full field loses at least a
// tenth of its lines.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "ui/panels/console/console_window_text.h"

namespace {

void collect(void *context, const char *piece) {
  EXPECT_LT(strlen(piece), (size_t)CONSOLE_PIECE);
  ((std::vector<std::string> *)context)->push_back(piece);
}

TEST(Console, LineBreaksAndPieces) {
  struct Case {
    std::string text;
    std::string joined;
    int pieces;
  };
  const Case cases[] = {
      {"a\nb", "a\r\nb", 1},
      {"a\rb\r\nc\n\rd", "a\r\nb\r\nc\r\n\r\nd", 1},
      {"Focus=1A2B\n", "Focus=1A2B\r\n", 1},
      {"", "", 0},
      {std::string(253, 'x'), std::string(253, 'x'), 1},
      {std::string(254, 'x'), std::string(254, 'x'), 2},
      {std::string(252, 'x') + "\n", std::string(252, 'x') + "\r\n", 1},
      {std::string(600, '\n'), [] {
         std::string s;
         for (int i = 0; i < 600; i++) s += "\r\n";
         return s;
       }(), 5},  // 127 line breaks a piece
  };
  for (const Case &c : cases) {
    std::vector<std::string> pieces;
    EXPECT_EQ(console_pieces(c.text.c_str(), collect, &pieces), c.pieces) << c.text.size();
    std::string joined;
    for (const std::string &p : pieces) joined += p;
    EXPECT_EQ(joined, c.joined);
  }
}

TEST(Console, Trim) {
  struct Case {
    int lines, removed;
  };
  const Case cases[] = {{0, 0}, {1000, 0}, {1001, 100}, {1099, 100}, {1100, 100},
                        {1150, 150}, {5000, 4000}};
  for (const Case &c : cases) {
    EXPECT_EQ(console_trim_count(c.lines, CONSOLE_MAX_LINES), c.removed) << c.lines;
    EXPECT_LE(c.lines - c.removed, CONSOLE_MAX_LINES);
  }
}

}  // namespace
