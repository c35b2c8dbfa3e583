// The file system as the installer sees it: one record of calls, so that compiling,
// extracting and uninstalling run on the host in tests and a test can make any call fail.
// Paths are Windows paths ("\\" separators); the host's calls turn them into its own.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { SETUP_BLOCK = 2048 };  // copies move at most this many bytes at a time

struct SetupFiles {
  // A file opened for reading or created (truncated) for writing; null on failure.
  void *(*open_read)(const char *path);
  void *(*create)(const char *path);
  size_t (*read)(void *file, void *buf, size_t len);
  bool (*write)(void *file, const void *buf, size_t len);
  bool (*seek)(void *file, uint32_t offset);
  // Size of an open file; false when it does not fit 32 bits.
  bool (*size)(void *file, uint32_t *size);
  // false when the bytes could not all be written.
  bool (*close)(void *file);
  bool (*remove_file)(const char *path);
  // 1 folder, 0 missing, -1 something else stands there.
  int (*folder_state)(const char *path);
  bool (*make_folder)(const char *path);
  bool (*remove_folder)(const char *path);
  // Calls found(name, size, is_folder, context) for every entry of folder whose name matches
  // the wildcard pattern ("*" and "?"); "." and ".." are left out. Gives the number found.
  int (*list)(const char *folder, const char *pattern,
              void (*found)(const char *name, uint32_t size, bool is_folder, void *context),
              void *context);
};

// The calls of the system the program is built for.
extern const SetupFiles g_setup_files;

// Copies the first n characters of src (which need not end there) into dst, cut to fit.
void text_copy_run(char *dst, size_t dstlen, const char *src, size_t n);
// Joins folder and name with one "\\" between them, cut to fit out.
void setup_join(char *out, size_t outlen, const char *folder, const char *name);
