// Helpers shared by the utility tests: a log file per test and reading it back.
#pragma once
#include <stdio.h>

#include <string>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "util/log.h"

#ifdef _WIN32
const int kExitMinusOne = -1;
#else
const int kExitMinusOne = 255;
#endif

// In the test's working folder, which ctest makes the test's build folder: nothing is
// left in the machine's temporary folder or in the Wine prefix.
inline std::string temp_log_path(const char *name) {
  char dir[4096];
#ifdef _WIN32
  const char *cwd = _getcwd(dir, sizeof dir);
#else
  const char *cwd = getcwd(dir, sizeof dir);
#endif
  return std::string(cwd ? cwd : ".") + "/kq_" + name + ".log";
}

inline std::string read_file(const std::string &path) {
  std::string text;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  fclose(f);
  return text;
}

// Opens a fresh log for one test; the greeting takes lines 1 to 3.
inline std::string open_test_log(const char *name) {
  std::string path = temp_log_path(name);
  log_open_file(path.c_str(), "test.exe");
  return path;
}
