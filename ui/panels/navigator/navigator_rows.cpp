// Rows of the navigator's lists, their comparisons and their sort.
#include "ui/panels/navigator/navigator_rows.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "util/zone.h"

static bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
static int sign(int difference) { return difference < 0 ? -1 : difference > 0; }

// Bytes with upper-case letters folded, as a table: the symbol page sorts tens of
// thousands of names with it.
struct FoldTable {
  unsigned char to[256];
  constexpr FoldTable() : to() {
    for (int c = 0; c < 256; c++) to[c] = (unsigned char)(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
};
static constexpr FoldTable kFold;

int text_compare_nocase(const char *a, const char *b) {
  const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
  while (*x && kFold.to[*x] == kFold.to[*y]) x++, y++;
  return sign(kFold.to[*x] - kFold.to[*y]);
}

// Compares the digit runs at *x and *y and steps both past them; 0 when they are the
// same text.
static int compare_runs(const unsigned char **x, const unsigned char **y) {
  const unsigned char *a = *x, *b = *y;
  while (*a == '0') a++;
  while (*b == '0') b++;
  const unsigned char *a_end = a, *b_end = b;
  while (is_digit(*a_end)) a_end++;
  while (is_digit(*b_end)) b_end++;
  int order = sign((int)(a_end - a) - (int)(b_end - b));  // more significant digits, larger
  for (; !order && a < a_end; a++, b++) order = sign(*a - *b);
  if (!order) order = sign((int)(a_end - *x) - (int)(b_end - *y));  // equal value: shorter first
  *x = a_end;
  *y = b_end;
  return order;
}

int text_compare_natural(const char *a, const char *b) {
  const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
  for (;;) {
    if (is_digit(*x) && is_digit(*y)) {
      if (int order = compare_runs(&x, &y)) return order;
      continue;
    }
    if (kFold.to[*x] != kFold.to[*y] || !*x) return sign(kFold.to[*x] - kFold.to[*y]);
    x++, y++;
  }
}

void nav_rows_free(NavRowSet *set) {
  set->rows = (NavRow *)zone_free(set->rows);
  set->pool = (char *)zone_free(set->pool);
  set->count = 0;
  set->pool_used = 0;
}

void nav_rows_empty(NavRowSet *set) {
  set->count = 0;
  set->pool_used = 0;
}

// The pool starts with the empty text that offset 0 stands for.
static bool pool_reserve(NavRowSet *set, size_t length) {
  if (!set->pool_used) {
    if (!set->pool && !(set->pool = (char *)zone_alloc(4096))) return false;
    set->pool[0] = 0;
    set->pool_used = 1;
  }
  const size_t capacity = zone_size(set->pool);
  if (set->pool_used + length + 1 <= capacity) return true;
  char *grown = (char *)zone_grow(set->pool, set->pool_used + length + 1 - capacity);
  if (!grown) return false;
  set->pool = grown;
  return true;
}

int nav_rows_add(NavRowSet *set) {
  const size_t capacity = zone_size(set->rows) / sizeof(NavRow);
  if ((size_t)set->count + 1 > capacity) {
    NavRow *grown = (NavRow *)zone_grow(set->rows, sizeof(NavRow) * (capacity ? capacity : 64));
    if (!grown) return -1;
    set->rows = grown;
  }
  memset(&set->rows[set->count], 0, sizeof(NavRow));
  return set->count++;
}

bool nav_rows_set_text(NavRowSet *set, int row, int field, const char *text) {
  const size_t length = strlen(text);
  if (!length) {
    set->rows[row].text[field] = 0;
    return true;
  }
  if (!pool_reserve(set, length)) return false;
  memcpy(set->pool + set->pool_used, text, length + 1);
  set->rows[row].text[field] = (uint32_t)set->pool_used;
  set->pool_used += length + 1;
  return true;
}

const char *nav_rows_text(const NavRowSet *set, int row, int field) {
  const uint32_t at = set->rows[row].text[field];
  return at ? set->pool + at : "";
}

int nav_rows_compare(const NavRowSet *set, const NavRow *a, const NavRow *b,
                     const NavSortMethod *method, bool reverse) {
  int order = 0;
  for (int i = 0; i < method->count && !order; i++) {
    const NavKey &key = method->keys[i];
    if (key.kind == NAV_NUMBER) {
      order = a->number[key.field] < b->number[key.field]   ? -1
              : a->number[key.field] > b->number[key.field] ? 1
                                                             : 0;
      continue;
    }
    const char *x = a->text[key.field] ? set->pool + a->text[key.field] : "";
    const char *y = b->text[key.field] ? set->pool + b->text[key.field] : "";
    order = key.kind == NAV_NOCASE ? text_compare_nocase(x, y) : text_compare_natural(x, y);
  }
  return reverse ? -order : order;
}

void nav_rows_sort(NavRowSet *set, const NavSortMethod *methods, int method_count,
                   int setting) {
  const int index = abs(setting) - 1;
  if (index < 0 || index >= method_count || set->count < 2) return;
  const NavSortMethod *method = &methods[index];
  const bool reverse = setting < 0;
  std::sort(set->rows, set->rows + set->count, [&](const NavRow &a, const NavRow &b) {
    return nav_rows_compare(set, &a, &b, method, reverse) < 0;
  });
}

int nav_sort_after_click(int setting, int column) {
  return abs(setting) == column + 1 ? -setting : column + 1;
}

int nav_rows_find_text(const NavRowSet *set, int field, const char *name) {
  if (!name[0]) return 0;
  for (int i = 1; i <= set->count; i++) {
    const int row = i % set->count;
    if (!text_compare_nocase(nav_rows_text(set, row, field), name)) return row;
  }
  return 0;
}
