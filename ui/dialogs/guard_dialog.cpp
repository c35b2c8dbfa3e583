#include "ui/dialogs/guard_dialog.h"

#include <windows.h>
#include <string.h>

#include "engine/guards.h"
#include "ui/dialogs/guard_dialog_ids.h"

char g_recent_guard[KQ_PATH];

namespace {

struct DialogState {
  const char *offered;
};

bool holds(int n, const char *text) {
  return g_guards[n].expression && !strcmp(g_guards[n].expression, text);
}

bool is_free(int n) { return !g_guards[n].expression || !g_guards[n].expression[0]; }

// Fills the rows; places the offered text, asking where the slots are full. False when
// the dialog is to close at once.
bool fill_rows(HWND dialog, const char *offered) {
  for (int n = 0; n < GUARD_SLOTS; n++) {
    char expression[KQ_PATH], condition[KQ_PATH];
    guard_get(n, expression, sizeof expression, condition, sizeof condition);
    SetDlgItemTextA(dialog, IDC_GUARD_EXPRESSION + n, expression);
    SetDlgItemTextA(dialog, IDC_GUARD_CONDITION + n, condition);
  }
  GuardOfferChoice choice = guard_offer_row(offered, g_recent_guard);
  if (choice.row == GUARD_OFFER_FULL) {
    MessageBoxA(dialog, "No empty slots found.", "Operation failed", MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  if (choice.row < 0) return true;
  if (choice.ask_recent &&
      MessageBoxA(dialog, "No empty slots found.\nDo you want to use the most recent one ?",
                  "Confirm the guard deletion", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return false;
  SetDlgItemTextA(dialog, IDC_GUARD_EXPRESSION + choice.row, offered);
  SetDlgItemTextA(dialog, IDC_GUARD_CONDITION + choice.row, "");
  SetFocus(GetDlgItem(dialog, IDC_GUARD_EXPRESSION + choice.row));
  return true;
}

void apply_rows(HWND dialog, const char *offered) {
  for (int n = 0; n < GUARD_SLOTS; n++) {
    char expression[KQ_PATH], condition[KQ_PATH];
    GetDlgItemTextA(dialog, IDC_GUARD_EXPRESSION + n, expression, sizeof expression);
    GetDlgItemTextA(dialog, IDC_GUARD_CONDITION + n, condition, sizeof condition);
    guard_set(n, expression, condition);
  }
  if (offered && offered[0]) text_copy(g_recent_guard, sizeof g_recent_guard, offered);
}

INT_PTR CALLBACK guard_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  DialogState *state = (DialogState *)GetWindowLongPtrA(dialog, DWLP_USER);
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      state = (DialogState *)lparam;
      if (!fill_rows(dialog, state->offered)) EndDialog(dialog, IDCANCEL);
      return FALSE;  // the focus is set by fill_rows or stays on the first control
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        apply_rows(dialog, state->offered);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

GuardOfferChoice guard_offer_row(const char *offered, const char *most_recent) {
  if (!offered || !offered[0]) return GuardOfferChoice{GUARD_OFFER_NONE, false};
  for (int n = 0; n < GUARD_SLOTS; n++)
    if (holds(n, offered)) return GuardOfferChoice{GUARD_OFFER_NONE, false};
  for (int n = 0; n < GUARD_SLOTS; n++)
    if (is_free(n)) return GuardOfferChoice{n, false};
  for (int n = 0; most_recent && most_recent[0] && n < GUARD_SLOTS; n++)
    if (holds(n, most_recent)) return GuardOfferChoice{n, true};
  return GuardOfferChoice{GUARD_OFFER_FULL, false};
}

bool guard_dialog_open(void *owner, const char *offered) {
  DialogState state = {offered};
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GUARDS), (HWND)owner,
                         guard_dialog_proc, (LPARAM)&state) == IDOK;
}
