#include "ui/dialogs/options_dialog_win32.h"

#include <stdlib.h>
#include <string.h>

#include "engine/debuggee.h"
#include "settings/settings.h"
#include "settings/settings_registry_win32.h"
#include "ui/dialogs/input_prompt_win32.h"
#include "ui/dialogs/options_dialog_ids.h"
#include "ui/key_names.h"
#include "ui/keyb.h"

namespace {

enum OptionKind {
  OPT_CHECK,      // a check box: 1 or 0
  OPT_TEXT,       // an edit field holding the text form
  OPT_LINES,      // a multi-line edit: the value's line feeds as line breaks
  OPT_ARGUMENTS,  // the arguments' combo box with its history
  OPT_HOTKEY,     // an edit that shows the key pressed in it
};

struct OptionControl {
  int id;
  const char *setting;
  OptionKind kind;
};

const OptionControl kOptionControls[] = {
    {IDC_OPT_ARGUMENTS, "Arguments", OPT_ARGUMENTS},
    {IDC_OPT_INTERPRETER, "CommandLineInterpreter", OPT_TEXT},
    {IDC_OPT_STARTUP_CODE, "ExecuteStartupCode", OPT_CHECK},
    {IDC_OPT_TRACE_OVER, "TraceOverLibraryCalls", OPT_CHECK},
    {IDC_OPT_HOTKEY, "HotKey", OPT_HOTKEY},
    {IDC_OPT_BALLOON_DELAY, "ContextHelpDelay", OPT_TEXT},
    {IDC_OPT_LOG_FILE, "LogFilename", OPT_TEXT},
    {IDC_OPT_HYPERLINKS, "HyperlinkSymbols", OPT_CHECK},
    {IDC_OPT_WORKSPACE_FILE, "WorkspaceFilename", OPT_TEXT},
    {IDC_OPT_OPTIONS_FILE, "OptionsFilename", OPT_TEXT},
    {IDC_OPT_STD_MENU, "ShowStdMenu", OPT_CHECK},
    {IDC_OPT_MASTER_MODE, "MasterMode", OPT_CHECK},
    {IDC_OPT_WRITE_READ_ONLY, "WriteReadOnly", OPT_CHECK},
    {IDC_OPT_SOURCE_PATHS, "SourceSearchPaths", OPT_LINES},
    {IDC_OPT_SUBFOLDERS, "SearchSourceInSubfolders", OPT_CHECK},
    {IDC_OPT_FORMAT_WARNING, "ShowFormatWarning", OPT_CHECK},
};

enum : COLORREF { INVALID_HOTKEY_PAPER = 0xC8C8FF };

// The dialog while it is up: the controls are being filled (their change notices are not
// the user's), the brush of an invalid hot key, the hot-key edit's own procedure and
// whether the system would take its key.
struct OptionsDialog {
  const char *start_dir;
  bool filling;
  HBRUSH invalid;
  WNDPROC hotkey_edit;
  bool hotkey_valid;
};
OptionsDialog g_options;

}  // namespace

// Line feeds become line breaks (to_breaks) or line breaks line feeds; cut to fit.
static void convert_breaks(const char *from, char *to, size_t tolen, bool to_breaks) {
  size_t n = 0;
  for (const char *p = from; *p && n + 2 < tolen; p++) {
    if (*p == '\r' && !to_breaks) continue;
    if (*p == '\n' && to_breaks) to[n++] = '\r';
    to[n++] = *p;
  }
  to[n] = 0;
}

// Asked of the system as the main window will ask it, so that a key another program holds
// shows as invalid too. The system takes modifiers alone, which no key press can match.
static void hotkey_check(HWND edit) {
  char text[KEY_TEXT];
  GetWindowTextA(edit, text, sizeof text);
  uint8_t modifiers;
  int code = 0;
  g_options.hotkey_valid =
      parse_key_combination(text, &modifiers, &code) && code != 0 && keyb_test_hotkey(text);
  InvalidateRect(edit, nullptr, TRUE);
}

// The hot-key edit takes no typed text: a key pressed there is shown by its name with the
// modifiers held; Backspace and Delete clear it; a modifier alone does nothing.
static LRESULT CALLBACK hotkey_edit_proc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (wparam == VK_SHIFT || wparam == VK_CONTROL || wparam == VK_MENU) return 0;
      if (wparam == VK_BACK || wparam == VK_DELETE) {
        SetWindowTextA(edit, "");
        return 0;
      }
      uint8_t modifiers = 0;
      if (GetKeyState(VK_MENU) < 0) modifiers |= KEYMOD_ALT;
      if (GetKeyState(VK_CONTROL) < 0) modifiers |= KEYMOD_CTRL;
      if (GetKeyState(VK_SHIFT) < 0) modifiers |= KEYMOD_SHIFT;
      char name[KEY_TEXT];
      if (key_name(modifiers, (int)wparam, name, sizeof name)) SetWindowTextA(edit, name);
      return 0;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return 0;
  }
  return CallWindowProcA(g_options.hotkey_edit, edit, message, wparam, lparam);
}

