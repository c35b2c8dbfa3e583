// The installation wizard: a frame dialog whose pages (Welcome, License, Path, Final) take
// the place of a placeholder control, with Back, Next, Install, Finish and Cancel below.
#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "setup/installer.h"
#include "setup/setup_ids.h"
#include "util/log.h"
#include "util/visor.h"

static const COLORREF kWelcomePaper = 0xD6F7F5;  // red 245, green 247, blue 214

struct WizardPage {
  int template_id;
  DLGPROC proc;
  const char *name;
  int buttons[3];  // the frame buttons shown with this page (0 ends the list)
};

static INT_PTR CALLBACK welcome_proc(HWND, UINT, WPARAM, LPARAM);
static INT_PTR CALLBACK license_proc(HWND, UINT, WPARAM, LPARAM);
static INT_PTR CALLBACK path_proc(HWND, UINT, WPARAM, LPARAM);
static INT_PTR CALLBACK final_proc(HWND, UINT, WPARAM, LPARAM);

enum { PAGE_WELCOME, PAGE_LICENSE, PAGE_PATH, PAGE_FINAL, PAGE_COUNT };
static const WizardPage kPages[PAGE_COUNT] = {
    {IDD_WELCOME, welcome_proc, "Welcome", {IDC_NEXT, IDCANCEL}},
    {IDD_LICENSE, license_proc, "License", {IDC_BACK, IDC_NEXT, IDCANCEL}},
    {IDD_PATH, path_proc, "Path", {IDC_BACK, IDC_INSTALL, IDCANCEL}},
    {IDD_FINAL, final_proc, "Final", {IDC_FINISH}},
};
static const int kFrameButtons[] = {IDC_BACK, IDC_NEXT, IDC_INSTALL, IDC_FINISH, IDCANCEL};

struct Wizard {
  HWND frame;
  HWND pages[PAGE_COUNT];
  int current;
  bool launch;
  HBRUSH pale, white;
};
static Wizard g_wizard;

// ---- Shared page helpers ----

static BOOL CALLBACK expand_text(HWND window, LPARAM) {
  char text[KQ_PATH], expanded[KQ_PATH];
  GetWindowTextA(window, text, sizeof text);
  if (!strchr(text, '$')) return TRUE;
  variables_expand(&g_setup.vars, text, expanded, sizeof expanded);
  SetWindowTextA(window, expanded);
  return TRUE;
}

static void expand_window_texts(HWND window) {
  expand_text(window, 0);
  EnumChildWindows(window, expand_text, 0);
}

// Draws the picture stretched as large as the owner-drawn control allows without changing
// its proportions, centred on the page's paper.
static BOOL draw_picture(const DRAWITEMSTRUCT *item, HBITMAP picture, HBRUSH paper) {
  FillRect(item->hDC, &item->rcItem, paper);
  if (!picture) return TRUE;
  BITMAP bm;
  GetObject(picture, sizeof bm, &bm);
  LONG width = item->rcItem.right - item->rcItem.left, height = item->rcItem.bottom - item->rcItem.top;
  if (!bm.bmWidth || !bm.bmHeight || !width || !height) return TRUE;
  LONG w = width, h = (LONG)((int64_t)bm.bmHeight * width / bm.bmWidth);
  if (h > height) {
    h = height;
    w = (LONG)((int64_t)bm.bmWidth * height / bm.bmHeight);
  }
  HDC source = CreateCompatibleDC(item->hDC);
  HGDIOBJ old = SelectObject(source, picture);
  SetStretchBltMode(item->hDC, HALFTONE);
  StretchBlt(item->hDC, item->rcItem.left + (width - w) / 2, item->rcItem.top + (height - h) / 2, w,
             h, source, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  return TRUE;
}

// Paper for the dialog and its static controls.
static INT_PTR paper(WPARAM wparam, COLORREF colour, HBRUSH brush) {
  SetBkColor((HDC)wparam, colour);
  return (INT_PTR)brush;
}

static void update_next(HWND license_page) {
  bool accepted = IsDlgButtonChecked(license_page, IDC_ACCEPT) == BST_CHECKED;
  EnableWindow(GetDlgItem(g_wizard.frame, IDC_NEXT), accepted);
}

// ---- Pages ----

static INT_PTR CALLBACK welcome_proc(HWND page, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return paper(wparam, kWelcomePaper, g_wizard.pale);
    case WM_DRAWITEM: return draw_picture((const DRAWITEMSTRUCT *)lparam, g_setup.logo, g_wizard.pale);
  }
  return FALSE;
}

