// The navigator's pages in tab order, and the columns and sort methods of their lists.
#pragma once
#include "ui/panels/navigator/navigator_rows.h"

enum NavPage {
  NAV_COMMENT, NAV_BREAK, NAV_SYMBOL, NAV_MODULE, NAV_WINDOW, NAV_THREAD, NAV_PROCESS,
  NAV_PAGES
};

// Fields beyond the columns that pages keep in their rows.
enum {
  MODULE_PATH = 4, MODULE_IMAGE = 5,            // text, number
  WINDOW_PROCESS = 4,                           // number
  THREAD_READ = 6, THREAD_WRITE = 7,            // numbers 0 or 1
  PROCESS_READ = 5, PROCESS_WRITE = 6, PROCESS_PATH = 7,
};

struct NavColumn {
  const char *title;
  int width;
};

struct NavListTable {
  const char *tab_title;
  const NavColumn *columns;
  int column_count;
  const NavSortMethod *methods;  // method n of the setting is methods[n - 1]
  int method_count;
};

extern const NavListTable nav_list_tables[NAV_PAGES];
