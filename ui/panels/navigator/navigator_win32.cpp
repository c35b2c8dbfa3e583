// The navigator's pages: virtual list views over row sets, rebuilt by the change
// broadcast, sorted by header clicks, with their actions on OK and double click.
#include "ui/panels/navigator/navigator_win32.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "engine/breakpoints.h"
#include "engine/debuggee.h"
#include "engine/execution.h"
#include "engine/registers.h"
#include "engine/snapshot.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/comments.h"
#include "symbols/symbols.h"
#include "ui/dialogs/tabbed_host_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/code/code_position.h"
#include "ui/panels/navigator/navigator_fill_win32.h"
#include "ui/panels/navigator/navigator_ids.h"
#include "ui/panels/navigator/navigator_stores.h"
#include "ui/panels/panel_windows.h"
#include "util/log.h"
#include "util/path.h"
#include "util/picture_win32.h"

namespace {

enum {
  CMD_DELETE_BREAKPOINT = 10003,
  CMD_DELETE_COMMENT = 10033,
  CMD_SWITCH_BREAKPOINT = 10034,
  FLAG_THREADS = 5,  // the broadcast's flag that the thread list also follows
};

// What a list page is: its list, its sort setting, the flags it is rebuilt on, its rows,
// its images, what its rows do and which keys its list has.
struct ListPageKind {
  int list_id;
  int32_t *sort;  // null: the rows come sorted
  const int *rebuild_on;
  bool (*fill)(NavRowSet *rows);
  int (*select)(const NavRowSet *rows);  // the row selected after a rebuild
  void (*detail)(const NavRowSet *rows, int row, char *out, size_t outlen);
  void (*choose)(const NavRowSet *rows, int row);
  const KeyCommand *keys;  // while the list has the focus
  int image_width, image_height;
  int pictures[2];  // strips of images, in image order; 0 ends
};

struct ListState {
  HWND page, list;
  HIMAGELIST images;
  NavRowSet rows;
  bool keys_registered;
};
ListState g_lists[NAV_PAGES];

// ---- What the rows do ----

// The position of the panel that last had the focus: the data panel's or the code panel's.
PanelPosition *focused_position() {
  return &g_positions[layout_current_panel() == g_panels[PANEL_DATA] ? POSITION_DATA
                                                                      : POSITION_CODE];
}

void go_to(uint32_t address) {
  PanelPosition *position = focused_position();
  position_push(position);
  position_set(position, address);
}

void take_text(char *setting, const char *text) { text_copy(setting, SETTING_TEXT, text); }

// The lists are snapshots: a process chosen may have ended since. The engine logs the
// failure; the user is told at once.
void unload_and_attach(uint32_t process_id, uint32_t thread_id) {
  debuggee_unload();
  if (thread_id ? debuggee_attach(process_id, thread_id) : debuggee_attach_process(process_id))
    return;
  char text[128];
  snprintf(text, sizeof text,
           "Cannot attach to process %u.\nIt may have ended since the list was made.",
           (unsigned)process_id);
  keyb_set_active(false);
  MessageBoxA(GetActiveWindow(), text, "Kaquin Debugger", MB_OK | MB_ICONERROR);
  keyb_set_active(true);
}

void choose_comment(const NavRowSet *rows, int row) {
  const Comment *comment = comment_get((int)rows->rows[row].data);
  if (!comment) return;
  take_text(g_settings.LastCommentExpression, comment->expression);
  go_to(comment->address);
}

void choose_break(const NavRowSet *rows, int row) {
  take_text(g_settings.LastBreakpointExpression, nav_rows_text(rows, row, 0));
  go_to(rows->rows[row].number[1]);
}

void choose_symbol(const NavRowSet *rows, int row) {
  take_text(g_settings.LastGlobal, nav_rows_text(rows, row, 0));
  go_to(rows->rows[row].data);
}

void choose_module(const NavRowSet *rows, int row) {
  take_text(g_settings.LastModule, nav_rows_text(rows, row, 0));
  go_to(rows->rows[row].data);
}

// With a debuggee: the window's dialog procedure, else its window procedure, asked of the
// debuggee itself. Without one: its process is attached, following the window's thread.
void choose_window(const NavRowSet *rows, int row) {
  const NavRow &r = rows->rows[row];
  if (debuggee_state() == DS_NOTLOADED) {
    unload_and_attach(r.number[WINDOW_PROCESS], r.number[1]);
    return;
  }
  uint32_t get_long = 0;
  RegisterSet result;
  if (!symbol_address("GetWindowLongA", &get_long)) return;
  const int32_t indexes[] = {4, -4};  // the dialog procedure, the window procedure
  for (int32_t index : indexes)
    if (execution_call(get_long, r.data, (uint32_t)index, &result) && result.r[REG_EAX]) {
      go_to(result.r[REG_EAX]);
      return;
    }
}

void choose_thread(const NavRowSet *rows, int row) {
  const NavRow &r = rows->rows[row];
  if (debuggee_state() == DS_NOTLOADED) unload_and_attach(r.number[2], r.data);
  else debuggee_switch_thread(r.data);
}

void choose_process(const NavRowSet *rows, int row) {
  take_text(g_settings.LastProcess, nav_rows_text(rows, row, 0));
  unload_and_attach(rows->rows[row].data, 0);
}

// ---- Which row is selected after a rebuild ----

int select_first(const NavRowSet *) { return 0; }

// The last row whose comment has the remembered expression, else the first.
int select_comment(const NavRowSet *rows) {
  int found = 0;
  for (int row = 0; row < rows->count; row++) {
    const Comment *comment = comment_get((int)rows->rows[row].data);
    if (comment && !strcmp(comment->expression, g_settings.LastCommentExpression)) found = row;
  }
  return found;
}

int select_break(const NavRowSet *rows) {
  return nav_rows_find_text(rows, 0, g_settings.LastBreakpointExpression);
}
int select_module(const NavRowSet *rows) {
  return nav_rows_find_text(rows, 0, g_settings.LastModule);
}
int select_process(const NavRowSet *rows) {
  return nav_rows_find_text(rows, 0, g_settings.LastProcess);
}

// ---- What is shown beside the list ----

void detail_module(const NavRowSet *rows, int row, char *out, size_t outlen) {
  text_copy(out, outlen, nav_rows_text(rows, row, MODULE_PATH));
}
void detail_window(const NavRowSet *rows, int row, char *out, size_t outlen) {
  snapshot_executable_path(rows->rows[row].number[WINDOW_PROCESS], out, outlen);
}
void detail_thread(const NavRowSet *rows, int row, char *out, size_t outlen) {
  snapshot_executable_path(rows->rows[row].number[2], out, outlen);
}
void detail_process(const NavRowSet *rows, int row, char *out, size_t outlen) {
  snapshot_executable_path(rows->rows[row].data, out, outlen);
}

bool fill_symbols(NavRowSet *rows) {
  return symbol_rows_fill(rows, g_settings.SymbolFilter, g_positions[POSITION_CODE].address);
}

const int kCommentFlags[] = {CHG_STATE, CHG_BREAKPOINTS, CHG_COMMENTS, 0};
const int kBreakFlags[] = {CHG_STATE, CHG_BREAKPOINTS, 0};
const int kStoreFlags[] = {CHG_MODULES, CHG_SETTINGS, 0};
const int kWindowFlags[] = {CHG_PRIVILEGE, CHG_STATE, CHG_MODULES, 0};
const int kThreadFlags[] = {CHG_PRIVILEGE, CHG_STATE, FLAG_THREADS, CHG_THREAD, 0};
const int kProcessFlags[] = {CHG_STATE, CHG_PRIVILEGE, 0};

const ListPageKind kKinds[NAV_PAGES] = {
    {IDC_NAV_COMMENTS, &g_settings.CommentComparizonMethod, kCommentFlags, comment_rows_fill,
     select_comment, nullptr, choose_comment, comments_keys, 12, 12, {190, 170}},
    {IDC_NAV_BREAKPOINTS, &g_settings.BreakComparizonMethod, kBreakFlags, break_rows_fill,
     select_break, nullptr, choose_break, breakpoints_keys, 12, 12, {170, 0}},
    {IDC_NAV_SYMBOLS, nullptr, kStoreFlags, fill_symbols, select_first, nullptr, choose_symbol,
     nullptr, 0, 0, {0, 0}},
    {IDC_NAV_MODULES, &g_settings.ModuleComparizonMethod, kStoreFlags, module_rows_fill,
     select_module, detail_module, choose_module, nullptr, 17, 17, {290, 0}},
    {IDC_NAV_WINDOWS, &g_settings.WindowComparizonMethod, kWindowFlags, window_rows_fill,
     select_first, detail_window, choose_window, nullptr, 10, 10, {360, 0}},
    {IDC_NAV_THREADS, &g_settings.ThreadComparizonMethod, kThreadFlags, thread_rows_fill,
     select_first, detail_thread, choose_thread, nullptr, 13, 16, {330, 0}},
    {IDC_NAV_PROCESSES, &g_settings.ProcessComparizonMethod, kProcessFlags, process_rows_fill,
     select_process, detail_process, choose_process, nullptr, 13, 16, {330, 0}},
};

// ---- The list machinery ----

int selected_row(const ListState &state) {
  return ListView_GetNextItem(state.list, -1, LVNI_SELECTED);
}

void select_row(ListState &state, int row) {
  if (row < 0 || row >= state.rows.count) return;
  ListView_SetItemState(state.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(state.list, row, LVIS_SELECTED | LVIS_FOCUSED,
                        LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(state.list, row, FALSE);
}

void sort_rows(int page) {
  const ListPageKind &kind = kKinds[page];
  const NavListTable &table = nav_list_tables[page];
  if (kind.sort) nav_rows_sort(&g_lists[page].rows, table.methods, table.method_count, *kind.sort);
}

void show_detail(int page, int row) {
  const ListPageKind &kind = kKinds[page];
  ListState &state = g_lists[page];
  if (!kind.detail) return;
  char text[KQ_PATH] = "";
  if (row >= 0 && row < state.rows.count) kind.detail(&state.rows, row, text, sizeof text);
  SetDlgItemTextA(state.page, IDC_NAV_DETAIL, text);
}

void rebuild(int page) {
  const ListPageKind &kind = kKinds[page];
  ListState &state = g_lists[page];
  if (!kind.fill(&state.rows)) log_warning("The %s list is cut short", nav_list_tables[page].tab_title);
  sort_rows(page);
  ListView_SetItemState(state.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemCountEx(state.list, state.rows.count, 0);
  select_row(state, kind.select(&state.rows));
  InvalidateRect(state.list, nullptr, FALSE);
  show_detail(page, selected_row(state));
}

void listener(int page) {
  const bool local_moved = page == NAV_SYMBOL && g_settings.SymbolFilter == SYMBOLS_LOCAL &&
                           changes_test(CHG_CODE_POSITION);
  if (g_lists[page].list && (changes_test_any(kKinds[page].rebuild_on) || local_moved))
    rebuild(page);
}

HIMAGELIST make_images(const ListPageKind &kind) {
  if (!kind.image_width) return nullptr;
  HIMAGELIST images =
      ImageList_Create(kind.image_width, kind.image_height, ILC_COLOR24 | ILC_MASK, 4, 0);
  for (int picture : kind.pictures) {
    if (!picture) break;
    if (HBITMAP strip = picture_load(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(picture))) {
      ImageList_AddMasked(images, strip, RGB(255, 255, 255));
      DeleteObject(strip);
    }
  }
  return images;
}

void create_list(int page, HWND window) {
  const ListPageKind &kind = kKinds[page];
  const NavListTable &table = nav_list_tables[page];
  ListState &state = g_lists[page];
  state.page = window;
  state.list = GetDlgItem(window, kind.list_id);
  ListView_SetExtendedListViewStyle(
      state.list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP);
  for (int i = 0; i < table.column_count; i++) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = table.columns[i].width;
    column.pszText = (char *)table.columns[i].title;
    SendMessageA(state.list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
  }
  state.images = make_images(kind);
  if (state.images) ListView_SetImageList(state.list, state.images, LVSIL_SMALL);
  changes_add_listener(listener, page);
  rebuild(page);
}

void destroy_list(int page) {
  ListState &state = g_lists[page];
  changes_remove_listener(listener, page);
  if (state.keys_registered) keyb_unregister_table(state.page, kKinds[page].keys);
  if (state.images) ImageList_Destroy(state.images);
  nav_rows_free(&state.rows);
  state = ListState{};
}

void cell_text(int page, NMLVDISPINFOA *info) {
  LVITEMA &item = info->item;
  const NavRowSet &rows = g_lists[page].rows;
  if (item.iItem < 0 || item.iItem >= rows.count) return;
  if (item.mask & LVIF_TEXT)
    text_copy(item.pszText, item.cchTextMax, nav_rows_text(&rows, item.iItem, item.iSubItem));
  if (item.mask & LVIF_IMAGE) item.iImage = item.iSubItem ? -1 : rows.rows[item.iItem].image;
}

// A click on a header sorts by its column, or reverses the order; the selected row stays.
void column_click(int page, int column) {
  const ListPageKind &kind = kKinds[page];
  ListState &state = g_lists[page];
  if (!kind.sort) return;
  const int row = selected_row(state);
  const uint32_t data = row >= 0 && row < state.rows.count ? state.rows.rows[row].data : 0;
  *kind.sort = nav_sort_after_click(*kind.sort, column);
  sort_rows(page);
  for (int i = 0; row >= 0 && i < state.rows.count; i++)
    if (state.rows.rows[i].data == data) select_row(state, i);
  InvalidateRect(state.list, nullptr, FALSE);
}

void choose(int page) {
  ListState &state = g_lists[page];
  const int row = selected_row(state);
  if (row >= 0 && row < state.rows.count) kKinds[page].choose(&state.rows, row);
}

// The comment and breakpoint lists' keys: delete, and switch a breakpoint at a comment.
void key_command(int page, int command) {
  ListState &state = g_lists[page];
  const int row = selected_row(state);
  if (row < 0 || row >= state.rows.count) return;
  const int id = (int)state.rows.rows[row].data;
  if (page == NAV_BREAK && command == CMD_DELETE_BREAKPOINT) breakpoint_remove(id);
  const Comment *comment = page == NAV_COMMENT ? comment_get(id) : nullptr;
  if (!comment) return;
  if (command == CMD_SWITCH_BREAKPOINT) {
    take_text(g_settings.LastCommentExpression, comment->expression);
    breakpoint_toggle(comment->address);
  } else if (command == CMD_DELETE_COMMENT) {
    comment_remove(id);
  }
}

void list_focus(int page, bool gained) {
  ListState &state = g_lists[page];
  const KeyCommand *keys = kKinds[page].keys;
  if (!keys) return;
  if (gained) keyb_register_table(state.page, keys);
  else keyb_unregister_table(state.page, keys);
  state.keys_registered = gained;
}

bool list_notify(int page, const NMHDR *header) {
  if (header->idFrom != (UINT_PTR)kKinds[page].list_id) return false;
  switch (header->code) {
    case LVN_GETDISPINFOA: cell_text(page, (NMLVDISPINFOA *)header); return true;
    case LVN_COLUMNCLICK: column_click(page, ((const NMLISTVIEW *)header)->iSubItem); return true;
    case LVN_ITEMCHANGED: {
      const NMLISTVIEW *change = (const NMLISTVIEW *)header;
      if (change->uNewState & LVIS_SELECTED) show_detail(page, change->iItem);
      return true;
    }
    case NM_DBLCLK: choose(page); return true;
    case NM_SETFOCUS: list_focus(page, true); return true;
    case NM_KILLFOCUS: list_focus(page, false); return true;
  }
  return false;
}

INT_PTR list_page(int page, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      create_list(page, window);
      return FALSE;
    case WM_DESTROY:
      destroy_list(page);
      return TRUE;
    case WM_NOTIFY:
      return list_notify(page, (const NMHDR *)lparam);
    case WM_COMMAND:
      key_command(page, LOWORD(wparam));
      return FALSE;
    case WM_TABBED_PAGE_OK:
      choose(page);
      return tabbed_page_answer(window, FALSE);
  }
  return FALSE;
}

// ---- The symbol page's filter and search line ----

const char *const kFilterNames[SYMBOL_FILTERS] = {"All symbols", "global symbols",
                                                  "local symbols"};
WNDPROC g_list_procedure, g_edit_procedure;

// The first row that begins with the text, without regard to case; the rows are sorted so.
void search_symbol(HWND page) {
  char text[KQ_PATH];
  GetDlgItemTextA(page, IDC_NAV_SYMBOL_TEXT, text, sizeof text);
  ListState &state = g_lists[NAV_SYMBOL];
  const size_t length = strlen(text);
  int low = 0, high = state.rows.count;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (text_compare_nocase(nav_rows_text(&state.rows, middle, 0), text) < 0) low = middle + 1;
    else high = middle;
  }
  if (low >= state.rows.count) return;
  char start[KQ_PATH];
  text_copy(start, length + 1 < sizeof start ? length + 1 : sizeof start,
            nav_rows_text(&state.rows, low, 0));
  if (!text_compare_nocase(start, text)) select_row(state, low);
}

// Typing in the list goes on in the search line, and paging in the line moves the list.
LRESULT CALLBACK symbol_list_keys(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND edit = GetDlgItem(GetParent(list), IDC_NAV_SYMBOL_TEXT);
  const bool to_edit = message == WM_CHAR ||
                       (message == WM_KEYDOWN &&
                        (wparam == VK_BACK || wparam == VK_LEFT || wparam == VK_RIGHT));
  if (to_edit) {
    if (GetFocus() != edit) {  // typing goes on at the end of the line
      SetFocus(edit);
      const int end = GetWindowTextLengthA(edit);
      SendMessageA(edit, EM_SETSEL, end, end);
    }
    return SendMessageA(edit, message, wparam, lparam);
  }
  return CallWindowProcA(g_list_procedure, list, message, wparam, lparam);
}

LRESULT CALLBACK symbol_edit_keys(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  const bool to_list = message == WM_KEYDOWN && (wparam == VK_PRIOR || wparam == VK_NEXT ||
                                                 wparam == VK_UP || wparam == VK_DOWN);
  if (to_list) return SendMessageA(GetDlgItem(GetParent(edit), IDC_NAV_SYMBOLS), message, wparam, lparam);
  return CallWindowProcA(g_edit_procedure, edit, message, wparam, lparam);
}

void symbol_page_init(HWND window) {
  HWND filter = GetDlgItem(window, IDC_NAV_SYMBOL_FILTER);
  for (const char *name : kFilterNames) SendMessageA(filter, CB_ADDSTRING, 0, (LPARAM)name);
  if (g_settings.SymbolFilter < 0 || g_settings.SymbolFilter >= SYMBOL_FILTERS)
    g_settings.SymbolFilter = SYMBOLS_ALL;
  SendMessageA(filter, CB_SETCURSEL, g_settings.SymbolFilter, 0);
  HWND list = GetDlgItem(window, IDC_NAV_SYMBOLS);
  RECT r;
  GetClientRect(list, &r);
  create_list(NAV_SYMBOL, window);
  ListView_SetColumnWidth(list, 0, r.right - GetSystemMetrics(SM_CXVSCROLL));
  g_list_procedure = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)symbol_list_keys);
  HWND edit = GetDlgItem(window, IDC_NAV_SYMBOL_TEXT);
  g_edit_procedure = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)symbol_edit_keys);
  SetWindowTextA(edit, g_settings.LastGlobal);
}

