#include "ui/panels/status_bar/status_bar_win32.h"

#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>

#include "engine/debuggee.h"
#include "engine/registers.h"
#include "settings/changes.h"
#include "settings/settings.h"
#include "symbols/address_name.h"
#include "ui/global_resources_win32.h"
#include "ui/panels/panel_windows.h"

StatusBar g_status;

enum { STATUS_TIMER = 0, STATUS_PERIOD_MS = 100, BLINK_PERIOD_MS = 800, BLINK_ON_MS = 400 };

// Paper of the state pane by kind; the kinds that report a stop blink.
static const struct {
  COLORREF text, paper;
  bool blinks;
} kStateLooks[] = {
    {0x808080, 0xFFFFFF, false},  // not loaded, loading
    {0x008000, 0xFFFFFF, false},  // running
    {0x800000, 0xFFFFFF, false},  // exited
    {0xFFFFFF, 0x0000C0, true},   // a guard or exception
    {0x000000, 0x40C0FF, true},   // last error
    {0x000000, 0xFFFFFF, false},  // OK.
};

static RECT pane_rect(int pane) {
  RECT r;
  GetClientRect(g_status.hwnd, &r);
  r.left = g_status.spans[pane].left;
  r.right = g_status.spans[pane].right;
  return r;
}

static void repaint(int pane) {
  if (!g_status.hwnd) return;
  RECT r = pane_rect(pane);
  InvalidateRect(g_status.hwnd, &r, FALSE);
}

// The window text joins the panes' texts with tabs, so that other programs (and tests)
// can read what the bar shows.
static void publish() {
  char text[5 * KQ_PATH];
  snprintf(text, sizeof text, "%s\t%s\t%s\t%s\t%s", g_settings.CpuViewMode ? "C" : "S",
           g_status.location, g_status.time, g_status.state, g_status.hint);
  SetWindowTextA(g_status.hwnd, text);
}

// Stores text into the pane's buffer; true (and repainted) when it changed.
static bool set_pane(char *buffer, const char *text, int pane) {
  if (!text) text = "";
  if (strncmp(buffer, text, KQ_PATH - 1) == 0) return false;
  text_copy(buffer, KQ_PATH, text);
  if (g_status.asking && pane == PANE_HINT) return true;  // shown once the asking is over
  repaint(pane);
  if (g_status.hwnd) publish();
  return true;
}

void status_set_hint(const char *text) { set_pane(g_status.hint, text, PANE_HINT); }

void status_set_hint_resource(int id) {
  char text[KQ_PATH];
  if (!LoadStringA(GetModuleHandleA(nullptr), (UINT)id, text, sizeof text)) text[0] = 0;
  status_set_hint(text);
}

void status_set_position_source(StatusPositionSource source) {
  g_status.position_source = source;
}

static void update_time() {
  char text[KQ_PATH];
  status_time_text(debuggee_cpu_time(), text, sizeof text);
  set_pane(g_status.time, text, PANE_TIME);
}

static void update_state() {
  char pause[KQ_PATH], error[KQ_PATH], text[KQ_PATH];
  StateKind kind = status_state_text(debuggee_state_facts(pause, error, KQ_PATH), text, sizeof text);
  if (kind != g_status.state_kind) repaint(PANE_STATE);
  g_status.state_kind = kind;
  set_pane(g_status.state, text, PANE_STATE);
}

// The focused panel's position named as a symbol; while paused without one, the
// instruction pointer, where every pause moves the code position.
static void update_location() {
  uint32_t address = 0;
  bool known = g_status.position_source && g_status.position_source(GetFocus(), &address);
  if (!known && debuggee_state() == DS_PAUSED) {
    address = registers_ip();
    known = address != 0;
  }
  char text[KQ_PATH] = "";
  if (known) address_name(address, address, true, text, sizeof text);
  set_pane(g_status.location, text, PANE_LOCATION);
}

static void status_listener(int) {
  static const int kStateFlags[] = {CHG_STATE, CHG_LAYOUT, 0};
  static const int kPositionFlags[] = {CHG_CODE_POSITION, CHG_DATA_POSITION, 0};
  bool state = changes_test_any(kStateFlags);
  if (state) {
    update_state();
    update_time();
  }
  if (state || changes_test_any(kPositionFlags)) update_location();
  if (changes_test(CHG_SETTINGS) && settings_changed(&g_settings.CpuViewMode)) {
    repaint(PANE_MODE);
    publish();
  }
}

// The executable name of another process, from a system snapshot.
static void process_name(DWORD pid, char *out, size_t outlen) {
  out[0] = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID == pid) {
      text_copy(out, outlen, entry.szExeFile);
      break;
    }
  CloseHandle(snapshot);
}

void status_hover_help(POINT cursor, HWND under) {
  if (!under) return;
  DWORD pid = 0;
  GetWindowThreadProcessId(under, &pid);
  if (pid != GetCurrentProcessId()) {
    char name[KQ_PATH], hint[2 * KQ_PATH];
    process_name(pid, name, sizeof name);
    snprintf(hint, sizeof hint, "hwnd=%u pid=%u %s", (unsigned)(uintptr_t)under, (unsigned)pid,
             name);
    status_set_hint(hint);
    return;
  }
  // Cleared, then set by whoever answers: repainted only when the answer differs from
  // what was shown.
  char shown[KQ_PATH];
  text_copy(shown, sizeof shown, g_status.hint);
  g_status.asking = true;
  status_set_hint(nullptr);
  for (HWND w = under; w; w = GetParent(w)) {
    POINT p = cursor;
    ScreenToClient(w, &p);
    if (SendMessageA(w, WM_STATUS_HINT, 0, MAKELPARAM(p.x, p.y)) == 1) break;
  }
  g_status.asking = false;
  if (strcmp(shown, g_status.hint) != 0) {
    repaint(PANE_HINT);
    if (g_status.hwnd) publish();
  }
}

