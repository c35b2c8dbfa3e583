#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "ui/panels/navigator/navigator_rows.h"
#include "ui/panels/navigator/navigator_tables.h"

namespace {

int sign(int v) { return v < 0 ? -1 : v > 0; }

TEST(NavigatorOrder, TextsCompare) {
  struct {
    const char *a, *b;
    int natural, nocase;
  } cases[] = {
      {"", "", 0, 0},
      {"abc", "ABC", 0, 0},
      {"a", "a1", -1, -1},
      {"file2", "file10", -1, 1},       // runs by value
      {"file10", "file010", -1, 1},     // equal value: the shorter run first
      {"file010", "file10", 1, -1},
      {"x007y", "x7z", 1, -1},          // the longer run decides before the rest
      {"x07a", "x7b", 1, -1},
      {"Thread 9", "thread 10", -1, 1},
      {"2", "10", -1, 1},
      {"a2b3", "a2b12", -1, 1},
      {"4294967296", "4294967295", 1, 1},  // runs longer than any integer
      {"100000000000000000000", "99999999999999999999", 1, -1},
      {"a_", "aB", -1, -1},             // '_' against 'b'
      {"B", "a", 1, 1},
      {"ab", "Ab", 0, 0},
      {"a 1", "a1", -1, -1},
      {"z", "1", 1, 1},
      {"12abc", "12ABD", -1, -1},
  };
  for (auto &c : cases) {
    EXPECT_EQ(c.natural, sign(text_compare_natural(c.a, c.b))) << c.a << " / " << c.b;
    EXPECT_EQ(-c.natural, sign(text_compare_natural(c.b, c.a))) << c.b << " / " << c.a;
    EXPECT_EQ(c.nocase, sign(text_compare_nocase(c.a, c.b))) << c.a << " / " << c.b;
    EXPECT_EQ(-c.nocase, sign(text_compare_nocase(c.b, c.a))) << c.b << " / " << c.a;
  }
}

// Random names of letters and numbers sorted naturally: every neighbour pair, split into
// its pieces, is in order by an independent reading (numbers as values, ties by length).
TEST(NavigatorOrder, NaturalOrderOfGeneratedNames) {
  struct Piece {
    bool number;
    std::string text;
  };
  auto pieces = [](const std::string &s) {
    std::vector<Piece> out;
    for (size_t i = 0; i < s.size();) {
      size_t j = i;
      const bool number = isdigit((unsigned char)s[i]);
      while (j < s.size() && !!isdigit((unsigned char)s[j]) == number) j++;
      out.push_back({number, s.substr(i, j - i)});
      i = j;
    }
    return out;
  };
  auto value_order = [](const std::string &a, const std::string &b) {
    size_t i = a.find_first_not_of('0'), j = b.find_first_not_of('0');
    std::string x = i == std::string::npos ? "" : a.substr(i);
    std::string y = j == std::string::npos ? "" : b.substr(j);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    if (x != y) return x < y ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
  };
  srand(7);
  std::vector<std::string> names;
  for (int i = 0; i < 400; i++) {
    std::string name;
    for (int k = 0, n = 1 + rand() % 3; k < n; k++) {
      name += "ab"[rand() % 2];
      if (rand() % 2) name += "AB"[rand() % 2];
      name += std::to_string(rand() % 3 ? rand() % 30 : rand() % 3000);
      if (rand() % 4 == 0) name.insert(name.size() - 1, "0");
    }
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
    return text_compare_natural(a.c_str(), b.c_str()) < 0;
  });
  for (size_t i = 1; i < names.size(); i++) {
    std::vector<Piece> a = pieces(names[i - 1]), b = pieces(names[i]);
    int order = 0;
    for (size_t k = 0; k < a.size() && k < b.size() && !order; k++) {
      if (a[k].number && b[k].number) {
        order = value_order(a[k].text, b[k].text);
      } else {
        std::string x = a[k].text, y = b[k].text;
        for (char &c : x) c = (char)tolower((unsigned char)c);
        for (char &c : y) c = (char)tolower((unsigned char)c);
        order = x == y ? 0 : x < y ? -1 : 1;
      }
    }
    EXPECT_LE(order, 0) << names[i - 1] << " before " << names[i];
  }
}

