#include "ui/panels/inspector/inspector_win32.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "engine/execution.h"
#include "engine/memory.h"
#include "settings/changes.h"
#include "symbols/eval/expression.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/panels/inspector/inspector_model.h"
#include "ui/window_class_win32.h"
#include "util/path.h"
#include "util/picture_win32.h"
#include "util/zone.h"

namespace {

enum : COLORREF {
  TITLE_PAPER = 0xFFFFC8, FOCUS_PAPER = 0x0000FF, FOCUS_TEXT = 0xFFFFFF, NAME_TEXT = 0,
  VALUE_TEXT = 0x9B0000
};
enum {
  LIST_ID = 1, STATUS_ID = 2, LIST_TOP = 24, MARGIN = 2, VALUE_GAP = 10, LIST_EXTENT = 800
};
// The status bar's parts: "Adr:", the address, "Size:", the size, the type.
enum { PART_ADDRESS = 1, PART_SIZE = 3, PART_TYPE = 4, PARTS = 5 };
const int kPartEdges[PARTS] = {40, 90, 130, 180, -1};

struct InspectorWindow {
  HWND hwnd, list, status;
  WNDPROC list_proc;  // the list box's own procedure, behind the subclass
  HBITMAP picture;
  HBRUSH pattern;     // picture 150, as the watch panel's background
  InspectorModel model;
};

// What all inspectors share: the rectangle each new one starts from, moved on (a copy
// leaves its own there first), and the change-value prompt's text and history.
struct InspectorShared {
  RECT place;
  char value[KQ_PATH], value_history[KQ_PATH];
  bool registered;
};
InspectorShared g_inspectors = {{0, 0, 300, 500}, "", "", false};

InspectorWindow *state_of(HWND hwnd) {
  return (InspectorWindow *)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
}

const CallStack *engine_call_stack() { return execution_call_stack(); }
bool engine_read(uint32_t address, void *buffer, uint32_t size) {
  return memory_read(address, buffer, size) == size;
}
const InspectorEnvironment kEngine = {engine_call_stack, engine_read};

int selected_row(const InspectorWindow *w) {
  const int row = (int)SendMessageA(w->list, LB_GETCURSEL, 0, 0);
  return row >= 0 && row < w->model.item_count ? row : -1;
}

void update_status(InspectorWindow *w) {
  char address[16] = "", size[16] = "", type[KQ_PATH] = "";
  const int row = selected_row(w);
  if (row >= 0) {
    const InspectorItem *item = &w->model.items[row];
    snprintf(address, sizeof address, "%X", (unsigned)item->address);
    snprintf(size, sizeof size, "%i", (int)item->size);
    if (item->type) expression_format_type(item->type, type, sizeof type);
  }
  SendMessageA(w->status, SB_SETTEXTA, PART_ADDRESS, (LPARAM)address);
  SendMessageA(w->status, SB_SETTEXTA, PART_SIZE, (LPARAM)size);
  SendMessageA(w->status, SB_SETTEXTA, PART_TYPE, (LPARAM)type);
}

// The list box's window text holds the rows as lines "name: value", for readers from
// outside (its rows have no strings of their own).
void write_rows_text(InspectorWindow *w) {
  char *text = nullptr;
  for (int i = 0; i < w->model.item_count; i++) {
    const InspectorItem *item = &w->model.items[i];
    text = (char *)zone_append(text, item->name, strlen(item->name));
    text = (char *)zone_append(text, ": ", 2);
    text = (char *)zone_append(text, item->value, strlen(item->value));
    text = (char *)zone_append(text, "\n", 1);
  }
  text = (char *)zone_append(text, "", 1);
  SetWindowTextA(w->list, text);
  zone_free(text);
}

// The list shows the items of the shown level, the row named in it selected and scrolled
// as the level was left; the caption is the path.
void fill(InspectorWindow *w) {
  SendMessageA(w->list, LB_SETCOUNT, (WPARAM)w->model.item_count, 0);
  write_rows_text(w);
  const int shown = inspector_shown_level(&w->model);
  if (shown >= 0) {
    SendMessageA(w->list, LB_SETCURSEL, (WPARAM)inspector_selected_row(&w->model), 0);
    SendMessageA(w->list, LB_SETTOPINDEX, (WPARAM)w->model.levels[shown].top, 0);
  }
  char path[KQ_PATH];
  inspector_path_text(&w->model, path, sizeof path);
  SetWindowTextA(w->hwnd, path);
  InvalidateRect(w->hwnd, nullptr, TRUE);
  InvalidateRect(w->list, nullptr, TRUE);
  update_status(w);
}

// After a change the level is read again; the row the user stands on stays selected.
void reread(InspectorWindow *w, bool assigned, int row, const char *text) {
  const int shown = inspector_shown_level(&w->model);
  const int top = (int)SendMessageA(w->list, LB_GETTOPINDEX, 0, 0);
  char name[KQ_PATH] = "";
  // The level may have been read again while the prompt was up: the row must still exist.
  if (row < 0 || row >= w->model.item_count) row = selected_row(w);
  if (row >= 0) text_copy(name, sizeof name, w->model.items[row].name);
  char error[KQ_PATH] = "";
  if (assigned) inspector_assign(&w->model, row, text, error, sizeof error);
  else inspector_refresh(&w->model);
  fill(w);
  const int again = inspector_find_item(&w->model, name);
  if (shown == inspector_shown_level(&w->model) && again >= 0) {
    SendMessageA(w->list, LB_SETCURSEL, (WPARAM)again, 0);
    SendMessageA(w->list, LB_SETTOPINDEX, (WPARAM)top, 0);
    update_status(w);
  }
  if (error[0]) MessageBoxA(w->hwnd, error, "Change value", MB_OK | MB_ICONERROR);
}

void listener(int argument) {
  static const int kFlags[] = {CHG_STATE, CHG_MEMORY, CHG_WATCHES, 0};
  InspectorWindow *w = state_of((HWND)(intptr_t)argument);
  if (w && changes_test_any(kFlags)) reread(w, false, -1, nullptr);
}

void change_value(InspectorWindow *w) {
  const int row = selected_row(w);
  if (row < 0) return;
  inspector_value_text(&w->model.items[row], g_inspectors.value, sizeof g_inspectors.value);
  keyb_set_active(false);
  const int accepted =
      input_prompt(MAKEINTRESOURCEA(IDS_INSPECTOR_VALUE), g_inspectors.value,
                   g_inspectors.value_history);
  keyb_set_active(true);
  if (accepted) reread(w, true, row, g_inspectors.value);
  SetFocus(w->list);
}

void open_selected(InspectorWindow *w) {
  const int top = (int)SendMessageA(w->list, LB_GETTOPINDEX, 0, 0);
  switch (inspector_open(&w->model, selected_row(w), top)) {
    case OPEN_MOVED: fill(w); break;
    case OPEN_CHANGE_VALUE: change_value(w); break;
    case OPEN_NOTHING: break;
  }
}

void open_copy(InspectorWindow *w) {
  GetWindowRect(w->hwnd, &g_inspectors.place);
  char path[KQ_PATH];
  inspector_path_text(&w->model, path, sizeof path);
  inspector_open_window(path, w->hwnd);
}

bool command(InspectorWindow *w, int id) {
  switch (id) {
    case INSPECTOR_CMD_CHANGE: change_value(w); return true;
    case INSPECTOR_CMD_CLOSE: DestroyWindow(w->hwnd); return true;
    case INSPECTOR_CMD_COPY: open_copy(w); return true;
    case INSPECTOR_CMD_OPEN: open_selected(w); return true;
    default: return false;
  }
}

void list_notification(InspectorWindow *w, int code) {
  switch (code) {
    case LBN_SELCHANGE: update_status(w); break;
    case LBN_DBLCLK: open_selected(w); break;
    case LBN_SETFOCUS: keyb_register_table(w->hwnd, inspector_keys); break;
    case LBN_KILLFOCUS: keyb_unregister_table(w->hwnd, inspector_keys); break;
  }
}

// The pattern scrolls with the rows: its origin is the first row's corner.
void align_pattern(InspectorWindow *w, HDC dc) {
  RECT first = {};
  SendMessageA(w->list, LB_GETITEMRECT, 0, (LPARAM)&first);
  SetBrushOrgEx(dc, first.left, first.top, nullptr);
}

void draw_item(InspectorWindow *w, const DRAWITEMSTRUCT *d) {
  if ((int)d->itemID < 0 || (int)d->itemID >= w->model.item_count) return;
  const InspectorItem *item = &w->model.items[d->itemID];
  const bool focused = (d->itemState & ODS_FOCUS) != 0;
  HDC dc = d->hDC;
  if (focused) {
    HBRUSH red = CreateSolidBrush(FOCUS_PAPER);
    FillRect(dc, &d->rcItem, red);
    DeleteObject(red);
  } else {
    align_pattern(w, dc);
    FillRect(dc, &d->rcItem, w->pattern ? w->pattern : GetSysColorBrush(COLOR_WINDOW));
  }
  // Both texts centred in the row: the two fonts differ in height.
  const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, g_resources.fixed_font[0]);
  SetTextColor(dc, focused ? FOCUS_TEXT : NAME_TEXT);
  RECT text = d->rcItem;
  SIZE extent = {};
  GetTextExtentPoint32A(dc, item->name, (int)strlen(item->name), &extent);
  DrawTextA(dc, item->name, -1, &text, format);
  SelectObject(dc, g_resources.gui_font[0]);
  SetTextColor(dc, focused ? FOCUS_TEXT : VALUE_TEXT);
  text.left += extent.cx + VALUE_GAP;
  DrawTextA(dc, item->value, -1, &text, format);
  SelectObject(dc, old);
}

