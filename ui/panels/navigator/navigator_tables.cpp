// Columns and sort methods of the navigator's lists, as data.
#include "ui/panels/navigator/navigator_tables.h"

namespace {

const uint8_t N = NAV_NUMBER, C = NAV_NOCASE, T = NAV_NATURAL;

const NavColumn kCommentColumns[] = {{"Description", 240}, {"$", 20}, {"Entry", 70}};
const NavSortMethod kCommentMethods[] = {
    {2, {{0, T}, {2, N}}},
    {2, {{1, T}, {2, N}}},
    {2, {{2, N}, {0, T}}},
};

const NavColumn kBreakColumns[] = {{"Expression", 240}, {"Entry", 90}};
const NavSortMethod kBreakMethods[] = {
    {2, {{0, T}, {1, N}}},
    {2, {{1, N}, {0, T}}},
};

// One column of names, sorted by name and then address.
const NavColumn kSymbolColumns[] = {{"Name", 240}};
const NavSortMethod kSymbolMethods[] = {
    {2, {{0, C}, {1, N}}},
};

const NavColumn kModuleColumns[] = {{"Name", 100}, {"Base", 60}, {"Size", 60}, {"Comments", 100}};
const NavSortMethod kModuleMethods[] = {
    {3, {{0, C}, {2, N}, {1, N}}},
    {3, {{1, N}, {0, C}, {2, N}}},
    {3, {{2, N}, {0, C}, {1, N}}},
    {2, {{3, T}, {MODULE_IMAGE, N}}},
};

const NavColumn kWindowColumns[] = {{"Class", 120}, {"Thread", 50}, {"Id", 70}, {"Parent", 70}};
const NavSortMethod kWindowMethods[] = {
    {2, {{0, T}, {2, N}}},
    {2, {{1, N}, {2, N}}},
    {3, {{2, N}, {0, T}, {3, N}}},
    {3, {{3, N}, {0, T}, {2, N}}},
};

const NavColumn kThreadColumns[] = {{"Entry", 90}, {"Id", 50},       {"pid", 50},
                                    {"Time", 58},  {"Priority", 44}, {"Access", 33}};
const NavSortMethod kThreadMethods[] = {
    {3, {{0, N}, {2, N}, {1, N}}},
    {2, {{1, N}, {2, N}}},
    {2, {{2, N}, {1, N}}},
    {1, {{3, T}}},
    {1, {{4, N}}},
    {2, {{THREAD_READ, N}, {THREAD_WRITE, N}}},
};

const NavColumn kProcessColumns[] = {
    {"File name", 124}, {"Parent", 54}, {"Id", 54}, {"Priority", 32}, {"Access", 42}};
const NavSortMethod kProcessMethods[] = {
    {2, {{0, C}, {2, N}}},
    {2, {{1, N}, {2, N}}},
    {2, {{2, N}, {1, N}}},
    {2, {{3, N}, {0, C}}},
    {3, {{PROCESS_READ, N}, {PROCESS_WRITE, N}, {0, C}}},
};

template <typename Item, int n>
constexpr int count(const Item (&)[n]) { return n; }

}  // namespace

#define LIST(title, name) \
  {title, k##name##Columns, count(k##name##Columns), k##name##Methods, count(k##name##Methods)}

const NavListTable nav_list_tables[NAV_PAGES] = {
    LIST("Comment", Comment), LIST("Break", Break),   LIST("Symbol", Symbol),
    LIST("Module", Module),   LIST("Window", Window), LIST("Thread", Thread),
    LIST("Process", Process),
};