// Rows of one list given as texts; numbers are read from texts written in hexadecimal
// with a leading '#'.
struct Rows {
  NavRowSet set = {};
  explicit Rows(std::vector<std::vector<std::string>> rows) {
    for (auto &cells : rows) {
      int row = nav_rows_add(&set);
      for (size_t f = 0; f < cells.size(); f++) {
        const std::string &cell = cells[f];
        if (!cell.empty() && cell[0] == '#') {
          set.rows[row].number[f] = (uint32_t)strtoul(cell.c_str() + 1, nullptr, 16);
          nav_rows_set_text(&set, row, (int)f, cell.c_str() + 1);
        } else {
          nav_rows_set_text(&set, row, (int)f, cell.c_str());
        }
      }
      set.rows[row].data = (uint32_t)row;
    }
  }
  ~Rows() { nav_rows_free(&set); }
  std::string order() const {
    std::string out;
    for (int i = 0; i < set.count; i++) out += (char)('a' + set.rows[i].data);
    return out;
  }
};

// Each page's methods from its table, forwards and reversed.
TEST(NavigatorOrder, PagesSortByTheirMethods) {
  Rows process({{"b.exe", "#10", "#30", "#8", "RW", "#1", "#1"},
                {"A.exe", "#20", "#31", "#8", "", "#0", "#0"},
                {"a.exe", "#10", "#2F", "#4", "R", "#1", "#0"},
                {"c.exe", "#0", "#5", "#D", "R", "#1", "#0"}});
  Rows thread({{"#0", "#20", "#8", "10:05", "#8", "RW", "#1", "#1"},
               {"#0", "#1C", "#8", "9:59", "#F", "R", "#1", "#0"},
               {"#0", "#24", "#4", " - ", "#6", "", "#0", "#0"}});
  Rows module({{"ntdll.dll", "#7BC00000", "#100000", "3 Locks", "", "#2"},
               {"Main.c", "#401000", "#200", "12 Lines", "", "#1"},
               {"kernel32.dll", "#7B000000", "#100000", "4 Locks", "", "#2"},
               {"main.exe", "#400000", "#5000", "1 Locks", "", "#2"}});
  Rows window({{"Button", "#20", "#1002C", "#10020"},
               {"button", "#20", "#10024", "#10020"},
               {"Edit10", "#1C", "#1003A", "#10020"},
               {"Edit9", "#20", "#10040", "#0"}});
  Rows comment({{"loop 10", "", "#401020"}, {"loop 9", "", "#401010"}, {"*entry", "*", "#401000"},
                {"loop 9", "", "#400F00"}});
  Rows breaks({{"main+10", "#401010"}, {"main+9", "#401009"}, {"Main", "#401000"}});
  struct {
    const Rows *rows;
    NavPage page;
    int setting;
    const char *order;
  } cases[] = {
      {&process, NAV_PROCESS, 1, "cbad"},   // name without regard to case, then id
      {&process, NAV_PROCESS, -1, "dabc"},
      {&process, NAV_PROCESS, 2, "dcab"},   // parent, then id
      {&process, NAV_PROCESS, 3, "dcab"},   // id, then parent
      {&process, NAV_PROCESS, -3, "bacd"},
      {&process, NAV_PROCESS, 4, "cbad"},   // priority, then name
      {&process, NAV_PROCESS, 5, "bcda"},   // read flag, write flag, name
      {&thread, NAV_THREAD, 1, "cba"},      // entry, then pid, then id
      {&thread, NAV_THREAD, 2, "bac"},
      {&thread, NAV_THREAD, 3, "cba"},
      {&thread, NAV_THREAD, 4, "cba"},      // time text in natural order
      {&thread, NAV_THREAD, 5, "cab"},
      {&thread, NAV_THREAD, -5, "bac"},
      {&thread, NAV_THREAD, 6, "cba"},
      {&module, NAV_MODULE, 1, "cbda"},     // name without regard to case, then size
      {&module, NAV_MODULE, 2, "dbca"},     // base
      {&module, NAV_MODULE, 3, "bdca"},     // size, then name
      {&module, NAV_MODULE, 4, "dacb"},     // comment in natural order, then image
      {&window, NAV_WINDOW, 1, "badc"},     // class in natural order, then handle
      {&window, NAV_WINDOW, 2, "cbad"},     // thread, then handle
      {&window, NAV_WINDOW, 3, "bacd"},     // handle
      {&window, NAV_WINDOW, 4, "dbac"},     // parent, then class, then handle
      {&comment, NAV_COMMENT, 1, "cdba"},
      {&comment, NAV_COMMENT, 2, "dbac"},   // '$' character (empty first), then address
      {&comment, NAV_COMMENT, 3, "dcba"},
      {&breaks, NAV_BREAK, 1, "cba"},
      {&breaks, NAV_BREAK, 2, "cba"},
      {&breaks, NAV_BREAK, -2, "abc"},
      {&process, NAV_PROCESS, 0, nullptr},  // no method: the order stays
      {&process, NAV_PROCESS, 6, nullptr},
  };
  for (auto &c : cases) {
    const NavListTable &table = nav_list_tables[c.page];
    Rows &rows = const_cast<Rows &>(*c.rows);
    std::string before = rows.order();
    nav_rows_sort(&rows.set, table.methods, table.method_count, c.setting);
    EXPECT_EQ(c.order ? c.order : before, rows.order()) << table.tab_title << " " << c.setting;
  }
}

