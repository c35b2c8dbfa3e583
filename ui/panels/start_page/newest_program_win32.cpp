#include "ui/panels/start_page/newest_program_win32.h"

#include <windows.h>

#include "util/path.h"

bool newest_program_here(char *out, size_t outlen) {
  text_copy(out, outlen, "");
  // A folder whose pattern does not fit is not searched: a pattern cut short would name
  // another folder.
  static const char kPattern[] = "\\*.exe";
  char pattern[KQ_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof pattern, pattern);
  if (length == 0 || length + sizeof kPattern > sizeof pattern) return false;
  text_copy(pattern + length, sizeof pattern - length, kPattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FILETIME newest = {0, 0};
  do {
    if (CompareFileTime(&found.ftLastWriteTime, &newest) > 0) {
      newest = found.ftLastWriteTime;
      text_copy(out, outlen, found.cFileName);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}