void paint(InspectorWindow *w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w->hwnd, &ps);
  RECT client;
  GetClientRect(w->hwnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const char *name = inspector_object_name(&w->model);
  HGDIOBJ old = SelectObject(dc, g_resources.fixed_font[0]);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, TITLE_PAPER);
  SIZE extent = {};
  GetTextExtentPoint32A(dc, name, (int)strlen(name), &extent);
  TextOutA(dc, (client.right - extent.cx) / 2, MARGIN, name, (int)strlen(name));
  SelectObject(dc, old);
  EndPaint(w->hwnd, &ps);
}

void layout(InspectorWindow *w, int width, int height) {
  SendMessageA(w->status, WM_SIZE, 0, 0);
  RECT bar = {};
  GetWindowRect(w->status, &bar);
  const int below = height - (bar.bottom - bar.top) - MARGIN;
  SetWindowPos(w->list, nullptr, MARGIN, LIST_TOP, width - 2 * MARGIN, below - LIST_TOP,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT CALLBACK list_subclass(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  InspectorWindow *w = state_of(GetParent(list));
  if (message == WM_RBUTTONDOWN && w) {
    SetFocus(list);
    keyb_context_menu(w->hwnd, inspector_keys, g_resources.pictures[PICTURE_MENU_MARKER]);
    return 0;
  }
  return CallWindowProcA(w ? w->list_proc : DefWindowProcA, list, message, wparam, lparam);
}

// Rows as tall as the taller of the two fonts.
int row_height(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  int height = 0;
  const HGDIOBJ fonts[] = {g_resources.fixed_font[0], g_resources.gui_font[0]};
  for (HGDIOBJ font : fonts) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    if (tm.tmHeight > height) height = tm.tmHeight;
    SelectObject(dc, old);
  }
  ReleaseDC(hwnd, dc);
  return height;
}

void create(HWND hwnd) {
  InspectorWindow *w = (InspectorWindow *)zone_alloc(sizeof(InspectorWindow));
  *w = InspectorWindow();
  w->hwnd = hwnd;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)w);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  w->picture = picture_load(instance, MAKEINTRESOURCEA(INSPECTOR_PATTERN_PICTURE));
  w->pattern = w->picture ? CreatePatternBrush(w->picture) : nullptr;
  w->status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                              0, 0, 0, 0, hwnd, (HMENU)STATUS_ID, instance, nullptr);
  SendMessageA(w->status, SB_SETPARTS, PARTS, (LPARAM)kPartEdges);
  SendMessageA(w->status, SB_SETTEXTA, 0 | SBT_POPOUT, (LPARAM) "Adr:");
  SendMessageA(w->status, SB_SETTEXTA, 2 | SBT_POPOUT, (LPARAM) "Size:");
  w->list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                            WS_CHILD | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_NODATA |
                                LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                            0, 0, 0, 0, hwnd, (HMENU)LIST_ID, instance, nullptr);
  SendMessageA(w->list, LB_SETITEMHEIGHT, 0, row_height(hwnd));
  SendMessageA(w->list, LB_SETHORIZONTALEXTENT, LIST_EXTENT, 0);
  w->list_proc = (WNDPROC)SetWindowLongPtrA(w->list, GWLP_WNDPROC, (LONG_PTR)list_subclass);
  changes_add_listener(listener, (int)(intptr_t)hwnd);
}

