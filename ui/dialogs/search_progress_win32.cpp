// The search's progress window: a label that blinks "SEARCHING" every other 250 ms and a
// bar of the part of the way done, repainted when that part changes.
#include "ui/dialogs/search_progress_win32.h"

#include "engine/regions.h"

namespace {

const COLORREF kGreen = 0x003700, kWhite = 0xFFFFFF;
const int kBlink = 250, kMargin = 10;

// White bold letters on green glass, centred.
void draw_label(const DRAWITEMSTRUCT *d, const char *text) {
  FillRect(d->hDC, &d->rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if ((GetTickCount() / kBlink) % 2 == 0) return;
  HFONT font = CreateFontA(42, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY,
                           0, "Arial");
  HGDIOBJ old = SelectObject(d->hDC, font);
  const int length = lstrlenA(text);
  SIZE size;
  GetTextExtentPoint32A(d->hDC, text, length, &size);
  const int x = (d->rcItem.left + d->rcItem.right - size.cx) / 2;
  const int y = (d->rcItem.top + d->rcItem.bottom - size.cy) / 2;
  const RECT box = {x - kMargin, y - kMargin, x + size.cx + kMargin, y + size.cy + kMargin};
  blend_rect(d->hDC, box, kGreen, 140);
  SetBkMode(d->hDC, TRANSPARENT);
  SetTextColor(d->hDC, kWhite);
  TextOutA(d->hDC, x, y, text, length);
  SelectObject(d->hDC, old);
  DeleteObject(font);
}

// The part done in green, the rest in the window's colour, the percentage over both.
void draw_bar(const DRAWITEMSTRUCT *d, int permille) {
  RECT done = d->rcItem, rest = d->rcItem;
  done.right = done.left + MulDiv(d->rcItem.right - d->rcItem.left, permille, 1000);
  rest.left = done.right;
  HBRUSH green = CreateSolidBrush(kGreen);
  FillRect(d->hDC, &done, green);
  DeleteObject(green);
  FillRect(d->hDC, &rest, GetSysColorBrush(COLOR_WINDOW));
  char text[16];
  wsprintfA(text, "%d%%", permille / 10);
  SetBkMode(d->hDC, TRANSPARENT);
  SetTextColor(d->hDC, 0x808080);
  RECT r = d->rcItem;
  DrawTextA(d->hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  FrameRect(d->hDC, &d->rcItem, GetSysColorBrush(COLOR_BTNSHADOW));
}

INT_PTR CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  SearchProgress *p = (SearchProgress *)GetWindowLongPtrA(hwnd, DWLP_USER);
  switch (message) {
    case WM_INITDIALOG: SetWindowLongPtrA(hwnd, DWLP_USER, lparam); return TRUE;
    case WM_COMMAND:
      // Cancel, and Escape through the dialog manager.
      if (LOWORD(wparam) == IDCANCEL && p) *p->stop = 1;
      return TRUE;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT *d = (const DRAWITEMSTRUCT *)lparam;
      if (!p) return FALSE;
      if (d->CtlID == IDC_SEARCH_LABEL) draw_label(d, p->label);
      else draw_bar(d, p->permille);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

void blend_rect(HDC dc, const RECT &r, COLORREF color, BYTE alpha) {
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP pixel = CreateCompatibleBitmap(dc, 1, 1);
  HGDIOBJ old = SelectObject(memory, pixel);
  SetPixel(memory, 0, 0, color);
  BLENDFUNCTION f = {AC_SRC_OVER, 0, alpha, 0};
  AlphaBlend(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, 1, 1, f);
  SelectObject(memory, old);
  DeleteObject(pixel);
  DeleteDC(memory);
}

bool search_progress_open(SearchProgress *p, const char *caption, volatile int *stop,
                          const char *label, bool own_messages_only) {
  p->owner = GetActiveWindow();
  p->permille = 0;
  p->phase = 0;
  p->stop = stop;
  p->label = label;
  p->own_messages_only = own_messages_only;
  p->dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SEARCH_PROGRESS),
                                 p->owner, procedure, (LPARAM)p);
  if (!p->dialog) return false;
  SetWindowTextA(p->dialog, caption);
  if (p->owner) EnableWindow(p->owner, FALSE);
  ShowWindow(p->dialog, SW_SHOW);
  UpdateWindow(p->dialog);
  return true;
}

void search_progress_tick(SearchProgress *p, int permille) {
  // The label blinks on its own clock, so that a long stretch at one percentage still shows
  // the search alive.
  const int phase = (int)(GetTickCount() / kBlink % 2);
  if (permille / 10 != p->permille / 10 || phase != p->phase) {
    p->permille = permille;
    p->phase = phase;
    InvalidateRect(GetDlgItem(p->dialog, IDC_SEARCH_LABEL), nullptr, FALSE);
    InvalidateRect(GetDlgItem(p->dialog, IDC_SEARCH_BAR), nullptr, FALSE);
  }
  MSG msg;
  while (PeekMessageA(&msg, p->own_messages_only ? p->dialog : nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Left for the main loop, which ends on it.
      PostQuitMessage((int)msg.wParam);
      *p->stop = 1;
      return;
    }
    if (IsDialogMessageA(p->dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void search_progress_close(SearchProgress *p) {
  if (p->owner) EnableWindow(p->owner, TRUE);
  if (p->dialog) DestroyWindow(p->dialog);
  if (p->owner) SetActiveWindow(p->owner);
  p->dialog = nullptr;
}

bool search_readable_run(uint32_t address, int direction, uint32_t *low, uint32_t *high) {
  region_find(address);
  return code_readable_run(g_regions.regions, g_regions.count, address, direction, low, high);
}

void search_progress_walk_tick(CodeSearch *search, uint32_t, int permille) {
  search_progress_tick((SearchProgress *)search->owner, permille);
}