static INT_PTR CALLBACK license_proc(HWND page, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(page, IDC_LICENSE_TEXT, g_setup.info.license ? g_setup.info.license : "");
      return TRUE;
    case WM_DRAWITEM:
      return draw_picture((const DRAWITEMSTRUCT *)lparam, g_setup.picture,
                          (HBRUSH)GetStockObject(WHITE_BRUSH));
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_ACCEPT) update_next(page);
      return TRUE;
    case WM_SHOWWINDOW:
      if (wparam) update_next(page);
      return FALSE;
  }
  return FALSE;
}

static int CALLBACK browse_callback(HWND browser, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

static void browse(HWND page) {
  char folder[KQ_PATH];
  GetDlgItemTextA(page, IDC_FOLDER, folder, sizeof folder);
  BROWSEINFOA bi = {};
  bi.hwndOwner = page;
  bi.lpszTitle = "Choose the installation folder";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lpfn = browse_callback;
  bi.lParam = (LPARAM)folder;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
  if (!chosen) return;
  char path[MAX_PATH];
  if (SHGetPathFromIDListA(chosen, path)) SetDlgItemTextA(page, IDC_FOLDER, path);
  CoTaskMemFree(chosen);
}

static INT_PTR CALLBACK path_proc(HWND page, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG: SetDlgItemTextA(page, IDC_FOLDER, g_setup.folder); return TRUE;
    case WM_DRAWITEM:
      return draw_picture((const DRAWITEMSTRUCT *)lparam, g_setup.picture,
                          (HBRUSH)GetStockObject(WHITE_BRUSH));
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_BROWSE) browse(page);
      return TRUE;
  }
  return FALSE;
}

static INT_PTR CALLBACK final_proc(HWND page, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG: CheckDlgButton(page, IDC_LAUNCH, BST_CHECKED); return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return paper(wparam, RGB(255, 255, 255), g_wizard.white);
    case WM_DRAWITEM: return draw_picture((const DRAWITEMSTRUCT *)lparam, g_setup.logo, g_wizard.white);
  }
  return FALSE;
}

// ---- The frame ----

static RECT placeholder_rect() {
  RECT r;
  GetWindowRect(GetDlgItem(g_wizard.frame, IDC_PLACEHOLDER), &r);
  MapWindowPoints(nullptr, g_wizard.frame, (POINT *)&r, 2);
  return r;
}

static void show_page(int index) {
  g_wizard.current = index;
  const WizardPage &p = kPages[index];
  if (!g_wizard.pages[index]) {
    RECT r = placeholder_rect();
    HWND page = CreateDialogParamA(g_setup.instance, MAKEINTRESOURCEA(p.template_id),
                                   g_wizard.frame, p.proc, 0);
    KQ_ASSERT(page != nullptr, "wizard");
    SetWindowPos(page, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, 0);
    expand_window_texts(page);
    g_wizard.pages[index] = page;
  }
  for (int i = 0; i < PAGE_COUNT; i++)
    if (g_wizard.pages[i] && i != index) ShowWindow(g_wizard.pages[i], SW_HIDE);
  for (int id : kFrameButtons) {
    bool shown = false;
    for (int listed : p.buttons) shown = shown || listed == id;
    ShowWindow(GetDlgItem(g_wizard.frame, id), shown ? SW_SHOW : SW_HIDE);
    EnableWindow(GetDlgItem(g_wizard.frame, id), TRUE);
  }
  ShowWindow(g_wizard.pages[index], SW_SHOW);
}

// Back or Next; the licence page is passed over when the package has no licence.
static void move(int step) {
  int next = g_wizard.current + step;
  if (next == PAGE_LICENSE && !g_setup.info.header.license_size) next += step;
  if (next >= 0 && next < PAGE_COUNT) show_page(next);
}

