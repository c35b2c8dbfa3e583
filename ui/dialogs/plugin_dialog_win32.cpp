#include "ui/dialogs/plugin_dialog_win32.h"

#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugin_host/plugin_text.h"
#include "plugin_host/plugins.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "settings/settings_registry_win32.h"
#include "ui/dialogs/plugin_dialog_ids.h"
#include "ui/dialogs/tabbed_host_win32.h"
#include "util/path.h"
#include "util/zone.h"

namespace {

TabbedPage g_pages[PLUGIN_PAGES] = {
    {IDD_PLUGIN_FILES, plugin_files_page, "Plugin Files", nullptr, nullptr},
    {IDD_PLUGIN_COMMANDS, plugin_commands_page, "Plugin Commands", nullptr, nullptr},
    {IDD_PLUGIN_INTERFACE, plugin_interface_page, "Interface", nullptr, nullptr},
};
TabbedHost g_host = {"Plugin control", g_pages, PLUGIN_PAGES, &g_settings.PluginControlPosition,
                     nullptr, nullptr, 0, 0, 0};

const COLORREF kHeaderPaper = 0x00E8F8FF;  // pale yellow behind the header text

struct PluginDialogState {
  HWND following[PLUGIN_PAGES];  // the pages that exist, refreshed on the manager's changes
  char last_command[KQ_PATH];    // the edit line's text when a command last ran
  HBRUSH header_paper;
  HFONT header_font;
};
PluginDialogState g_dialog;

HWND list_of(HWND page, int id) { return GetDlgItem(page, id); }

void add_columns(HWND list, const char *first, const char *second, int first_width) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  RECT r;
  GetClientRect(list, &r);
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = first_width;
  column.pszText = (char *)first;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
  column.cx = r.right - first_width;
  column.pszText = (char *)second;
  SendMessageA(list, LVM_INSERTCOLUMNA, 1, (LPARAM)&column);
}

void set_row(HWND list, int row, bool insert, const char *first, const char *second,
             LPARAM data = 0) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | (insert ? LVIF_PARAM : 0);
  item.iItem = row;
  item.lParam = data;
  item.pszText = (char *)first;
  SendMessageA(list, insert ? LVM_INSERTITEMA : LVM_SETITEMA, 0, (LPARAM)&item);
  item.iSubItem = 1;
  item.pszText = (char *)second;
  item.mask = LVIF_TEXT;
  SendMessageA(list, LVM_SETITEMA, 0, (LPARAM)&item);
}

void row_text(HWND list, int row, int column, char *out, int outlen) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = out;
  item.cchTextMax = outlen;
  out[0] = 0;
  SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
}

int selected_row(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

void select_row(HWND list, int row) {
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, row, FALSE);
}

// The settings written by the dialog are saved at once; the change reloads the plug-ins.
void save_settings() {
  settings_take_snapshot(true);
  settings_save_registry();
}

// ---- Plugin Files ----

void files_fill(HWND page) {
  HWND list = list_of(page, IDC_PLUGIN_LIST);
  SetDlgItemTextA(page, IDC_PLUGIN_FOLDER, g_settings.PluginPath);
  ListView_DeleteAllItems(list);
  for (int i = 0; const PluginRecord *p = plugin_at(i); i++) {
    set_row(list, i, true, p->file_name, p->description);
    ListView_SetCheckState(list, i, p->enabled != 0);
  }
}

void files_update_buttons(HWND page) {
  HWND list = list_of(page, IDC_PLUGIN_LIST);
  int row = selected_row(list);
  char name[KQ_PATH] = "";
  if (row >= 0) row_text(list, row, 0, name, sizeof name);
  const PluginRecord *p = row >= 0 ? plugin_find(name) : nullptr;
  EnableWindow(GetDlgItem(page, IDC_PLUGIN_PROPERTIES), p && p->enabled && p->entry.prop);
  EnableWindow(GetDlgItem(page, IDC_PLUGIN_UP), row > 0);
  EnableWindow(GetDlgItem(page, IDC_PLUGIN_DOWN),
               row >= 0 && row + 1 < ListView_GetItemCount(list));
}

void files_properties(HWND page) {
  HWND list = list_of(page, IDC_PLUGIN_LIST);
  int row = selected_row(list);
  if (row < 0) return;
  char name[KQ_PATH];
  row_text(list, row, 0, name, sizeof name);
  plugins_properties(plugin_find(name));
}

