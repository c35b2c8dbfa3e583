// The progress window: a bar drawn in green with the percentage, the name of the file being
// copied, and Cancel; reports pace the copying so that a whole package takes 1.5 s at least.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "setup/installer.h"
#include "setup/setup_ids.h"
#include "util/log.h"

enum { PACE_WHOLE_MS = 1500, PACE_SLACK_MS = 50 };

struct ProgressState {
  HWND window;
  uint64_t total, done;
  int filled;  // width of the green part in pixels
  char name[KQ_PATH];
  DWORD reference_time;
  uint64_t reference_done;
  bool cancelled;
};
static ProgressState g_progress;

static void draw_bar(const DRAWITEMSTRUCT *item) {
  RECT r = item->rcItem;
  int width = r.right - r.left;
  int filled = g_progress.total ? (int)(g_progress.done * width / g_progress.total) : 0;
  RECT green = {r.left, r.top, r.left + filled, r.bottom};
  RECT white = {r.left + filled, r.top, r.right, r.bottom};
  HBRUSH brush = CreateSolidBrush(RGB(0, 200, 0));
  FillRect(item->hDC, &green, brush);
  DeleteObject(brush);
  FillRect(item->hDC, &white, (HBRUSH)GetStockObject(WHITE_BRUSH));
  DrawEdge(item->hDC, &r, EDGE_SUNKEN, BF_RECT);
  char percent[16];
  snprintf(percent, sizeof percent, "%i%%",
           g_progress.total ? (int)(g_progress.done * 100 / g_progress.total) : 0);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(item->hDC, g_setup.font);
  DrawTextA(item->hDC, percent, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(item->hDC, old);
}

static INT_PTR CALLBACK progress_proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG: {
      char caption[KQ_PATH], expanded[KQ_PATH];
      GetWindowTextA(window, caption, sizeof caption);
      variables_expand(&g_setup.vars, caption, expanded, sizeof expanded);
      SetWindowTextA(window, expanded);
      return TRUE;
    }
    case WM_DRAWITEM:
      if (wparam != IDC_BAR) return FALSE;
      draw_bar((const DRAWITEMSTRUCT *)lparam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) != IDCANCEL) return FALSE;
      log_printf("USER: Cancel\n");
      if (MessageBoxA(window, "Are you sure, you want to abort the installation ?", "Confirm exit",
                      MB_YESNO | MB_ICONQUESTION) == IDYES) {
        ShowWindow(window, SW_HIDE);
        g_progress.cancelled = true;
      }
      return TRUE;
  }
  return FALSE;
}

void progress_open(HWND owner, uint32_t total) {
  g_progress = {};
  g_progress.total = total;
  g_progress.reference_time = GetTickCount();
  g_progress.window =
      CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_PROGRESS), owner, progress_proc, 0);
  ShowWindow(g_progress.window, SW_SHOW);
  UpdateWindow(g_progress.window);
}

static void pump_messages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (g_progress.window && IsDialogMessageA(g_progress.window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool progress_report(void *, const char *name, uint32_t bytes) {
  if (g_progress.cancelled) return false;
  g_progress.done += bytes;
  if (strcasecmp(name, g_progress.name)) {
    text_copy(g_progress.name, sizeof g_progress.name, name);
    SetDlgItemTextA(g_progress.window, IDC_FILE_NAME, name);
  }
  HWND bar = GetDlgItem(g_progress.window, IDC_BAR);
  RECT r;
  GetClientRect(bar, &r);
  int filled = g_progress.total ? (int)(g_progress.done * (uint64_t)r.right / g_progress.total) : 0;
  if (filled != g_progress.filled) {
    g_progress.filled = filled;
    InvalidateRect(bar, nullptr, FALSE);
    UpdateWindow(bar);
    pump_messages();
  }
  // The time the bytes since the reference should take at 1.5 s for the whole package.
  DWORD now = GetTickCount();
  uint64_t due = (g_progress.done - g_progress.reference_done) * PACE_WHOLE_MS /
                 (g_progress.total ? g_progress.total : 1);
  DWORD elapsed = now - g_progress.reference_time;
  if (due > (uint64_t)elapsed + PACE_SLACK_MS) {
    Sleep((DWORD)(due - elapsed));
    g_progress.reference_time = GetTickCount();
    g_progress.reference_done = g_progress.done;
  }
  return !g_progress.cancelled;
}

bool progress_cancelled() { return g_progress.cancelled; }

void progress_close() {
  if (g_progress.window) DestroyWindow(g_progress.window);
  g_progress.window = nullptr;
}
