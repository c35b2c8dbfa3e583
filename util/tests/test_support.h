// Helpers shared by the utility tests: a log file per test and reading it back.
#pragma once
#include <stdio.h>

#include <string>

#include <stdlib.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "util/log.h"

#ifdef _WIN32
const int kExitMinusOne = -1;
#else
const int kExitMinusOne = 255;
#endif

// Beside the test program, in its build folder, wherever the test is started from:
// nothing is left in the machine's temporary folder, in the Wine prefix or in the sources.
inline std::string temp_log_path(const char *name) {
#ifdef _WIN32
  std::string path = _pgmptr ? _pgmptr : "./test";  // the program's full path
#else
  char own[4096];
  ssize_t n = readlink("/proc/self/exe", own, sizeof own);
  std::string path = n > 0 ? std::string(own, (size_t)n) : std::string("./test");
#endif
  return path.substr(0, path.find_last_of("\\/") + 1) + "kq_" + name + ".log";
}

// How many times longer a test waits for a program than on a machine that runs it
// natively: the emulated test machine (tools/vm) sets KQ_WAIT_SCALE, since programs run
// tens of times slower there. Only a wait that fails takes longer.
inline int wait_scale() {
  const char *text = getenv("KQ_WAIT_SCALE");
  const int scale = text ? atoi(text) : 1;
  return scale > 0 ? scale : 1;
}

// Writes the whole file; false when it cannot.
inline bool write_file(const std::string &path, const void *data, size_t size) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok;
}
inline bool write_file(const std::string &path, const std::string &text) {
  return write_file(path, text.data(), text.size());
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

// What a test wrote to its log: the lines after the greeting (lines 1 to 3) without the
// numbers the log puts before them, and without the closing "Bye!". From a line that does
// not carry the number following on from the line before, the rest is given as it is,
// behind a mark, so that the comparison fails there.
inline std::string log_body(const std::string &path) {
  log_close();
  const std::string text = read_file(path);
  std::string body;
  unsigned number = 1;
  for (size_t at = 0, end; at < text.size(); at = end, number++) {
    end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string head = " " + std::to_string(number) + "\t";
    if (text.compare(at, head.size(), head))
      return body + "<not line " + head + ">" + text.substr(at);
    if (number > 3) body += text.substr(at + head.size(), end - at - head.size());
  }
  const size_t bye = body.size() >= 5 ? body.size() - 5 : 0;
  if (body.compare(bye, std::string::npos, "Bye!\n") == 0) body.resize(bye);
  return body;
}
