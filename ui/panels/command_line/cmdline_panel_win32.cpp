#include "ui/panels/command_line/cmdline_panel_win32.h"

#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "ui/global_resources_win32.h"
#include "ui/keyb.h"
#include "ui/keyb_tables.h"
#include "ui/layout.h"
#include "ui/panels/panel_windows.h"
#include "ui/rich_text/rich_text_read.h"
#include "ui/rich_text/rich_text_write.h"
#include "util/log.h"
#include "util/path.h"

CommandLinePanel g_cmdline;

namespace {

enum { LABEL_GAP = 8, COMBO_LIST_HEIGHT = 200 };
const COLORREF kPaper = 0xFFFFFF;

RichHandle handle_of(HGDIOBJ object) { return (RichHandle)(uintptr_t)object; }

// The label is the interpreter's text; the combo box takes the rest of the strip.
void layout() {
  rich_clear(g_cmdline.label);
  rich_open_font(g_cmdline.label, handle_of(g_resources.gui_font[0]));
  rich_open_color(g_cmdline.label, 0);
  rich_put_string(g_cmdline.label, g_settings.CommandLineInterpreter);
  rich_close_color(g_cmdline.label);
  rich_close_font(g_cmdline.label);
  const int left = rich_width(g_cmdline.label) + LABEL_GAP;
  rich_arrange(g_cmdline.label, 0, 0, left, g_cmdline.height, 0, 1);
  MoveWindow(g_cmdline.combo, left, 0, g_cmdline.width - left,
             g_cmdline.height + COMBO_LIST_HEIGHT, TRUE);
  InvalidateRect(g_cmdline.hwnd, nullptr, TRUE);
}

void listener(int) {
  if (changes_test(CHG_SETTINGS) && settings_changed(g_settings.CommandLineInterpreter)) layout();
}

// The command runs and joins the top of the box's list, once.
void execute() {
  char text[KQ_PATH] = "";
  GetWindowTextA(g_cmdline.combo, text, sizeof text);
  SetWindowTextA(g_cmdline.combo, "");
  if (!text[0]) return;
  const LRESULT known = SendMessageA(g_cmdline.combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
  if (known != CB_ERR) SendMessageA(g_cmdline.combo, CB_DELETESTRING, known, 0);
  SendMessageA(g_cmdline.combo, CB_INSERTSTRING, 0, (LPARAM)text);
  cmdline_run(text, nullptr);
}

// The combo box's edit field hands its focus changes and Enter to the panel.
WNDPROC g_edit_proc;
LRESULT CALLBACK edit_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETFOCUS:
      layout_focus(g_cmdline.hwnd);
      keyb_register_table(g_cmdline.hwnd, cmdline_keys);
      break;
    case WM_KILLFOCUS: keyb_unregister_table(g_cmdline.hwnd, cmdline_keys); break;
  }
  return CallWindowProcA(g_edit_proc, hwnd, message, wparam, lparam);
}

void create(HWND hwnd) {
  g_cmdline.hwnd = hwnd;
  g_cmdline.combo =
      CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                      0, 0, 0, 0, hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(g_cmdline.combo, CB_LIMITTEXT, KQ_PATH, 0);
  SendMessageA(g_cmdline.combo, WM_SETFONT, (WPARAM)g_resources.gui_font[0], FALSE);
  HWND edit = FindWindowExA(g_cmdline.combo, nullptr, "EDIT", nullptr);
  if (edit) g_edit_proc = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)edit_proc);
  rich_gdi_measurer_init(&g_cmdline.measurer, g_resources.big_font, g_resources.small_font,
                         kPaper, GetModuleHandleA(nullptr));
  g_cmdline.label = rich_create(&g_cmdline.measurer.measurer);
  changes_add_listener(listener, 0);
}

void destroy() {
  changes_remove_listener(listener, 0);
  g_cmdline.label = rich_destroy(g_cmdline.label);
  rich_gdi_measurer_free(&g_cmdline.measurer);
  if (g_cmdline.combo) DestroyWindow(g_cmdline.combo);
  g_cmdline = CommandLinePanel();
}

}  // namespace

LRESULT CALLBACK cmdline_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create(hwnd); return 0;
    case WM_DESTROY: destroy(); return 0;
    case WM_SIZE:
      g_cmdline.width = LOWORD(lparam);
      g_cmdline.height = HIWORD(lparam);
      layout();
      return 0;
    case WM_SETFOCUS:
    case WM_LBUTTONDOWN: SetFocus(g_cmdline.combo); return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) != CMDLINE_EXECUTE) return 0;
      execute();
      return 1;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

void cmdline_draw(HDC dc) {
  RECT all;
  GetClientRect(g_cmdline.hwnd, &all);
  FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, dc);
  if (g_cmdline.label) rich_draw(g_cmdline.label, &drawer.drawer);
}


// The interpreter setting carries its own switches ("cmd.exe /C"): the text follows it.
bool cmdline_run(const char *text, int *exit_code) {
  char line[SETTING_TEXT + 2 * KQ_PATH];
  snprintf(line, sizeof line, "%s %s", g_settings.CommandLineInterpreter, text);
  char folder[KQ_PATH];
  text_copy(folder, sizeof folder, debuggee_path());
  char *slash = strrchr(folder, '\\');
  if (slash) *slash = 0;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                      slash ? folder : nullptr, &si, &pi)) {
    log_printf("Fail to execute '%s'\n", text);
    return false;
  }
  if (exit_code) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    *exit_code = (int)code;
    log_printf("Executed '%s' with exitcode %i\n", text, *exit_code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}