void destroy(InspectorWindow *w) {
  changes_remove_listener(listener, (int)(intptr_t)w->hwnd);
  keyb_unregister_table(w->hwnd, inspector_keys);
  inspector_free(&w->model);
  SetWindowLongPtrA(w->list, GWLP_WNDPROC, (LONG_PTR)w->list_proc);
  DestroyWindow(w->list);
  if (w->pattern) DeleteObject(w->pattern);
  if (w->picture) DeleteObject(w->picture);
  SetWindowLongPtrA(w->hwnd, GWLP_USERDATA, 0);
  zone_free(w);
}

LRESULT CALLBACK inspector_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    create(hwnd);
    return 0;
  }
  InspectorWindow *w = state_of(hwnd);
  if (!w) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_DESTROY: destroy(w); return 0;
    case WM_SIZE: layout(w, LOWORD(lparam), HIWORD(lparam)); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint(w); return 0;
    case WM_SETFOCUS: SetFocus(w->list); return 0;
    case WM_DRAWITEM: draw_item(w, (const DRAWITEMSTRUCT *)lparam); return TRUE;
    case WM_CTLCOLORLISTBOX:
      if (!w->pattern) break;
      align_pattern(w, (HDC)wparam);
      return (LRESULT)w->pattern;
    case WM_COMMAND:
      if ((HWND)lparam == w->list) {
        list_notification(w, HIWORD(wparam));
        return 0;
      }
      if (command(w, LOWORD(wparam))) return 0;
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace

HWND inspector_open_window(const char *path, HWND from) {
  if (!g_inspectors.registered) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    inspector_set_environment(&kEngine);
    window_class_register("inspector", inspector_proc, (LPCSTR)IDC_ARROW, CS_DBLCLKS, 0);
    g_inspectors.registered = true;
  }
  RECT &place = g_inspectors.place, desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  const InspectorRect next = inspector_next_place(
      {place.left, place.top, place.right, place.bottom},
      {desktop.left, desktop.top, desktop.right, desktop.bottom});
  place = {next.left, next.top, next.right, next.bottom};
  // The active window owns it, or, while the program is not the active one, the window the
  // request came from: an owned window goes with the main window. A copy opened from an
  // inspector belongs to that inspector's owner, so that closing the first leaves the copy.
  HWND owner = GetActiveWindow() ? GetActiveWindow() : from;
  if (owner) owner = GetAncestor(owner, GA_ROOT);
  char name[32];
  while (owner && GetClassNameA(owner, name, sizeof name) && !strcmp(name, "inspector"))
    owner = GetWindow(owner, GW_OWNER);
  HWND hwnd = CreateWindowExA(
      WS_EX_TOOLWINDOW, "inspector", "", WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN,
      place.left, place.top, place.right - place.left, place.bottom - place.top,
      owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  InspectorWindow *w = hwnd ? state_of(hwnd) : nullptr;
  if (!w) return nullptr;
  ShowWindow(hwnd, SW_SHOW);
  inspector_set_path(&w->model, path);
  fill(w);
  SetFocus(w->list);
  return hwnd;
}