TEST(NavigatorOrder, HeaderClicksChooseOrReverse) {
  struct {
    int setting, column, after;
  } cases[] = {{1, 0, -1}, {-1, 0, 1}, {1, 2, 3}, {3, 2, -3}, {-3, 2, 3}, {-3, 0, 1}, {0, 1, 2}};
  for (auto &c : cases)
    EXPECT_EQ(c.after, nav_sort_after_click(c.setting, c.column)) << c.setting << " " << c.column;
}

TEST(NavigatorOrder, NamedRowIsFoundAfterTheFirst) {
  Rows rows({{"kq.exe"}, {"notepad.exe"}, {"KQ.EXE"}, {"wineboot.exe"}});
  struct {
    const char *name;
    int row;
  } cases[] = {{"kq.exe", 2}, {"NOTEPAD.exe", 1}, {"wineboot.exe", 3}, {"none", 0}, {"", 0}};
  for (auto &c : cases) EXPECT_EQ(c.row, nav_rows_find_text(&rows.set, 0, c.name)) << c.name;
  Rows single({{"kq.exe"}});
  EXPECT_EQ(0, nav_rows_find_text(&single.set, 0, "KQ.exe"));
}

// Texts survive the pool's growth, and an emptied set is filled again.
TEST(NavigatorOrder, ManyRowsKeepTheirTexts) {
  NavRowSet set = {};
  for (int pass = 0; pass < 2; pass++) {
    nav_rows_empty(&set);
    for (int i = 0; i < 20000; i++) {
      char text[32];
      snprintf(text, sizeof text, "entry_%d_%d", pass, i);
      int row = nav_rows_add(&set);
      ASSERT_EQ(i, row);
      ASSERT_TRUE(nav_rows_set_text(&set, row, 3, text));
      set.rows[row].number[1] = (uint32_t)(20000 - i);
    }
    const NavSortMethod by_number = {1, {{1, NAV_NUMBER}}};
    nav_rows_sort(&set, &by_number, 1, 1);
    for (int i = 0; i < set.count; i++) {
      char text[32];
      snprintf(text, sizeof text, "entry_%d_%d", pass, set.count - 1 - i);
      ASSERT_STREQ(text, nav_rows_text(&set, i, 3));
      ASSERT_STREQ("", nav_rows_text(&set, i, 0));
    }
  }
  nav_rows_free(&set);
}

}  // namespace
