// The workspace navigator's lists without windows: rows of texts and numbers, the two
// ways texts compare, and the sort that each list keeps in a setting (its absolute value
// the method counted from 1, a negative value the same method reversed).
#pragma once
#include <stddef.h>
#include <stdint.h>

// Byte by byte with upper-case letters taken as lower-case ones.
int text_compare_nocase(const char *a, const char *b);
// As above, except where both texts reach decimal digits: runs of digits compare by value
// and, at equal value, the shorter run first. Letters stay folded at the first difference
// too, so that the order is one that a sort can rely on.
int text_compare_natural(const char *a, const char *b);

enum { NAV_FIELDS = 8, NAV_KEYS = 3 };
enum NavKeyKind : uint8_t { NAV_NUMBER, NAV_NOCASE, NAV_NATURAL };

// One field of a row compared as an unsigned number or as its text.
struct NavKey {
  uint8_t field;
  uint8_t kind;  // NavKeyKind
};
// The keys of one sort method; a later key decides between rows equal in the earlier ones.
struct NavSortMethod {
  uint8_t count;
  NavKey keys[NAV_KEYS];
};

// A row: its column texts and numbers by field (a column shows the text of the field
// with its index), its image and what it stands for.
struct NavRow {
  uint32_t text[NAV_FIELDS];  // offsets into the set's text pool; 0 is the empty text
  uint32_t number[NAV_FIELDS];
  int image;
  uint32_t data;
};

struct NavRowSet {
  NavRow *rows;  // zone block
  int count;
  char *pool;    // zone block of texts
  size_t pool_used;
};

// Frees the rows and their texts.
void nav_rows_free(NavRowSet *set);
// Empties the set, keeping its blocks for the next fill.
void nav_rows_empty(NavRowSet *set);
// A zeroed row at the end; its index, -1 without memory.
int nav_rows_add(NavRowSet *set);
// Copies text into the pool as field's text of the row; false without memory.
bool nav_rows_set_text(NavRowSet *set, int row, int field, const char *text);
const char *nav_rows_text(const NavRowSet *set, int row, int field);

// Compares two rows by the method (reverse negates the whole comparison).
int nav_rows_compare(const NavRowSet *set, const NavRow *a, const NavRow *b,
                     const NavSortMethod *method, bool reverse);
// Sorts by the method that setting names; a setting out of range leaves the order.
void nav_rows_sort(NavRowSet *set, const NavSortMethod *methods, int method_count,
                   int setting);
// The setting after a click on the header of column (counted from 0): that column's
// method, or the current one reversed when it is that column's already.
int nav_sort_after_click(int setting, int column);
// The row whose field text equals name without regard to case, searched from row 1 on
// and then row 0, as the list's own search does; 0 when none matches or name is empty.
int nav_rows_find_text(const NavRowSet *set, int field, const char *name);