void files_move(HWND page, int step) {
  HWND list = list_of(page, IDC_PLUGIN_LIST);
  int row = selected_row(list), other = row + step;
  if (row < 0 || other < 0 || other >= ListView_GetItemCount(list)) return;
  char names[2][KQ_PATH], descriptions[2][KQ_PATH];
  bool checks[2];
  const int rows[2] = {row, other};
  for (int i = 0; i < 2; i++) {
    row_text(list, rows[i], 0, names[i], KQ_PATH);
    row_text(list, rows[i], 1, descriptions[i], KQ_PATH);
    checks[i] = ListView_GetCheckState(list, rows[i]) != 0;
  }
  for (int i = 0; i < 2; i++) {
    set_row(list, rows[i], false, names[1 - i], descriptions[1 - i]);
    ListView_SetCheckState(list, rows[i], checks[1 - i]);
  }
  select_row(list, other);
  files_update_buttons(page);
}

void files_browse(HWND page) {
  char folder[MAX_PATH];
  BROWSEINFOA bi = {};
  bi.hwndOwner = page;
  bi.pszDisplayName = folder;
  bi.lpszTitle = "Folder of the plug-ins";
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
  if (!chosen) return;
  bool ok = SHGetPathFromIDListA(chosen, folder);
  CoTaskMemFree(chosen);
  if (!ok) return;
  text_copy(g_settings.PluginPath, sizeof g_settings.PluginPath, folder);
  SetDlgItemTextA(page, IDC_PLUGIN_FOLDER, folder);
  save_settings();
}

// PluginOrder from the rows in their order and check states.
bool files_apply(HWND page) {
  HWND list = list_of(page, IDC_PLUGIN_LIST);
  char order[sizeof g_settings.PluginOrder] = "";
  for (int row = 0, n = ListView_GetItemCount(list); row < n; row++) {
    char name[KQ_PATH];
    row_text(list, row, 0, name, sizeof name);
    plugin_order_append(order, sizeof order, ListView_GetCheckState(list, row) != 0, name);
  }
  text_copy(g_settings.PluginOrder, sizeof g_settings.PluginOrder, order);
  save_settings();
  return true;
}

// ---- Plugin Commands ----

// Command numbers by key and description; equal rows stay in registration order.
int compare_commands(const void *a, const void *b) {
  int i = *(const int *)a, j = *(const int *)b;
  const PluginCommand *x = plugin_command_at(i), *y = plugin_command_at(j);
  int order = command_order_compare(x->key, x->description, y->key, y->description);
  return order ? order : i - j;
}

// Each row keeps its command's number, checked again when the row is picked.
void commands_fill(HWND page) {
  HWND list = list_of(page, IDC_PLUGIN_COMMANDS);
  ListView_DeleteAllItems(list);
  int count = g_plugin_manager.command_count;
  int *order = (int *)zone_alloc((size_t)count * sizeof(int));
  for (int i = 0; order && i < count; i++) order[i] = i;
  if (order) qsort(order, (size_t)count, sizeof *order, compare_commands);
  for (int row = 0; order && row < count; row++) {
    const PluginCommand *command = plugin_command_at(order[row]);
    set_row(list, row, true, command->key, command->description, order[row]);
  }
  zone_free(order);
}

// The row's key and the parameter of the current text, the key selected; the owner shown.
void commands_pick(HWND page, int row) {
  char key[KQ_PATH], typed[KQ_PATH], old_key[KQ_PATH], text[2 * KQ_PATH];
  row_text(list_of(page, IDC_PLUGIN_COMMANDS), row, 0, key, sizeof key);
  GetDlgItemTextA(page, IDC_PLUGIN_COMMAND_TEXT, typed, sizeof typed);
  snprintf(text, sizeof text, "%s %s", key, typed_command_split(typed, old_key, sizeof old_key));
  HWND edit = GetDlgItem(page, IDC_PLUGIN_COMMAND_TEXT);
  SetWindowTextA(edit, text);
  SendMessageA(edit, EM_SETSEL, 0, (LPARAM)strlen(key));
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list_of(page, IDC_PLUGIN_COMMANDS), LVM_GETITEMA, 0, (LPARAM)&item);
  const PluginCommand *command = plugin_command_at((int)item.lParam);
  SetDlgItemTextA(page, IDC_PLUGIN_COMMAND_OWNER, command ? command->owner->file_name : "");
}

bool commands_apply(HWND page) {
  char typed[KQ_PATH];
  GetDlgItemTextA(page, IDC_PLUGIN_COMMAND_TEXT, typed, sizeof typed);
  if (!plugin_run_command(typed)) return false;
  text_copy(g_dialog.last_command, sizeof g_dialog.last_command, typed);
  return true;
}

// The plug-in list rebuilt on CHG_PLUGINS, the command list on CHG_COMMANDS.
void pages_listener(int kind) {
  HWND page = g_dialog.following[kind];
  if (kind == PLUGIN_PAGE_FILES && changes_test(CHG_PLUGINS)) {
    files_fill(page);
    files_update_buttons(page);
  } else if (kind == PLUGIN_PAGE_COMMANDS && changes_test(CHG_COMMANDS)) {
    commands_fill(page);
  }
}

