#include "ui/dialogs/input_prompt_win32.h"

#include <stdarg.h>
#include <stdio.h>

#include "ui/dialogs/input_prompt_ids.h"
#include "ui/global_resources_win32.h"
#include "ui/rich_text/rich_text_gdi_win32.h"
#include "util/log.h"
#include "util/path.h"
#include "util/picture_win32.h"

enum : COLORREF { PROMPT_ORANGE = 0x1B7EEE, PROMPT_WHITE = 0xFFFFFF, PROMPT_BLACK = 0 };

// The initial text is selected unless the caller asked otherwise for this one prompt.
struct PromptState {
  bool select;
};
static PromptState g_prompt = {true};

// One prompt while its dialog is up.
struct PromptCall {
  const char *title, *line;
  char *text, *history;
  HBITMAP right, below;  // pictures 270 and 260
  HBRUSH orange, white;
};

static void add_to_list(void *combo, const char *entry) {
  SendMessageA((HWND)combo, CB_ADDSTRING, 0, (LPARAM)entry);
}

void prompt_combo_fill(HWND combo, const char *text, const char *history) {
  SetWindowTextA(combo, text);
  prompt_history_entries(history, add_to_list, combo);
}

static void prompt_init(HWND dialog, PromptCall *call) {
  SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)call);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  call->right = picture_load(instance, MAKEINTRESOURCEA(IDP_PROMPT_RIGHT));
  call->below = picture_load(instance, MAKEINTRESOURCEA(IDP_PROMPT_BELOW));
  call->orange = CreateSolidBrush(PROMPT_ORANGE);
  call->white = CreateSolidBrush(PROMPT_WHITE);
  SetWindowTextA(dialog, call->title);
  SetDlgItemTextA(dialog, IDC_PROMPT_LINE, call->line);
  HWND combo = GetDlgItem(dialog, IDC_PROMPT_TEXT);
  SendMessageA(combo, WM_SETFONT, (WPARAM)g_resources.fixed_font[0], FALSE);
  prompt_combo_fill(combo, call->text, call->history);
  SetFocus(combo);
  if (!g_prompt.select) SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(-1, 0));
}

static void prompt_free(PromptCall *call) {
  HGDIOBJ objects[] = {call->right, call->below, call->orange, call->white};
  for (HGDIOBJ object : objects)
    if (object) DeleteObject(object);
}

// The list entries, each cut to the text buffer, handed to the commit.
void prompt_combo_commit(HWND combo, char *text, char *history) {
  char accepted[PROMPT_TEXT];
  GetWindowTextA(combo, accepted, sizeof accepted);
  int count = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
  if (count < 0) count = 0;
  // No more entries can go in front of the history than it has characters.
  if (count > PROMPT_TEXT) count = PROMPT_TEXT;
  static char entries[PROMPT_TEXT][PROMPT_TEXT];
  const char *list[PROMPT_TEXT];
  for (int i = 0; i < count; i++) {
    entries[i][0] = 0;
    int len = (int)SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
    if (len >= 0 && len < PROMPT_TEXT) SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)entries[i]);
    list[i] = entries[i];
  }
  prompt_commit(accepted, list, count, text, history);
}

static void draw_picture(const DRAWITEMSTRUCT *item, HBITMAP picture) {
  const RECT &r = item->rcItem;
  if (item->CtlID == IDC_PROMPT_PICTURE_BELOW)
    log_console("size %i %i\n", (int)(r.right - r.left), (int)(r.bottom - r.top));
  if (!picture) return;
  RichGdiDrawer drawer;
  rich_gdi_drawer_init(&drawer, item->hDC);
  drawer.drawer.image(drawer.drawer.context, (RichHandle)(uintptr_t)picture, item->rcItem.left,
                      item->rcItem.top);
}

static INT_PTR CALLBACK prompt_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    prompt_init(dialog, (PromptCall *)lparam);
    return FALSE;  // the focus is set
  }
  PromptCall *call = (PromptCall *)GetWindowLongPtrA(dialog, DWLP_USER);
  if (!call) return FALSE;
  switch (message) {
    case WM_CTLCOLORDLG:
      SetTextColor((HDC)wparam, PROMPT_WHITE);
      return (INT_PTR)call->orange;
    case WM_CTLCOLORSTATIC:
      SetTextColor((HDC)wparam, PROMPT_BLACK);
      SetBkMode((HDC)wparam, TRANSPARENT);
      return (INT_PTR)call->orange;
    case WM_CTLCOLOREDIT:
      SetTextColor((HDC)wparam, PROMPT_BLACK);
      SetBkColor((HDC)wparam, PROMPT_WHITE);
      return (INT_PTR)call->white;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT *item = (const DRAWITEMSTRUCT *)lparam;
      draw_picture(item, item->CtlID == IDC_PROMPT_PICTURE_BELOW ? call->below : call->right);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        prompt_combo_commit(GetDlgItem(dialog, IDC_PROMPT_TEXT), call->text, call->history);
        EndDialog(dialog, 1);
      } else if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, 0);
      }
      return TRUE;
    case WM_DESTROY:
      prompt_free(call);
      return FALSE;
  }
  return FALSE;
}

int input_prompt(const char *message, char *text, char *history, ...) {
  va_list args;
  va_start(args, history);
  int result = input_prompt_v(message, text, history, args);
  va_end(args);
  return result;
}

int input_prompt_v(const char *message, char *text, char *history, va_list args) {
  if (prompt_take_leading_line_feed(text)) g_prompt.select = false;
  char format[PROMPT_TEXT], formatted[2 * PROMPT_TEXT];
  if (IS_INTRESOURCE(message)) {
    if (!LoadStringA(GetModuleHandleA(nullptr), (UINT)(uintptr_t)message, format, sizeof format))
      format[0] = 0;
  } else {
    text_copy(format, sizeof format, message);
  }
  vsnprintf(formatted, sizeof formatted, format, args);
  char title[PROMPT_TEXT], line[PROMPT_TEXT];
  prompt_split_message(formatted, title, sizeof title, line, sizeof line);
  PromptCall call = {title, line, text, history, nullptr, nullptr, nullptr, nullptr};
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_INPUT_PROMPT),
                                   GetActiveWindow(), prompt_proc, (LPARAM)&call);
  g_prompt.select = true;
  return result == 1 ? 1 : 0;
}
