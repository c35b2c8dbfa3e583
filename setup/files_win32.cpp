// The system's folder calls.
#include <windows.h>
#include <string.h>

#include "setup/files.h"
#include "setup/files_stdio.h"

void files_native(char out[KQ_PATH], const char *path) { text_copy(out, KQ_PATH, path); }

static int win32_folder_state(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : -1;
}

static bool win32_make_folder(const char *path) { return CreateDirectoryA(path, nullptr) != 0; }

static bool win32_remove_folder(const char *path) { return RemoveDirectoryA(path) != 0; }

static int win32_list(const char *folder, const char *pattern,
                      void (*found)(const char *, uint32_t, bool, void *), void *context) {
  char query[KQ_PATH];
  setup_join(query, sizeof query, folder[0] ? folder : ".", "*");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(query, &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (!strcmp(data.cFileName, ".") || !strcmp(data.cFileName, "..")) continue;
    if (!files_match(pattern, data.cFileName)) continue;
    found(data.cFileName, data.nFileSizeLow, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
          context);
    count++;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return count;
}

const SetupFiles g_setup_files = {
    stdio_open_read,    stdio_create,      stdio_read,          stdio_write,
    stdio_seek,         stdio_size,        stdio_close,         stdio_remove_file,
    win32_folder_state, win32_make_folder, win32_remove_folder, win32_list,
};
