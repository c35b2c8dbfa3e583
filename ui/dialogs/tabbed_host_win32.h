// A modeless dialog with a tab control over pages, each a child dialog with a procedure of
// its own, created when first shown. The workspace navigator and the plug-in control are
// two such hosts; each keeps its place in a setting.
#pragma once
#include <windows.h>

#include "settings/settings.h"

// The host sends this to its current page for OK: the page acts and answers (through
// DWLP_MSGRESULT) TRUE when the host may close.
enum { WM_TABBED_PAGE_OK = WM_APP + 40 };

struct TabbedPage {
  int template_id;
  DLGPROC procedure;
  const char *title;
  HWND window;  // null until first shown
  HWND focus;   // the control that had the focus when the page was left
};

struct TabbedHost {
  const char *caption;
  TabbedPage *pages;
  int page_count;
  SettingRect *placement;  // where the host stood when it last closed
  HWND window;             // null while closed
  HWND tabs;
  int current;
  int grown_x, grown_y;    // by how much the host was widened to fit its largest page
};

// Page becomes the current page: its tab is selected and the page shown, in the open host
// or in a host created now, owned by the active window (owner when none is active).
bool tabbed_host_open(TabbedHost *host, int page, HWND owner);
// The page's answer to WM_TABBED_PAGE_OK.
INT_PTR tabbed_page_answer(HWND page, BOOL may_close);