// ---- The pages' procedures ----

#define LIST_PAGE(name, page)                                                           \
  INT_PTR CALLBACK name(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {    \
    return list_page(page, window, message, wparam, lparam);                           \
  }
LIST_PAGE(comment_page, NAV_COMMENT)
LIST_PAGE(break_page, NAV_BREAK)
LIST_PAGE(module_page, NAV_MODULE)
LIST_PAGE(window_page, NAV_WINDOW)
LIST_PAGE(thread_page, NAV_THREAD)
LIST_PAGE(process_page, NAV_PROCESS)

INT_PTR CALLBACK symbol_page(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    symbol_page_init(window);
    return FALSE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDC_NAV_SYMBOL_TEXT &&
      HIWORD(wparam) == EN_CHANGE) {
    search_symbol(window);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDC_NAV_SYMBOL_FILTER &&
      HIWORD(wparam) == CBN_SELCHANGE) {
    g_settings.SymbolFilter = (int32_t)SendDlgItemMessageA(window, IDC_NAV_SYMBOL_FILTER,
                                                           CB_GETCURSEL, 0, 0);
    rebuild(NAV_SYMBOL);
    return TRUE;
  }
  return list_page(NAV_SYMBOL, window, message, wparam, lparam);
}

TabbedPage g_pages[NAV_PAGES] = {
    {IDD_NAV_COMMENT, comment_page, "Comment", nullptr, nullptr},
    {IDD_NAV_BREAK, break_page, "Break", nullptr, nullptr},
    {IDD_NAV_SYMBOL, symbol_page, "Symbol", nullptr, nullptr},
    {IDD_NAV_MODULE, module_page, "Module", nullptr, nullptr},
    {IDD_NAV_WINDOW, window_page, "Window", nullptr, nullptr},
    {IDD_NAV_THREAD, thread_page, "Thread", nullptr, nullptr},
    {IDD_NAV_PROCESS, process_page, "Process", nullptr, nullptr},
};
TabbedHost g_navigator = {"Workspace navigator", g_pages, NAV_PAGES,
                          &g_settings.NavigatorPosition, nullptr, nullptr, 0, 0, 0};

}  // namespace

bool navigator_open(int page, HWND owner) { return tabbed_host_open(&g_navigator, page, owner); }