void follow_changes(HWND page, int kind, bool follow) {
  g_dialog.following[kind] = follow ? page : nullptr;
  if (follow) changes_add_listener(pages_listener, kind);
  else changes_remove_listener(pages_listener, kind);
}

// ---- Interface ----

// The header resource with line feeds made into the edit control's line breaks.
char *header_text() {
  HMODULE own = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(own, MAKEINTRESOURCEA(IDR_PLUGIN_HEADER), (LPCSTR)RT_RCDATA);
  HGLOBAL loaded = found ? LoadResource(own, found) : nullptr;
  const char *bytes = loaded ? (const char *)LockResource(loaded) : nullptr;
  DWORD size = bytes ? SizeofResource(own, found) : 0;
  char *text = (char *)zone_alloc(2 * (size_t)size + 1);
  if (!text) return nullptr;
  size_t n = 0;
  for (DWORD i = 0; i < size; i++) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text[n++] = '\r';
    text[n++] = bytes[i];
  }
  text[n] = 0;
  return text;
}

}  // namespace

INT_PTR CALLBACK plugin_files_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND list = list_of(page, IDC_PLUGIN_LIST);
      add_columns(list, "DLL filename", "Description", 140);
      ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
      follow_changes(page, PLUGIN_PAGE_FILES, true);
      files_fill(page);
      files_update_buttons(page);
      return TRUE;
    }
    case WM_DESTROY:
      follow_changes(page, PLUGIN_PAGE_FILES, false);
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR *header = (const NMHDR *)lparam;
      if (header->idFrom != IDC_PLUGIN_LIST) return FALSE;
      if (header->code == NM_DBLCLK) files_properties(page);
      if (header->code == LVN_ITEMCHANGED) files_update_buttons(page);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_PLUGIN_PROPERTIES: files_properties(page); return TRUE;
        case IDC_PLUGIN_UP: files_move(page, -1); return TRUE;
        case IDC_PLUGIN_DOWN: files_move(page, 1); return TRUE;
        case IDC_PLUGIN_BROWSE: files_browse(page); return TRUE;
      }
      return FALSE;
    case WM_TABBED_PAGE_OK:
      return tabbed_page_answer(page, files_apply(page));
  }
  return FALSE;
}

INT_PTR CALLBACK plugin_commands_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      add_columns(list_of(page, IDC_PLUGIN_COMMANDS), "Command", "Description", 80);
      SetDlgItemTextA(page, IDC_PLUGIN_COMMAND_TEXT, g_dialog.last_command);
      follow_changes(page, PLUGIN_PAGE_COMMANDS, true);
      commands_fill(page);
      return TRUE;
    case WM_DESTROY:
      follow_changes(page, PLUGIN_PAGE_COMMANDS, false);
      return TRUE;
    case WM_NOTIFY: {
      const NMLISTVIEW *change = (const NMLISTVIEW *)lparam;
      if (change->hdr.idFrom == IDC_PLUGIN_COMMANDS && change->hdr.code == LVN_ITEMCHANGED &&
          (change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
        commands_pick(page, change->iItem);
      return TRUE;
    }
    case WM_TABBED_PAGE_OK:
      return tabbed_page_answer(page, commands_apply(page));
  }
  return FALSE;
}

INT_PTR CALLBACK plugin_interface_page(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      g_dialog.header_paper = CreateSolidBrush(kHeaderPaper);
      g_dialog.header_font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0,
                                         FIXED_PITCH | FF_MODERN, "Courier New");
      HWND edit = GetDlgItem(page, IDC_PLUGIN_HEADER_TEXT);
      SendMessageA(edit, WM_SETFONT, (WPARAM)g_dialog.header_font, FALSE);
      char *text = header_text();
      SetWindowTextA(edit, text ? text : "");
      zone_free(text);
      return TRUE;
    }
    case WM_DESTROY:
      DeleteObject(g_dialog.header_paper);
      DeleteObject(g_dialog.header_font);
      g_dialog.header_paper = nullptr;
      g_dialog.header_font = nullptr;
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if ((HWND)lparam != GetDlgItem(page, IDC_PLUGIN_HEADER_TEXT)) return FALSE;
      SetBkColor((HDC)wparam, kHeaderPaper);
      return (INT_PTR)g_dialog.header_paper;
    case WM_TABBED_PAGE_OK:
      return tabbed_page_answer(page, TRUE);
  }
  return FALSE;
}

bool plugin_control_open(int page, HWND owner) { return tabbed_host_open(&g_host, page, owner); }
