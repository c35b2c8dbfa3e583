// The host's folder calls, for the tests and the benchmarks.
#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "setup/files.h"
#include "setup/files_stdio.h"

void files_native(char out[KQ_PATH], const char *path) {
  text_copy(out, KQ_PATH, path);
  for (char *p = out; *p; p++)
    if (*p == '\\') *p = '/';
}

static int posix_folder_state(const char *path) {
  char native[KQ_PATH];
  files_native(native, path);
  struct stat st;
  if (stat(native, &st) != 0) return 0;
  return S_ISDIR(st.st_mode) ? 1 : -1;
}

static bool posix_make_folder(const char *path) {
  char native[KQ_PATH];
  files_native(native, path);
  return mkdir(native, 0777) == 0;
}

static bool posix_remove_folder(const char *path) {
  char native[KQ_PATH];
  files_native(native, path);
  return rmdir(native) == 0;
}

static int posix_list(const char *folder, const char *pattern,
                      void (*found)(const char *, uint32_t, bool, void *), void *context) {
  char native[KQ_PATH];
  files_native(native, folder[0] ? folder : ".");
  DIR *dir = opendir(native);
  if (!dir) return 0;
  int count = 0;
  while (struct dirent *e = readdir(dir)) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    if (!files_match(pattern, e->d_name)) continue;
    char path[KQ_PATH * 2];
    snprintf(path, sizeof path, "%s/%s", native, e->d_name);
    struct stat st;
    if (stat(path, &st) != 0) continue;
    found(e->d_name, (uint32_t)st.st_size, S_ISDIR(st.st_mode), context);
    count++;
  }
  closedir(dir);
  return count;
}

const SetupFiles g_setup_files = {
    stdio_open_read,    stdio_create,      stdio_read,          stdio_write,
    stdio_seek,         stdio_size,        stdio_close,         stdio_remove_file,
    posix_folder_state, posix_make_folder, posix_remove_folder, posix_list,
};