static void on_timer() {
  POINT cursor;
  if (GetCursorPos(&cursor)) status_hover_help(cursor, WindowFromPoint(cursor));
  update_time();
  bool blink = GetTickCount() % BLINK_PERIOD_MS > BLINK_ON_MS;
  if (blink != g_status.blink) {
    g_status.blink = blink;
    if (kStateLooks[g_status.state_kind].blinks) repaint(PANE_STATE);
  }
}

static void draw_pane(HDC dc, int pane, const char *text, COLORREF ink, COLORREF paper) {
  RECT r = pane_rect(pane);
  DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  InflateRect(&r, -1, -1);
  SetTextColor(dc, ink);
  SetBkColor(dc, paper);
  ExtTextOutA(dc, r.left + 2, r.top + 1, ETO_OPAQUE | ETO_CLIPPED, &r, text,
              (UINT)strlen(text), nullptr);
}

void status_bar_draw(HDC dc) {
  RECT client;
  GetClientRect(g_status.hwnd, &client);
  SetBkColor(dc, g_resources.button_face);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &client, "", 0, nullptr);  // the face behind the panes
  HGDIOBJ old = SelectObject(dc, g_resources.gui_font[0]);
  const COLORREF ink = GetSysColor(COLOR_BTNTEXT), paper = g_resources.button_face;
  draw_pane(dc, PANE_MODE, g_settings.CpuViewMode ? "C" : "S", ink, paper);
  draw_pane(dc, PANE_LOCATION, g_status.location, ink, paper);
  draw_pane(dc, PANE_TIME, g_status.time, ink, paper);
  const auto &look = kStateLooks[g_status.state_kind];
  bool lit = look.blinks && g_status.blink;
  draw_pane(dc, PANE_STATE, g_status.state, lit ? look.paper : look.text,
            lit ? look.text : look.paper);
  draw_pane(dc, PANE_HINT, g_status.hint, ink, paper);
  RECT grip = pane_rect(PANE_GRIP);
  DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
  SelectObject(dc, old);
}

static bool over_grip(HWND hwnd) {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(hwnd, &p);
  return status_pane_at(g_status.spans, p.x) == PANE_GRIP;
}

// The pointer of a mouse message on the screen.
static POINT pointer(HWND hwnd, LPARAM lparam) {
  POINT p = {(short)LOWORD(lparam), (short)HIWORD(lparam)};
  ClientToScreen(hwnd, &p);
  return p;
}

// The main window's lower-right corner follows the pointer; its upper-left stays.
static void size_main(HWND hwnd, LPARAM lparam) {
  POINT p = pointer(hwnd, lparam);
  const RECT &r = g_status.sizing_start;
  int right = p.x + g_status.grip_offset.x, bottom = p.y + g_status.grip_offset.y;
  MoveWindow(GetParent(hwnd), r.left, r.top, right - r.left, bottom - r.top, TRUE);
}

LRESULT CALLBACK status_bar_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      g_status.hwnd = hwnd;
      SetTimer(hwnd, STATUS_TIMER, STATUS_PERIOD_MS, nullptr);
      changes_add_listener(status_listener, 0);
      update_state();
      update_time();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, STATUS_TIMER);
      changes_remove_listener(status_listener, 0);
      g_status.hwnd = nullptr;
      return 0;
    case WM_SIZE:
      status_pane_layout(LOWORD(lparam), g_status.spans);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_TIMER:
      if (wparam == STATUS_TIMER) on_timer();
      return 0;
    case WM_STATUS_HINT: {
      int pane = status_pane_at(g_status.spans, (short)LOWORD(lparam));
      status_set_hint(pane < PANE_COUNT ? kStatusPanes[pane].tooltip : nullptr);
      return 1;
    }
    case WM_SETCURSOR:
      SetCursor(LoadCursorA(nullptr, (LPCSTR)(over_grip(hwnd) || g_status.sizing ? IDC_SIZENWSE
                                                                                 : IDC_ARROW)));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (status_pane_at(g_status.spans, (short)LOWORD(lparam)) == PANE_GRIP) {
        POINT p = pointer(hwnd, lparam);
        GetWindowRect(GetParent(hwnd), &g_status.sizing_start);
        g_status.grip_offset = {g_status.sizing_start.right - p.x,
                                g_status.sizing_start.bottom - p.y};
        g_status.sizing = true;
        SetCapture(hwnd);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (g_status.sizing) size_main(hwnd, lparam);
      return 0;
    case WM_LBUTTONUP:
      if (g_status.sizing) {
        size_main(hwnd, lparam);
        g_status.sizing = false;
        ReleaseCapture();
      }
      return 0;
  }
  return panel_default_proc(hwnd, message, wparam, lparam);
}

