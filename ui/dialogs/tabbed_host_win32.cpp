// The tabbed host: fitted to its largest page, placed where it last stood, its pages on
// the placeholder's rectangle, the dialogs' key table in force while it is active.
#include "ui/dialogs/tabbed_host_win32.h"

#include <commctrl.h>

#include "ui/dialogs/tabbed_host_ids.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"

namespace {

TabbedHost *host_of(HWND window) { return (TabbedHost *)GetWindowLongPtrA(window, DWLP_USER); }

// A dialog template's size in dialog units, from either template form.
SIZE template_size(int id) {
  SIZE size = {0, 0};
  HMODULE own = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(own, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(own, found) : nullptr;
  const WORD *words = loaded ? (const WORD *)LockResource(loaded) : nullptr;
  const DWORD bytes = words ? SizeofResource(own, found) : 0;
  const bool extended = bytes >= 26 && words[0] == 1 && words[1] == 0xFFFF;
  const int at = extended ? 11 : 7;  // cx in words: after version, signature, help id,
                                     // styles, item count, x and y (or styles, count, x, y)
  if (bytes >= (DWORD)(at + 2) * 2) size = {(short)words[at], (short)words[at + 1]};
  return size;
}

RECT child_rect(HWND parent, int id) {
  RECT r;
  GetWindowRect(GetDlgItem(parent, id), &r);
  MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
  return r;
}

void move_by(HWND parent, int id, int dx, int dy, bool grow) {
  RECT r = child_rect(parent, id);
  if (grow) SetWindowPos(GetDlgItem(parent, id), nullptr, 0, 0, r.right - r.left + dx,
                         r.bottom - r.top + dy, SWP_NOMOVE | SWP_NOZORDER);
  else SetWindowPos(GetDlgItem(parent, id), nullptr, r.left + dx, r.top + dy, 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER);
}

void center(HWND window) {
  RECT r, screen;
  GetWindowRect(window, &r);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
  SetWindowPos(window, nullptr, screen.left + (screen.right - screen.left - (r.right - r.left)) / 2,
               screen.top + (screen.bottom - screen.top - (r.bottom - r.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

// Grows the host, its tab control and placeholder by what the largest page needs, moves
// the controls below them along, and places the host.
void fit(TabbedHost *host) {
  HWND window = host->window;
  RECT largest = {0, 0, 0, 0};
  for (int i = 0; i < host->page_count; i++) {
    SIZE size = template_size(host->pages[i].template_id);
    if (size.cx > largest.right) largest.right = size.cx;
    if (size.cy > largest.bottom) largest.bottom = size.cy;
  }
  MapDialogRect(window, &largest);
  RECT place = child_rect(window, IDC_HOST_PLACEHOLDER);
  host->grown_x = largest.right - (place.right - place.left);
  host->grown_y = largest.bottom - (place.bottom - place.top);
  RECT r;
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, 0, 0, r.right - r.left + host->grown_x,
               r.bottom - r.top + host->grown_y, SWP_NOMOVE | SWP_NOZORDER);
  move_by(window, IDC_HOST_PLACEHOLDER, host->grown_x, host->grown_y, true);
  move_by(window, IDC_HOST_TABS, host->grown_x, host->grown_y, true);
  const int below[] = {IDC_HOST_HINT, IDOK, IDCANCEL};
  for (int id : below) move_by(window, id, host->grown_x, host->grown_y, false);
  const SettingRect &placed = *host->placement;
  if (placed.right > placed.left && placed.bottom > placed.top)
    SetWindowPos(window, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  else
    center(window);
}

void show_page(TabbedHost *host, int index) {
  HWND focus = GetFocus();
  TabbedPage *left = &host->pages[host->current];
  if (left->window && IsChild(left->window, focus)) left->focus = focus;
  host->current = index;
  TabCtrl_SetCurSel(host->tabs, index);
  TabbedPage *page = &host->pages[index];
  if (!page->window)
    page->window = CreateDialogParamA(GetModuleHandleA(nullptr),
                                      MAKEINTRESOURCEA(page->template_id), host->tabs,
                                      page->procedure, 0);
  HWND placeholder = GetDlgItem(host->window, IDC_HOST_PLACEHOLDER);
  ShowWindow(placeholder, SW_HIDE);
  RECT r;
  GetWindowRect(placeholder, &r);
  MapWindowPoints(nullptr, host->tabs, (POINT *)&r, 2);
  for (int i = 0; i < host->page_count; i++) {
    HWND shown = host->pages[i].window;
    if (!shown) continue;
    SetWindowPos(shown, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | (i == index ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
  if (GetFocus() == focus && page->window && !IsChild(page->window, focus))
    SetFocus(page->focus && IsChild(page->window, page->focus) ? page->focus : page->window);
}

// The current page acts on OK; true when it lets the host close.
bool page_ok(TabbedHost *host) {
  HWND page = host->pages[host->current].window;
  return page && SendMessageA(page, WM_TABBED_PAGE_OK, 0, 0);
}

void next_control(TabbedHost *host, bool previous) {
  HWND page = host->pages[host->current].window;
  if (!page) return;
  HWND focus = GetFocus();
  HWND next = GetNextDlgTabItem(page, IsChild(page, focus) ? focus : nullptr, previous);
  if (next) SetFocus(next);
}

void command(TabbedHost *host, int id) {
  HWND window = host->window;
  switch (id) {
    case IDOK:
      if (page_ok(host)) DestroyWindow(window);
      break;
    case IDCANCEL: {
      // The focus comes to the host's own controls first, from a page or from outside; the
      // tabs stand for the host, which as a dialog would hand the focus back to the page.
      HWND focus = GetFocus(), page = host->pages[host->current].window;
      if (focus != host->tabs && (!IsChild(window, focus) || (page && IsChild(page, focus))))
        SetFocus(host->tabs);
      else DestroyWindow(window);
      break;
    }
    case HOST_CMD_CLOSE_AND_OK:
      page_ok(host);
      DestroyWindow(window);
      break;
    case HOST_CMD_CENTER: center(window); break;
    case HOST_CMD_LEFT_PAGE:
      if (host->current > 0) show_page(host, host->current - 1);
      break;
    case HOST_CMD_RIGHT_PAGE:
      if (host->current + 1 < host->page_count) show_page(host, host->current + 1);
      break;
    case HOST_CMD_NEXT_CONTROL: next_control(host, false); break;
    case HOST_CMD_PREVIOUS_CONTROL: next_control(host, true); break;
  }
}

void init(HWND window, TabbedHost *host) {
  SetWindowLongPtrA(window, DWLP_USER, (LONG_PTR)host);
  host->window = window;
  host->tabs = GetDlgItem(window, IDC_HOST_TABS);
  SetWindowTextA(window, host->caption);
  fit(host);
  for (int i = 0; i < host->page_count; i++) {
    TCITEMA tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = (char *)host->pages[i].title;
    SendMessageA(host->tabs, TCM_INSERTITEMA, i, (LPARAM)&tab);
  }
  show_page(host, host->current);
  keyb_register_table(window, dialog_keys);
}

// Stores the normal rectangle; the pages go with the window, so they are forgotten.
void destroyed(TabbedHost *host) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  GetWindowPlacement(host->window, &placement);
  const RECT &r = placement.rcNormalPosition;
  *host->placement = {r.left, r.top, r.right, r.bottom};
  keyb_unregister_table(host->window, dialog_keys);
  for (int i = 0; i < host->page_count; i++) host->pages[i].window = host->pages[i].focus = nullptr;
  host->window = host->tabs = nullptr;
}

INT_PTR CALLBACK host_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TabbedHost *host = message == WM_INITDIALOG ? (TabbedHost *)lparam : host_of(window);
  if (!host) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      init(window, host);
      return FALSE;
    case WM_ACTIVATE:
      // The dialogs' keys belong to the host only while it is the active window.
      if (LOWORD(wparam) == WA_INACTIVE) keyb_unregister_table(window, dialog_keys);
      else keyb_register_table(window, dialog_keys);
      return FALSE;
    case WM_NOTIFY: {
      const NMHDR *header = (const NMHDR *)lparam;
      if (header->hwndFrom == host->tabs && header->code == TCN_SELCHANGE)
        show_page(host, TabCtrl_GetCurSel(host->tabs));
      return TRUE;
    }
    case WM_COMMAND:
      command(host, LOWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return TRUE;
    case WM_DESTROY:
      destroyed(host);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

bool tabbed_host_open(TabbedHost *host, int page, HWND owner) {
  if (page < 0 || page >= host->page_count) page = 0;
  if (host->window) {
    show_page(host, page);
    SetForegroundWindow(host->window);
    return true;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  host->current = page;
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TABBED_HOST),
                                   GetActiveWindow() ? GetActiveWindow() : owner, host_procedure,
                                   (LPARAM)host);
  if (!window) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

INT_PTR tabbed_page_answer(HWND page, BOOL may_close) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, may_close);
  return TRUE;
}
