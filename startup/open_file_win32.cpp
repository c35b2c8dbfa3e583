#include "startup/open_file_win32.h"

#include <windows.h>
#include <commdlg.h>

#include "engine/debuggee.h"
#include "startup/main_window.h"
#include "startup/settings.h"
#include "ui/keyb.h"
#include "util/path.h"

// The start page's recent-files list is not kept yet, so that step of the choice is empty.
void open_file_initial_name(char *out, size_t outlen) {
  text_copy(out, outlen, debuggee_path());
  if (out[0]) return;
  // A folder whose pattern does not fit is not searched: a pattern cut short would name
  // another folder.
  static const char kPattern[] = "\\*.exe";
  char pattern[KQ_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof pattern, pattern);
  if (length == 0 || length + sizeof kPattern > sizeof pattern) return;
  text_copy(pattern + length, sizeof pattern - length, kPattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME newest = {0, 0};
  do {
    if (CompareFileTime(&found.ftLastWriteTime, &newest) > 0) {
      newest = found.ftLastWriteTime;
      text_copy(out, outlen, found.cFileName);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void open_file_dialog() {
  char file[KQ_PATH];
  open_file_initial_name(file, sizeof file);
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