// The size of a page template in pixels of the frame's font.
static SIZE template_size(int template_id) {
  SIZE size = {0, 0};
  HRSRC found = FindResourceA(g_setup.instance, MAKEINTRESOURCEA(template_id), (LPCSTR)RT_DIALOG);
  const uint8_t *t = found ? (const uint8_t *)LockResource(LoadResource(g_setup.instance, found)) : nullptr;
  if (!t || SizeofResource(g_setup.instance, found) < 26) return size;
  // DLGTEMPLATEEX: cx and cy follow the version, signature, help id, styles, count, x and y.
  RECT r = {0, 0, *(const int16_t *)(t + 22), *(const int16_t *)(t + 24)};
  MapDialogRect(g_wizard.frame, &r);
  size.cx = r.right;
  size.cy = r.bottom;
  return size;
}

// Enlarges the frame so that the largest page fits the placeholder, moving the controls
// below and beside it by as much, and centres the frame on the desktop.
static void fit_frame() {
  RECT ph = placeholder_rect();
  LONG width = ph.right - ph.left, height = ph.bottom - ph.top;
  for (const WizardPage &p : kPages) {
    SIZE s = template_size(p.template_id);
    if (s.cx > width) width = s.cx;
    if (s.cy > height) height = s.cy;
  }
  int dx = width - (ph.right - ph.left), dy = height - (ph.bottom - ph.top);
  HWND placeholder = GetDlgItem(g_wizard.frame, IDC_PLACEHOLDER);
  SetWindowPos(placeholder, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  for (HWND child = GetWindow(g_wizard.frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child == placeholder) continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, g_wizard.frame, (POINT *)&r, 2);
    SetWindowPos(child, nullptr, r.left + (r.left >= ph.right ? dx : 0),
                 r.top + (r.top >= ph.bottom ? dy : 0), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  RECT frame;
  GetWindowRect(g_wizard.frame, &frame);
  LONG w = frame.right - frame.left + dx, h = frame.bottom - frame.top + dy;
  SetWindowPos(g_wizard.frame, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, SWP_NOZORDER);
}

static void install_pressed() {
  log_printf("USER: install, please\n");
  char typed[KQ_PATH];
  GetDlgItemTextA(g_wizard.pages[PAGE_PATH], IDC_FOLDER, typed, sizeof typed);
  if (!GetFullPathNameA(typed, sizeof g_setup.folder, g_setup.folder, nullptr))
    text_copy(g_setup.folder, sizeof g_setup.folder, typed);
  if (!install_step(g_wizard.frame)) {
    EndDialog(g_wizard.frame, 0);
    return;
  }
  move(+1);
  ShowWindow(g_wizard.frame, SW_SHOW);
  SetForegroundWindow(g_wizard.frame);
}

static INT_PTR CALLBACK frame_proc(HWND frame, UINT msg, WPARAM wparam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      g_wizard.frame = frame;
      expand_window_texts(frame);
      fit_frame();
      show_page(PAGE_WELCOME);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_BACK: log_printf("USER: Back page\n"); move(-1); return TRUE;
        case IDC_NEXT: log_printf("USER: Next page\n"); move(+1); return TRUE;
        case IDC_INSTALL: install_pressed(); return TRUE;
        case IDC_FINISH:
          log_printf("USER: Finish\n");
          g_wizard.launch =
              IsDlgButtonChecked(g_wizard.pages[PAGE_FINAL], IDC_LAUNCH) == BST_CHECKED;
          EndDialog(frame, 1);
          return TRUE;
        case IDCANCEL:
          // The Final page has no Cancel: closing it is finishing without launching.
          log_printf("USER: Cancel\n");
          EndDialog(frame, g_wizard.current == PAGE_FINAL ? 1 : 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

int wizard_run(bool *launch) {
  g_wizard = {};
  // The licence control's class comes with the rich edit library.
  LoadLibraryA("Riched32.dll");
  WNDCLASSA wc;
  if (!GetClassInfoA(nullptr, "RichEdit20A", &wc)) LoadLibraryA("Riched20.dll");
  g_wizard.pale = CreateSolidBrush(kWelcomePaper);
  g_wizard.white = (HBRUSH)GetStockObject(WHITE_BRUSH);
  INT_PTR result =
      DialogBoxParamA(g_setup.instance, MAKEINTRESOURCEA(IDD_FRAME), nullptr, frame_proc, 0);
  DeleteObject(g_wizard.pale);
  *launch = result == 1 && g_wizard.launch;
  return result == 1 ? 1 : 0;
}
