#include "startup/open_file_win32.h"

#include <windows.h>
#include <commdlg.h>

#include "engine/debuggee.h"
#include "settings/settings.h"
#include "startup/main_window.h"
#include "ui/keyb.h"
#include "ui/panels/start_page/newest_program_win32.h"
#include "ui/panels/start_page/start_page_win32.h"
#include "util/path.h"

void open_file_dialog() {
  // The debuggee's path, else the start page's most recent one, else the newest program
  // here.
  char file[KQ_PATH];
  text_copy(file, sizeof file, debuggee_path());
  if (!file[0] && !start_page_recent(file, sizeof file)) newest_program_here(file, sizeof file);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = g_main.hwnd;
  ofn.lpstrFilter = "Executive files; *.exe\0*.exe\0All files\0*\0";
  ofn.nFilterIndex = g_settings.LastOpenFilter;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = "File name";
  ofn.Flags = OFN_SHOWHELP;
  keyb_set_active(false);
  BOOL chosen = GetOpenFileNameA(&ofn);
  keyb_set_active(true);
  if (!chosen) return;
  g_settings.LastOpenFilter = ofn.nFilterIndex;
  HCURSOR old = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  debuggee_unload();
  debuggee_launch(file);
  SetCursor(old);
}