static void options_fill(HWND dialog) {
  static char text[SETTING_LONG_TEXT], shown[2 * SETTING_LONG_TEXT];
  g_options.filling = true;
  for (const OptionControl &c : kOptionControls) {
    const SettingEntry *e = settings_find(c.setting);
    setting_text(e, text, sizeof text);
    HWND control = GetDlgItem(dialog, c.id);
    switch (c.kind) {
      case OPT_CHECK: CheckDlgButton(dialog, c.id, atoi(text) ? BST_CHECKED : BST_UNCHECKED); break;
      case OPT_TEXT:
      case OPT_HOTKEY: SetWindowTextA(control, text); break;
      case OPT_LINES:
        convert_breaks(text, shown, sizeof shown, true);
        SetWindowTextA(control, shown);
        break;
      case OPT_ARGUMENTS:
        prompt_combo_fill(control, g_settings.Arguments, g_settings.ArgumentsHistory);
        break;
    }
  }
  g_options.filling = false;
}

static void options_apply(HWND dialog) {
  static char text[2 * SETTING_LONG_TEXT], value[SETTING_LONG_TEXT];
  for (const OptionControl &c : kOptionControls) {
    const SettingEntry *e = settings_find(c.setting);
    HWND control = GetDlgItem(dialog, c.id);
    switch (c.kind) {
      case OPT_CHECK:
        setting_set_text(e, IsDlgButtonChecked(dialog, c.id) == BST_CHECKED ? "1" : "0");
        break;
      case OPT_TEXT:
      case OPT_HOTKEY:
        GetWindowTextA(control, value, sizeof value);
        setting_set_text(e, value);
        break;
      case OPT_LINES:
        GetWindowTextA(control, text, sizeof text);
        convert_breaks(text, value, sizeof value, false);
        setting_set_text(e, value);
        break;
      case OPT_ARGUMENTS:
        prompt_combo_commit(control, g_settings.Arguments, g_settings.ArgumentsHistory);
        break;
    }
  }
  settings_take_snapshot(true);
  EnableWindow(GetDlgItem(dialog, IDC_OPT_APPLY), FALSE);
}

// A change notice from a control that the user edits: "Apply" becomes available.
static bool is_change(int code) {
  return code == EN_CHANGE || code == BN_CLICKED || code == CBN_EDITCHANGE ||
         code == CBN_SELCHANGE;
}

static INT_PTR CALLBACK options_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      g_options.invalid = CreateSolidBrush(INVALID_HOTKEY_PAPER);
      HWND hotkey = GetDlgItem(dialog, IDC_OPT_HOTKEY);
      g_options.hotkey_edit =
          (WNDPROC)SetWindowLongPtrA(hotkey, GWLP_WNDPROC, (LONG_PTR)hotkey_edit_proc);
      options_fill(dialog);
      hotkey_check(hotkey);
      return TRUE;
    }
    case WM_CTLCOLOREDIT: {
      HWND edit = (HWND)lparam;
      if (GetDlgCtrlID(edit) != IDC_OPT_HOTKEY) return FALSE;
      if (g_options.hotkey_valid) return FALSE;
      SetBkColor((HDC)wparam, INVALID_HOTKEY_PAPER);
      return (INT_PTR)g_options.invalid;
    }
    case WM_COMMAND: {
      int id = LOWORD(wparam), code = HIWORD(wparam);
      if (id == IDOK) {
        options_apply(dialog);
        EndDialog(dialog, IDOK);
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else if (id == IDC_OPT_APPLY) {
        options_apply(dialog);
      } else if (id == IDC_OPT_FLUSH) {
        settings_create_options_file(g_options.start_dir, debuggee_path(), dialog);
      } else if (!g_options.filling && is_change(code)) {
        EnableWindow(GetDlgItem(dialog, IDC_OPT_APPLY), TRUE);
        if (id == IDC_OPT_HOTKEY) hotkey_check((HWND)lparam);
      }
      return TRUE;
    }
    case WM_DESTROY:
      SetWindowLongPtrA(GetDlgItem(dialog, IDC_OPT_HOTKEY), GWLP_WNDPROC,
                        (LONG_PTR)g_options.hotkey_edit);
      DeleteObject(g_options.invalid);
      g_options.invalid = nullptr;
      return FALSE;
  }
  return FALSE;
}

void options_dialog(HWND owner, const char *start_dir) {
  g_options.start_dir = start_dir;
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_OPTIONS), owner, options_proc,
                  0);
}
